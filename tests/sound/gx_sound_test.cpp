// GXSound and SNDSample: mapping tables, WAV reading, lookups with
// duplicates, chains, and what is heard in the captured output.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/device/audio_output.h"
#include "platform/device/config.h"
#include "platform/media/mixer.h"
#include "platform/win/mmtimer.h"
#include "sound/gx_sound.h"
#include "sound_test_support.h"

using namespace soundtest;

namespace {

TEST(Mapping, VolumeAndPanValues) {
  EXPECT_EQ(GXSound::MapVolume(0xFFFF), 0);
  EXPECT_EQ(GXSound::MapVolume(0x8000), -1000);
  EXPECT_EQ(GXSound::MapVolume(0x1000), -4000);
  EXPECT_EQ(GXSound::MapVolume(0), -10000);
  EXPECT_EQ(GXSound::MapVolume(-5), -10000);
  EXPECT_EQ(GXSound::MapVolume(70000), 0);
  EXPECT_EQ(GXSound::MapPan(0x8000), 0);
  EXPECT_EQ(GXSound::MapPan(0xFFFF), -10000);
  EXPECT_EQ(GXSound::MapPan(0x10000), -10000);
  EXPECT_EQ(GXSound::MapPan(0), 10000);
  EXPECT_EQ(GXSound::MapPan(1), 10000);
  EXPECT_EQ(GXSound::MapPan(0x7FFF), 0);
  EXPECT_EQ(GXSound::MapPan(0x4000), 1000) << "half way to the right end is 10 dB down on the left";
  // The table itself: 10 dB for every halving of the index.
  EXPECT_EQ(GXSound::g_VolumeTable[16], -10000);
  EXPECT_EQ(GXSound::g_VolumeTable[64], -8000);
  EXPECT_EQ(GXSound::g_VolumeTable[1024], -4000);
  EXPECT_EQ(GXSound::g_VolumeTable[8192], -1000);
  EXPECT_EQ(GXSound::g_VolumeTable[12288], -415);
  EXPECT_EQ(GXSound::g_VolumeTable[16383], 0);
}

std::atomic<int> g_opens{0};
HANDLE CountingOpen(const char* path) {
  ++g_opens;
  return GXSound::DefaultOpenFile(path);
}

class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sound_.Init(nullptr, 200), 1);
    ASSERT_NE(GXSound::g_SampleList, nullptr);
  }
  void TearDown() override {
    sound_.Exit();
    EXPECT_EQ(platform::Mixer::Get().PlayingCount(), 0u) << "Exit leaves nothing playing";
  }
  uint32_t InUse() const {
    uint32_t n = 0;
    for (SNDSample* s = GXSound::g_SampleList; s < GXSound::g_pEndSample; ++s) n += (s->flags & SNDF_INUSE) != 0;
    return n;
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) { return dir_.Write(name, bytes); }

  GXSound sound_;
  TempDir dir_;
};

TEST_F(Library, InitSetsSwitchesStoreAndVersion) {
  EXPECT_EQ(sound_.musicLevel, 0x8000);
  EXPECT_EQ(sound_.musicEnabled, 1);
  EXPECT_EQ(sound_.sfxEnabled, 1);
  EXPECT_EQ(GXSound::g_nMaxEventCount, 64) << "200 samples: the most one wait can take";
  EXPECT_EQ(GXSound::g_pEndSample - GXSound::g_SampleList, 200);
  EXPECT_EQ(GXSound::g_pLastSample.load(), GXSound::g_SampleList);
  ASSERT_NE(GXSound::GetDSPrimaryBuffer(), nullptr);
  WAVEFORMATEX f{};
  GXSound::GetDSPrimaryBuffer()->GetFormat(&f, sizeof f, nullptr);
  EXPECT_EQ(f.nSamplesPerSec, 22050u);
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_EQ(f.wBitsPerSample, 16);
  EXPECT_EQ(GXSound::GetLIBVersion(), 1);
  EXPECT_STREQ(GXSound::GetLIBDate(), "Fri Dec 22 07:46:08 2000");
}

