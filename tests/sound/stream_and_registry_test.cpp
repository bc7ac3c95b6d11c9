// Streamed music through the ring buffer and its fill thread, and the
// sound registry's names and ids.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/device/audio_output.h"
#include "platform/win/mmtimer.h"
#include "sound/gx_sound.h"
#include "sound_test_support.h"
#include "sound/sound_registry.h"

using namespace soundtest;

namespace {

std::atomic<int> g_endedId{-1};
void OnStreamEnd(uint32_t id) { g_endedId = static_cast<int>(id); }

class Stream : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(sound_.Init(nullptr, 20), 1); }
  void TearDown() override {
    sound_.Exit();
    EXPECT_EQ(GXSound::g_StreamInfo.flags.load(), 0u) << "nothing of the stream is left";
    EXPECT_EQ(GXSound::g_FillThread, nullptr);
  }
  // The bytes of segment j of the stream's buffer.
  std::vector<uint8_t> Segment(uint32_t j) {
    _SNDStream& st = GXSound::g_StreamInfo;
    IDirectSoundBuffer* b = st.sample.load()->buffer;
    void* p1;
    void* p2;
    DWORD n1, n2;
    EXPECT_EQ(b->Lock(j * st.segmentSize, st.segmentSize, &p1, &n1, &p2, &n2, 0), DS_OK);
    std::vector<uint8_t> bytes(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + n1);
    b->Unlock(p1, n1, p2, n2);
    return bytes;
  }
  static uint16_t At(const std::vector<uint8_t>& bytes, size_t frame, int channels = 1) {
    return static_cast<uint16_t>(bytes[frame * 2 * channels] | bytes[frame * 2 * channels + 1] << 8);
  }

  GXSound sound_;
  TempDir dir_;
};

TEST_F(Stream, SegmentSizesAreAQuarterSecondInWholeFrames) {
  struct Case {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    uint32_t segment;
  } cases[] = {{2, 44100, 16, 44100}, {1, 22050, 8, 5512}, {2, 22050, 16, 22052}};
  for (const Case& c : cases) {
    std::string path = dir_.Write("s.wav", Wav(c.channels, c.rate, c.bits, std::vector<uint8_t>(1000, 0)));
    ASSERT_EQ(sound_.LoadStream(path.c_str(), 5), 1);
    EXPECT_EQ(GXSound::g_StreamInfo.segmentSize, c.segment);
    EXPECT_EQ(GXSound::g_StreamInfo.bufferSize, 8 * c.segment);
    EXPECT_EQ(GXSound::GetStreamID(), 5u);
    EXPECT_EQ(GXSound::g_StreamInfo.positions[3].dwOffset, 3 * c.segment);
    EXPECT_EQ(GXSound::g_StreamInfo.positions[8].dwOffset, DSBPN_OFFSETSTOP);
    EXPECT_EQ(GetThreadPriority(GXSound::g_FillThread), THREAD_PRIORITY_LOWEST);
  }
}

TEST_F(Stream, RefusedWhenMusicIsOffOrTheFileIsBad) {
  std::string bad = dir_.Write("bad.wav", {1, 2, 3});
  EXPECT_EQ(sound_.LoadStream(bad.c_str(), 1), 0);
  EXPECT_EQ(GXSound::g_StreamInfo.flags.load(), 0u);
  EXPECT_EQ(GXSound::g_SampleList[0].flags.load(), 0u) << "the slot is given back";
  sound_.EnableMusic(0);
  std::string good = dir_.Write("good.wav", Wav(1, 22050, 16, Ramp16(100)));
  EXPECT_EQ(sound_.LoadStream(good.c_str(), 1), 0);
  sound_.EnableMusic(1);
}