TEST_F(Library, LoadsPcmFilesIncludingOddChunksAndLoopPoints) {
  EXPECT_EQ(sound_.LoadSample(Write("a.wav", Wav(1, 22050, 8, std::vector<uint8_t>(100, 0x80))).c_str(), 1), 1);
  EXPECT_EQ(sound_.LoadSample(Write("b.wav", Wav(2, 44100, 16, Ramp16(50, 2))).c_str(), 2), 1);
  // An odd-length chunk before the data, followed by its pad byte.
  Chunk odd{"LIST", {1, 2, 3}};
  EXPECT_EQ(sound_.LoadSample(Write("c.wav", Riff({FmtChunk(1, 22050, 16), odd, DataChunk(Ramp16(10))})).c_str(), 3), 1);
  // A smpl loop of frames 10..30 in a stereo 16-bit file: bytes 40..120.
  Chunk smpl{"smpl", {}};
  for (int i = 0; i < 7; ++i) Put32(smpl.body, 0);
  Put32(smpl.body, 1);  // loop count
  Put32(smpl.body, 0);
  Put32(smpl.body, 0), Put32(smpl.body, 0), Put32(smpl.body, 10), Put32(smpl.body, 30), Put32(smpl.body, 0),
      Put32(smpl.body, 2);
  EXPECT_EQ(sound_.LoadSample(
                Write("d.wav", Riff({FmtChunk(2, 22050, 16), smpl, DataChunk(Ramp16(40, 2))})).c_str(), 4),
            1);
  SNDSample* d = sound_.FindSample(4);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->flags & SNDF_LOOPING);
  EXPECT_EQ(d->loopStart, 40u);
  EXPECT_EQ(d->loopEnd, 120u);
  EXPECT_EQ(d->loopPlayCount, 2u);
  SNDSample* c = sound_.FindSample(3);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->dataSize, 20u);
  EXPECT_EQ(InUse(), 4u);
}

TEST_F(Library, RejectedFilesLoadNothingAndKeepNoSlot) {
  std::vector<uint8_t> data = Ramp16(20);
  struct Case {
    const char* why;
    std::vector<uint8_t> bytes;
  };
  Chunk shortFmt = FmtChunk(1, 22050, 16);
  shortFmt.body.resize(14);
  Chunk longData = DataChunk(data);
  longData.declaredLength = 4000;
  std::vector<uint8_t> truncated = Wav(1, 22050, 16, data);
  truncated.resize(truncated.size() - 10);
  Case cases[] = {
      {"float format", Riff({FmtChunk(1, 22050, 32, 3), DataChunk(data)})},
      {"not RIFF", [&] { auto b = Wav(1, 22050, 16, data); b[0] = 'X'; return b; }()},
      {"not WAVE", Riff({FmtChunk(1, 22050, 16), DataChunk(data)}, "AVI ")},
      {"no data chunk", Riff({FmtChunk(1, 22050, 16)})},
      {"no fmt chunk", Riff({DataChunk(data)})},
      {"fmt shorter than 16", Riff({shortFmt, DataChunk(data)})},
      {"zero channels", Riff({FmtChunk(0, 22050, 16, 1, 2), DataChunk(data)})},
      {"zero rate", Riff({FmtChunk(1, 0, 16), DataChunk(data)})},
      {"zero bits", Riff({FmtChunk(1, 22050, 0, 1, 2), DataChunk(data)})},
      {"block align disagrees", Riff({FmtChunk(2, 22050, 16, 1, 2), DataChunk(data)})},
      {"data longer than the file", Riff({FmtChunk(1, 22050, 16), longData})},
      {"short file", truncated},
      {"empty file", {}},
  };
  uint32_t id = 100;
  for (const Case& c : cases) {
    EXPECT_EQ(sound_.LoadSample(Write("bad.wav", c.bytes).c_str(), id), 0) << c.why;
    EXPECT_EQ(InUse(), 0u) << c.why << ": a failed load gives its slot back";
    ++id;
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(sound_.LoadSample(dir_.Path("missing.wav").c_str(), 1), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            platform::ProgramName() + ": cannot load sound \"" + dir_.Path("missing.wav") + "\"\n");
  EXPECT_EQ(sound_.PlaySample(1, 0xFFFF, 0), nullptr);
  EXPECT_EQ(GXSound::g_pLastSample.load(), GXSound::g_SampleList + 1) << "the used part grew once, to one slot";
}

TEST_F(Library, LoadingALoadedIdReadsNothingAndClaimsTheSample) {
  std::string path = Write("a.wav", Wav(1, 22050, 16, Ramp16(100)));
  GXSound::SetFileOpenFunc(CountingOpen);
  g_opens = 0;
  EXPECT_EQ(sound_.LoadSample(path.c_str(), 7), 1);
  EXPECT_EQ(g_opens, 1);
  EXPECT_EQ(sound_.LoadSample(Write("other.wav", {1, 2, 3}).c_str(), 7), 1) << "id 7 is there already";
  EXPECT_EQ(g_opens, 1) << "the second file was never opened";
  EXPECT_TRUE(GXSound::g_SampleList[0].flags & SNDF_CLAIMED);
  EXPECT_EQ(InUse(), 1u);
  GXSound::SetFileOpenFunc(nullptr);
  EXPECT_EQ(GXSound::g_pOpenFile, &GXSound::DefaultOpenFile);
}

TEST_F(Library, OverlappingPlaysUseADuplicateThatIsCollectedLater) {
  // 0.1 s at 22050 Hz.
  std::string file = Write("a.wav", Wav(1, 22050, 16, Constant16(2205, 100)));
  ASSERT_EQ(sound_.LoadSample(file.c_str(), 1), 1);
  SNDSample* first = sound_.PlaySample(1, 0xFFFF, 0);
  SNDSample* second = sound_.PlaySample(1, 0xFFFF, 0);
  ASSERT_EQ(sound_.LoadSample(file.c_str(), 2), 1);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first, &GXSound::g_SampleList[0]);
  EXPECT_EQ(second, &GXSound::g_SampleList[1]) << "the copy takes the next free slot";
  EXPECT_TRUE(second->flags & SNDF_DUPLICATE);
  EXPECT_EQ(second->id, 1u);
  EXPECT_TRUE(first->SamplePlaying());
  EXPECT_TRUE(second->SamplePlaying());
  EXPECT_FALSE(second->flags & SNDF_CLAIMED) << "playing clears the claim";

  // While the copy still plays, a scan for another id leaves it alone.
  EXPECT_EQ(sound_.FindSample(2), &GXSound::g_SampleList[2]);
  GXSound::g_SampleList[2].flags &= ~SNDF_CLAIMED;
  EXPECT_TRUE(second->flags & SNDF_INUSE);
  Sleep(150);  // both have ended
  EXPECT_FALSE(second->SamplePlaying());
  EXPECT_NE(sound_.FindSample(2), nullptr);
  GXSound::g_SampleList[2].flags &= ~SNDF_CLAIMED;
  EXPECT_FALSE(second->flags & SNDF_INUSE) << "a scan for another id frees the idle copy on its way";
  EXPECT_EQ(sound_.FindSample(1), first) << "the loaded sample is taken again";
  first->flags &= ~SNDF_CLAIMED;

  // FlushSamples collects copies wherever they lie.
  sound_.PlaySample(2, 0xFFFF, 0);
  SNDSample* copy = sound_.PlaySample(2, 0xFFFF, 0);
  ASSERT_NE(copy, nullptr);
  ASSERT_TRUE(copy->flags & SNDF_DUPLICATE);
  Sleep(150);
  sound_.FlushSamples();
  EXPECT_FALSE(copy->flags & SNDF_INUSE);
  EXPECT_EQ(InUse(), 2u);
}