TEST_F(Stream, RepeatContinuesFromTheFirstByteInsideTheSegment) {
  // 16-bit mono at 8000 Hz: segments of 2000 frames, a buffer of 16000.
  // 19000 frames of data: the first refill (segment 0) takes frames 16000
  // to 17999, the second (segment 1) the last 1000 and then the first 1000.
  std::string path = dir_.Write("r.wav", Wav(1, 8000, 16, Ramp16(19000)));
  ASSERT_EQ(sound_.LoadStream(path.c_str(), 1), 1);
  ASSERT_EQ(GXSound::g_StreamInfo.segmentSize, 4000u);
  EXPECT_EQ(GXSound::g_StreamInfo.remaining, 38000u - 32000u);
  sound_.PlayStream(STRF_REPEAT);
  Sleep(260);  // past the boundary of segment 1
  std::vector<uint8_t> seg0 = Segment(0);
  EXPECT_EQ(At(seg0, 0), 16000);
  EXPECT_EQ(At(seg0, 1999), 17999);
  EXPECT_EQ(GXSound::g_StreamInfo.remaining, 2000u);
  Sleep(250);  // past the boundary of segment 2
  std::vector<uint8_t> seg1 = Segment(1);
  for (uint32_t f = 0; f < 1000; ++f) ASSERT_EQ(At(seg1, f), 18000 + f) << f;
  for (uint32_t f = 1000; f < 2000; ++f) ASSERT_EQ(At(seg1, f), f - 1000) << "wrapped to the start, frame " << f;
  EXPECT_EQ(GXSound::g_StreamInfo.remaining, 38000u - 2000u);
  EXPECT_TRUE(GXSound::g_StreamInfo.flags & STRF_PLAYING);
}

TEST_F(Stream, WithoutRepeatTheQueuedDataIsPlayedOutThenItEnds) {
  GXSound::ClearStreamNextStreamFunc();
  EXPECT_EQ(sound_.SetStreamNextFunc(OnStreamEnd), nullptr);
  g_endedId = -1;
  std::string capture = dir_.Path("out.wav");
  platform::OpenAudioOutput(("wav:" + capture).c_str());
  // 2.5 s of a constant level at 8000 Hz: more than the two-second buffer.
  std::string path = dir_.Write("o.wav", Wav(1, 8000, 16, Constant16(20000, 3000)));
  ASSERT_EQ(sound_.LoadStream(path.c_str(), 42), 1);
  sound_.PlayStream(0);
  Sleep(3000);
  EXPECT_EQ(g_endedId.load(), 42) << "the next-stream function heard of the end";
  EXPECT_EQ(GXSound::g_StreamInfo.sample.load(), nullptr);
  platform::OpenAudioOutput("null");
  Captured c = ReadCapture(capture);
  // 2.5 s of 3000, then silence; the resampling filter rounds off the last
  // three milliseconds.
  size_t end = 2500 * 441 / 10;
  for (size_t f = 0; f < end - 150; f += 7) ASSERT_EQ(c.Left(f), 3000) << "frame " << f;
  for (size_t f = end + 20; f < c.Frames(); f += 7) ASSERT_EQ(c.Left(f), 0) << "frame " << f;
  GXSound::ClearStreamNextStreamFunc();
}

TEST_F(Stream, EnableMusicOffStopsAPlayingStream) {
  std::string path = dir_.Write("m.wav", Wav(1, 8000, 16, Ramp16(40000)));
  ASSERT_EQ(sound_.LoadStream(path.c_str(), 3), 1);
  sound_.PlayStream(STRF_REPEAT);
  Sleep(300);
  EXPECT_EQ(sound_.StopStream(), 1);  // with music on this stops it...
  EXPECT_EQ(GXSound::GetStreamID(), 0u);
  ASSERT_EQ(sound_.LoadStream(path.c_str(), 4), 1);
  sound_.PlayStream(STRF_REPEAT);
  sound_.EnableMusic(0);
  EXPECT_EQ(GXSound::g_StreamInfo.flags.load(), 0u) << "stopped and cleaned up";
  EXPECT_EQ(GXSound::GetStreamID(), 0u);
  EXPECT_EQ(sound_.musicEnabled, 0);
  EXPECT_EQ(sound_.StopStream(), 1) << "nothing to do with music off";
  sound_.EnableMusic(1);
}