TEST_F(Library, PlaysWithEffectsOffKeepNoSlotAndPlaysWorkWhenTheyComeBack) {
  ASSERT_EQ(sound_.LoadSample(Write("a.wav", Wav(1, 22050, 16, Constant16(2205, 100))).c_str(), 1), 1);
  GXSound::g_SampleList[0].flags &= ~SNDF_CLAIMED;
  sound_.EnableSFX(0);
  for (int i = 0; i < 300; ++i) ASSERT_NE(sound_.PlaySample(1, 0xFFFF, 0), nullptr) << "play " << i;
  EXPECT_EQ(InUse(), 1u) << "a skipped play claims no copy";
  EXPECT_FALSE(GXSound::g_SampleList[0].flags & SNDF_CLAIMED);
  sound_.EnableSFX(1);
  SNDSample* s = sound_.PlaySample(1, 0xFFFF, 0);
  ASSERT_EQ(s, &GXSound::g_SampleList[0]);
  EXPECT_TRUE(s->SamplePlaying());
}

TEST_F(Library, SampleControlsAreRefusedButRemembered) {
  ASSERT_EQ(sound_.LoadSample(Write("a.wav", Wav(1, 22050, 16, Ramp16(100))).c_str(), 1), 1);
  SNDSample* s = sound_.FindSample(1);
  EXPECT_EQ(s->SetVolume(0x4000), 0);
  EXPECT_EQ(s->SetPan(0x1000), 0);
  EXPECT_EQ(s->SetPitch(11025), 0);
  EXPECT_EQ(s->volume, 0x4000);
  EXPECT_EQ(s->pan, 0x1000);
  EXPECT_EQ(s->pitch, 11025u);
  SNDSample empty;
  EXPECT_EQ(empty.GetSampleStatus(), E_INVALIDARG);
  EXPECT_EQ(empty.PlaySample(0xFFFF, 0), 0);
  EXPECT_EQ(empty.SetVolume(1), 0);
  EXPECT_EQ(empty.DupeSample(), nullptr);
}

TEST_F(Library, PauseAndUnpauseKeepThePosition) {
  ASSERT_EQ(sound_.LoadSample(Write("a.wav", Wav(1, 22050, 16, Ramp16(22050))).c_str(), 1), 1);
  SNDSample* s = sound_.PlaySample(1, 0xFFFF, 0);
  Sleep(100);
  EXPECT_EQ(s->PauseSample(), 1);
  EXPECT_TRUE(s->flags & SNDF_PAUSED);
  EXPECT_EQ(s->pausePosition, 2205u * 2) << "0.1 s of 16-bit mono at 22050";
  Sleep(100);
  EXPECT_FALSE(s->SamplePlaying());
  EXPECT_EQ(s->UnPauseSample(), 1);
  EXPECT_TRUE(s->SamplePlaying());
  EXPECT_EQ(s->UnPauseSample(), 0) << "only a paused sample resumes";
  EXPECT_EQ(sound_.PlaySampleIDOnce(99, 0xFFFF, 0), 0) << "no such id";
}

TEST_F(Library, ChainStartsTheNextSampleWhenTheFirstStops) {
  ASSERT_EQ(sound_.LoadSample(Write("a.wav", Wav(1, 22050, 16, Constant16(2205, 100))).c_str(), 1), 1);
  ASSERT_EQ(sound_.LoadSample(Write("b.wav", Wav(1, 22050, 16, Constant16(22050, 100))).c_str(), 2), 1);
  SNDSample* a = &GXSound::g_SampleList[0];
  SNDSample* b = &GXSound::g_SampleList[1];
  EXPECT_EQ(SNDSample::ChainSample(nullptr, b), b);
  EXPECT_EQ(SNDSample::ChainSample(a, b), a);
  EXPECT_EQ(a->next, b);
  ASSERT_EQ(a->PlaySample(0x8000, 0x1234), 1);
  EXPECT_TRUE(a->flags & SNDF_WAITING);
  Sleep(50);
  EXPECT_FALSE(b->SamplePlaying());
  Sleep(100);
  EXPECT_FALSE(a->SamplePlaying());
  EXPECT_TRUE(b->SamplePlaying()) << "the callback thread started the next sample";
  EXPECT_EQ(b->volume, 0x8000) << "with the first one's volume and pan";
  EXPECT_EQ(b->pan, 0x1234);
  EXPECT_FALSE(a->flags & SNDF_WAITING);
}

TEST_F(Library, AtMost63ChainedSamplesWaitAtOnce) {
  std::string longFile = Write("long.wav", Wav(1, 22050, 16, Constant16(22050, 1)));
  for (uint32_t i = 0; i < 65; ++i) ASSERT_EQ(sound_.LoadSample(longFile.c_str(), 1000 + i), 1);
  SNDSample* tail = &GXSound::g_SampleList[64];
  for (int i = 0; i < 64; ++i) SNDSample::ChainSample(&GXSound::g_SampleList[i], tail);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(GXSound::g_SampleList[i].PlaySample(0xFFFF, 0x8000), 1);
  for (int i = 0; i < 63; ++i) EXPECT_TRUE(GXSound::g_SampleList[i].flags & SNDF_WAITING) << i;
  EXPECT_FALSE(GXSound::g_SampleList[63].flags & SNDF_WAITING) << "no event left for the 64th";
  EXPECT_TRUE(GXSound::g_SampleList[63].SamplePlaying()) << "it plays all the same";
  EXPECT_EQ(GXSound::AllocSoundEvent(), nullptr);
  // When one ends its event is free again.
  GXSound::g_SampleList[0].StopSample();
  platform::WaitForThreadsIdle(2000);
  EXPECT_FALSE(GXSound::g_SampleList[0].flags & SNDF_WAITING);
  EXPECT_TRUE(tail->SamplePlaying());
  _SNDEvent* freed = GXSound::AllocSoundEvent();
  EXPECT_NE(freed, nullptr);
  GXSound::FreeSoundEvent(freed);
}