TEST_F(Stream, PausedStreamResumesWhereItWas) {
  std::string path = dir_.Write("p.wav", Wav(1, 8000, 16, Ramp16(40000)));
  ASSERT_EQ(sound_.LoadStream(path.c_str(), 3), 1);
  sound_.PlayStream(0);
  Sleep(100);
  sound_.PauseStream();
  EXPECT_TRUE(GXSound::g_StreamInfo.flags & STRF_PAUSED);
  Sleep(500);
  EXPECT_EQ(GXSound::GetStreamID(), 3u) << "a pause keeps the stream";
  SNDSample* s = GXSound::g_StreamInfo.sample;
  EXPECT_EQ(s->pausePosition, 1600u) << "0.1 s of 16-bit mono at 8000 Hz";
  sound_.PauseStream();
  EXPECT_FALSE(GXSound::g_StreamInfo.flags & STRF_PAUSED);
  EXPECT_TRUE(s->SamplePlaying());
}

TEST_F(Stream, FadeWithZeroMillisecondsSetsTheVolumeAtOnce) {
  std::string path = dir_.Write("f.wav", Wav(1, 8000, 16, Ramp16(40000)));
  ASSERT_EQ(sound_.LoadStream(path.c_str(), 3), 1);
  DWORD before = GetTickCount();
  sound_.FadeMusic(0x1000, 0x3000, 0);
  EXPECT_EQ(GetTickCount(), before);
  EXPECT_EQ(GXSound::GetStreamVolume(), 0x3000);
  sound_.FadeMusicOut(100);
  EXPECT_EQ(GetTickCount() - before, 100u) << "a fade blocks for its length";
  EXPECT_EQ(GXSound::GetStreamVolume(), 0);
}

// ---------------------------------------------------------------- registry

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(soundRegistry.Init(nullptr, 200), 1); }
  void TearDown() override { soundRegistry.Shutdown(); }
  std::string Sample(const char* name) { return dir_.Write(name, Wav(1, 22050, 16, Ramp16(100))); }
  TempDir dir_;
};

TEST_F(Registry, IdsStartAtTenAndRestartAfterFreeAll) {
  SoundEntry* a = soundRegistry.LoadSample(Sample("a.wav").c_str(), "crack");
  SoundEntry* b = soundRegistry.LoadSample(Sample("b.wav").c_str(), "cheer");
  SoundEntry* c = soundRegistry.LoadSample(Sample("c.wav").c_str(), "bonus");
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(a->id, 10);
  EXPECT_EQ(b->id, 11);
  EXPECT_EQ(c->id, 12);
  EXPECT_EQ(soundRegistry.Find("cheer"), b);
  EXPECT_NE(soundRegistry.Play("bonus", 0xFFFF, 0), nullptr);
  soundRegistry.FreeAll();
  EXPECT_EQ(soundRegistry.Find("crack"), nullptr);
  SoundEntry* again = soundRegistry.LoadSample(Sample("d.wav").c_str(), "reveal");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->id, 10);
  EXPECT_NE(soundRegistry.Play("reveal", 0xFFFF, 0), nullptr) << "id 10 now plays the new sound";
}

TEST_F(Registry, NamesAreExactFirstMatchAndAtMost31Characters) {
  SoundEntry* first = soundRegistry.LoadSample(Sample("a.wav").c_str(), "crack");
  SoundEntry* second = soundRegistry.LoadSample(Sample("b.wav").c_str(), "crack");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(soundRegistry.Find("crack"), first);
  EXPECT_EQ(soundRegistry.Find("Crack"), nullptr);
  std::string name31(31, 'x');
  SoundEntry* longest = soundRegistry.LoadSample(Sample("c.wav").c_str(), name31.c_str());
  ASSERT_NE(longest, nullptr);
  EXPECT_STREQ(longest->name, name31.c_str());
  EXPECT_EQ(soundRegistry.LoadSample(Sample("d.wav").c_str(), std::string(32, 'y').c_str()), nullptr);
  EXPECT_EQ(soundRegistry.Count(), 3);
}

TEST_F(Registry, RefusedAndUnknownSoundsPlayNothing) {
  EXPECT_EQ(soundRegistry.LoadSample(dir_.Write("bad.wav", {0, 1}).c_str(), "thunder"), nullptr);
  EXPECT_EQ(soundRegistry.Find("thunder"), nullptr);
  EXPECT_EQ(soundRegistry.Play("thunder", 0xFFFF, 0), nullptr);
  SoundEntry* next = soundRegistry.LoadSample(Sample("a.wav").c_str(), "crack");
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->id, 10) << "a refused sample takes no id";
}

}  // namespace