TEST_F(Library, FreeingAndClearingTheList) {
  ASSERT_EQ(sound_.LoadSample(Write("a.wav", Wav(1, 22050, 16, Ramp16(100))).c_str(), 1), 1);
  ASSERT_EQ(sound_.LoadSample(Write("b.wav", Wav(1, 22050, 16, Ramp16(100))).c_str(), 2), 1);
  ASSERT_EQ(sound_.LoadSample(Write("c.wav", Wav(1, 22050, 16, Ramp16(100))).c_str(), 3), 1);
  EXPECT_EQ(GXSound::g_pLastSample.load(), GXSound::g_SampleList + 3);
  sound_.FreeSample(2u);
  EXPECT_EQ(InUse(), 2u);
  EXPECT_EQ(sound_.FindSample(2), nullptr);
  EXPECT_EQ(GXSound::AllocSample(), &GXSound::g_SampleList[1]) << "the freed slot is reused first";
  GXSound::ClearSampleList();
  EXPECT_EQ(InUse(), 0u);
  EXPECT_EQ(GXSound::g_pLastSample.load(), GXSound::g_SampleList);
}

// ---------------------------------------------------------------- heard

class Heard : public Library {
 protected:
  void SetUp() override {
    capture_ = dir_.Path("out.wav");
    platform::OpenAudioOutput(("wav:" + capture_).c_str());
    Library::SetUp();
  }
  Captured Finish() {
    sound_.Exit();
    platform::OpenAudioOutput("null");
    return ReadCapture(capture_);
  }
  void TearDown() override { platform::OpenAudioOutput("null"); }
  std::string capture_;
};

TEST_F(Heard, APlayedSampleIsHeardAtItsTimeAndLevel) {
  // 50 ms of a constant level, 16-bit mono at 22050 Hz.
  ASSERT_EQ(sound_.LoadSample(Write("a.wav", Wav(1, 22050, 16, Constant16(1102, 6000))).c_str(), 1), 1);
  Sleep(100);
  ASSERT_NE(sound_.PlaySample(1, 0xFFFF, 0), nullptr);
  Sleep(200);
  Captured c = Finish();
  ASSERT_EQ(c.rate, 44100u);
  ASSERT_EQ(c.Frames(), 300u * 441 / 10);
  for (size_t f = 0; f < 4410; ++f) ASSERT_EQ(c.Left(f), 0) << "silent before the play, frame " << f;
  // 1102 frames at 22050 are 2204 output frames; the resampling filter
  // rounds off the first and the last half millisecond.
  EXPECT_NE(c.Left(4410 + 12), 0);
  for (size_t f = 4410 + 25; f < 4410 + 2204 - 25; ++f) {
    ASSERT_EQ(c.Left(f), 6000) << "frame " << f;
    ASSERT_EQ(c.Right(f), 6000) << "mono is heard on both sides, frame " << f;
  }
  for (size_t f = 4410 + 2204; f < c.Frames(); ++f) ASSERT_EQ(c.Left(f), 0) << "silent after the end, frame " << f;
}

TEST_F(Heard, NothingIsHeardWithEffectsSwitchedOff) {
  ASSERT_EQ(sound_.LoadSample(Write("a.wav", Wav(1, 22050, 16, Constant16(2205, 6000))).c_str(), 1), 1);
  sound_.EnableSFX(0);
  EXPECT_NE(sound_.PlaySample(1, 0xFFFF, 0), nullptr) << "the sample is found";
  EXPECT_EQ(sound_.PlaySampleIDOnce(1, 0xFFFF, 0), 1);
  Sleep(200);
  Captured c = Finish();
  ASSERT_EQ(c.Frames(), 200u * 441 / 10);
  for (size_t i = 0; i < c.samples.size(); ++i) ASSERT_EQ(c.samples[i], 0) << i;
}

TEST_F(Heard, AChainIsHeardBackToBack) {
  ASSERT_EQ(sound_.LoadSample(Write("a.wav", Wav(1, 44100, 16, Constant16(441, 1000))).c_str(), 1), 1);
  ASSERT_EQ(sound_.LoadSample(Write("b.wav", Wav(1, 44100, 16, Constant16(441, 2000))).c_str(), 2), 1);
  SNDSample::ChainSample(&GXSound::g_SampleList[0], &GXSound::g_SampleList[1]);
  sound_.PlaySample(1, 0xFFFF, 0);
  Sleep(100);
  Captured c = Finish();
  EXPECT_EQ(c.Left(0), 1000);
  EXPECT_EQ(c.Left(440), 1000);
  // The successor starts in the next 10 ms block after the first ended.
  int firstB = -1;
  for (size_t f = 441; f < c.Frames(); ++f) {
    if (c.Left(f) == 2000) {
      firstB = static_cast<int>(f);
      break;
    }
  }
  ASSERT_GE(firstB, 441);
  EXPECT_LE(firstB, 441 * 2);
  EXPECT_EQ(c.Left(firstB + 440), 2000);
}

}  // namespace
