// The platform pieces under the sound library: events and threads, file
// handles, the sound buffers and the mixer, the MCI player.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/device/audio_output.h"
#include "platform/win/dsound.h"
#include "platform/win/fileio.h"
#include "platform/win/mci.h"
#include "platform/media/mixer.h"
#include "platform/win/mmtimer.h"
#include "platform/win/sync.h"
#include "platform/win/window.h"
#include "sound_test_support.h"

extern char** environ;

using namespace soundtest;

namespace {

TEST(Sync, AutoResetEventWakesOneWaitAndManualResetStays) {
  HANDLE autoEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE manual = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT);
  SetEvent(autoEvent);
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoEvent, 0), WAIT_TIMEOUT) << "an auto-reset event is consumed by its wait";
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  ResetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(autoEvent));
  EXPECT_TRUE(CloseHandle(manual));
  EXPECT_FALSE(CloseHandle(manual)) << "a closed handle is no longer valid";
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_FAILED);
}

TEST(Sync, WaitForAnyReportsLowestSignalledAndTakesAtMost64) {
  std::vector<HANDLE> events(65);
  for (HANDLE& e : events) e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  SetEvent(events[40]);
  SetEvent(events[63]);
  EXPECT_EQ(WaitForMultipleObjects(64, events.data(), FALSE, 0), WAIT_OBJECT_0 + 40);
  EXPECT_EQ(WaitForMultipleObjects(64, events.data(), FALSE, 0), WAIT_OBJECT_0 + 63);
  EXPECT_EQ(WaitForMultipleObjects(65, events.data(), FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForMultipleObjects(64, events.data(), FALSE, 5), WAIT_TIMEOUT);
  for (HANDLE e : events) CloseHandle(e);
}

TEST(Sync, ThreadRunsWakesOnEventAndIsWaitable) {
  struct Shared {
    HANDLE go;
    std::atomic<int> seen{0};
  } shared;
  shared.go = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        auto* s = static_cast<Shared*>(p);
        if (WaitForSingleObject(s->go, INFINITE) != WAIT_OBJECT_0) return 1;
        s->seen = 1;
        return 7;
      },
      &shared, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_LOWEST));
  EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_LOWEST);
  EXPECT_TRUE(platform::WaitForThreadsIdle(2000)) << "blocked in a wait nothing satisfies counts as idle";
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
  SetEvent(shared.go);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(shared.seen.load(), 1);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(CloseHandle(thread));
  CloseHandle(shared.go);
}

TEST(FileIo, ReadsSeeksAndClosesFilesAndMemoryFiles) {
  TempDir dir;
  std::string path = dir.Write("f.bin", {1, 2, 3, 4, 5});
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  uint8_t buf[8] = {};
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(f, buf, 8, &read, nullptr));
  EXPECT_EQ(read, 5u);
  EXPECT_EQ(SetFilePointer(f, 3, nullptr, FILE_BEGIN), 3u);
  EXPECT_TRUE(ReadFile(f, buf, 8, &read, nullptr));
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(buf[0], 4);
  EXPECT_EQ(SetFilePointer(f, -10, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_TRUE(CloseHandle(f));
  EXPECT_EQ(CreateFileA(dir.Path("missing").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);

  const uint8_t bytes[] = {9, 8, 7};
  HANDLE m = platform::CreateMemoryFile(bytes, 3);
  EXPECT_EQ(SetFilePointer(m, 0, nullptr, FILE_END), 3u);
  EXPECT_TRUE(ReadFile(m, buf, 4, &read, nullptr));
  EXPECT_EQ(read, 0u);
  EXPECT_EQ(SetFilePointer(m, 1, nullptr, FILE_BEGIN), 1u);
  EXPECT_TRUE(ReadFile(m, buf, 4, &read, nullptr));
  EXPECT_EQ(read, 2u);
  EXPECT_EQ(buf[0], 8);
  EXPECT_TRUE(CloseHandle(m));
}

TEST(FileIo, GlobalMemoryIsZeroedAndFreed) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1000);
  ASSERT_NE(h, nullptr);
  auto* p = static_cast<uint8_t*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(p[i], 0);
  EXPECT_EQ(GlobalSize(h), 1000u);
  GlobalUnlock(h);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

class Device : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds_, nullptr), DS_OK);
    ASSERT_EQ(ds_->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE), DS_OK);
  }
  void TearDown() override {
    ds_->Release();
    // A second of silence lets the master limiter recover from whatever a
    // test played, so the next one starts at unity gain.
    Render(platform::kMixRate);
  }

  IDirectSoundBuffer* Make(uint32_t bytes, uint16_t channels, uint32_t rate, uint16_t bits, DWORD flags) {
    WAVEFORMATEX f{WAVE_FORMAT_PCM, channels, rate, 0, static_cast<WORD>(channels * bits / 8), bits, 0};
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    DSBUFFERDESC d{sizeof(DSBUFFERDESC), flags, bytes, 0, &f};
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    return b;
  }
  static void Fill(IDirectSoundBuffer* b, const std::vector<uint8_t>& bytes) {
    void* p1;
    void* p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(0, static_cast<DWORD>(bytes.size()), &p1, &n1, &p2, &n2, 0), DS_OK);
    std::memcpy(p1, bytes.data(), n1);
    b->Unlock(p1, n1, p2, n2);
  }
  // Renders straight from the mixer, as an output backend does.
  static std::vector<int16_t> Render(uint32_t frames) {
    std::vector<int16_t> out(frames * 2);
    platform::Mixer::Get().Render(out.data(), frames);
    return out;
  }

  IDirectSound* ds_ = nullptr;
};

TEST_F(Device, CapsPrimaryFormatAndRefusedControls) {
  DSCAPS caps{};
  caps.dwSize = sizeof(DSCAPS);
  ASSERT_EQ(ds_->GetCaps(&caps), DS_OK);
  EXPECT_TRUE(caps.dwFlags & DSCAPS_PRIMARYSTEREO);
  EXPECT_TRUE(caps.dwFlags & DSCAPS_PRIMARY16BIT);
  caps.dwSize = 20;
  EXPECT_EQ(ds_->GetCaps(&caps), DSERR_INVALIDPARAM);

  DSBUFFERDESC pd{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr};
  IDirectSoundBuffer* primary = nullptr;
  ASSERT_EQ(ds_->CreateSoundBuffer(&pd, &primary, nullptr), DS_OK);
  WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
  EXPECT_EQ(primary->SetFormat(&f), DS_OK);
  WAVEFORMATEX back{};
  EXPECT_EQ(primary->GetFormat(&back, sizeof back, nullptr), DS_OK);
  EXPECT_EQ(back.nSamplesPerSec, 22050u);
  EXPECT_EQ(back.wBitsPerSample, 16);
  EXPECT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  primary->Release();

  IDirectSoundBuffer* plain = Make(400, 1, 22050, 16, DSBCAPS_STATIC);
  EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(plain->SetPan(100), DSERR_CONTROLUNAVAIL);
  EXPECT_EQ(plain->SetFrequency(11025), DSERR_CONTROLUNAVAIL);
  void* notify = nullptr;
  EXPECT_EQ(plain->QueryInterface(IID_IDirectSoundNotify, &notify), DSERR_NOINTERFACE);
  plain->Release();
  IDirectSoundBuffer* full =
      Make(400, 1, 22050, 16, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY);
  EXPECT_EQ(full->SetVolume(-100), DS_OK);
  EXPECT_EQ(full->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(full->SetPan(-10000), DS_OK);
  EXPECT_EQ(full->SetFrequency(11025), DS_OK);
  full->Release();

  WAVEFORMATEX bad{3, 1, 22050, 88200, 4, 32, 0};
  DSBUFFERDESC d{sizeof(DSBUFFERDESC), DSBCAPS_STATIC, 400, 0, &bad};
  IDirectSoundBuffer* b = nullptr;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_BADFORMAT);
}

TEST_F(Device, LockWrapsInTwoPartsAndRejectsOutOfRange) {
  IDirectSoundBuffer* b = Make(1000, 1, 22050, 16, DSBCAPS_STATIC);
  void* p1;
  void* p2;
  DWORD n1, n2;
  ASSERT_EQ(b->Lock(800, 400, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 200u);
  EXPECT_EQ(n2, 200u);
  EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 800);
  EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
  EXPECT_EQ(b->Unlock(p1, 1000, nullptr, 0), DSERR_INVALIDPARAM) << "past the buffer's end";
  EXPECT_EQ(b->Lock(1000, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 1001, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
  EXPECT_EQ(n1, 1000u);
  b->Release();
}

TEST_F(Device, OneShotPlaysOnceAtItsLevelThenRewindsAndSignalsStop) {
  // 100 frames at 44100: exactly 100 output frames.
  IDirectSoundBuffer* b = Make(200, 1, 44100, 16, DSBCAPS_STATIC | DSBCAPS_CTRLPOSITIONNOTIFY);
  Fill(b, Constant16(100, 1234));
  IDirectSoundNotify* n = nullptr;
  ASSERT_EQ(b->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&n)), DS_OK);
  HANDLE stop = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE half = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  DSBPOSITIONNOTIFY pos[2] = {{100, half}, {DSBPN_OFFSETSTOP, stop}};
  ASSERT_EQ(n->SetNotificationPositions(2, pos), DS_OK);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  EXPECT_EQ(n->SetNotificationPositions(2, pos), DSERR_INVALIDCALL) << "positions change only while stopped";
  DWORD status = 0;
  b->GetStatus(&status);
  EXPECT_EQ(status, DSBSTATUS_PLAYING);

  std::vector<int16_t> out = Render(40);
  EXPECT_EQ(out[0], 1234);
  EXPECT_EQ(out[1], 1234);
  EXPECT_EQ(WaitForSingleObject(half, 0), WAIT_TIMEOUT);
  out = Render(70);
  EXPECT_EQ(WaitForSingleObject(half, 0), WAIT_OBJECT_0) << "the cursor passed byte 100";
  EXPECT_EQ(WaitForSingleObject(stop, 0), WAIT_OBJECT_0) << "played to its end";
  EXPECT_EQ(out[2 * 59], 1234);
  EXPECT_EQ(out[2 * 60], 0) << "nothing after the 100th frame";
  b->GetStatus(&status);
  EXPECT_EQ(status, 0u);
  DWORD play = 99;
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 0u) << "a finished one-shot rewinds";

  // Stopping by hand signals the stop position too, once.
  b->Play(0, 0, DSBPLAY_LOOPING);
  b->Stop();
  b->Stop();
  EXPECT_EQ(WaitForSingleObject(stop, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(stop, 0), WAIT_TIMEOUT);
  n->Release();
  b->Release();
  CloseHandle(stop);
  CloseHandle(half);
}

TEST_F(Device, ConvertsRateBitsAndChannels) {
  // 8-bit mono at 22050: each source frame lasts two output frames; 0xC0 is +64 << 8.
  IDirectSoundBuffer* b8 = Make(200, 1, 22050, 8, DSBCAPS_STATIC);
  Fill(b8, std::vector<uint8_t>(200, 0xC0));
  // 16-bit stereo at the output's rate: left and right kept apart.
  IDirectSoundBuffer* st = Make(400, 2, 44100, 16, DSBCAPS_STATIC);
  std::vector<uint8_t> lr;
  for (int i = 0; i < 100; ++i) Put16(lr, 1000), Put16(lr, static_cast<uint16_t>(-2000));
  Fill(st, lr);
  b8->Play(0, 0, 0);
  st->Play(0, 0, 0);
  std::vector<int16_t> out = Render(450);
  EXPECT_EQ(out[2 * 50], 64 * 256 + 1000);
  EXPECT_EQ(out[2 * 50 + 1], 64 * 256 - 2000);
  EXPECT_EQ(out[2 * 150], 64 * 256) << "the stereo buffer ended after 100 frames";
  EXPECT_EQ(out[2 * 350], 64 * 256) << "200 22 kHz frames last 400 output frames";
  EXPECT_EQ(out[2 * 400], 0);
  b8->Release();
  st->Release();
}

TEST_F(Device, DuplicateSharesDataWithACursorOfItsOwn) {
  IDirectSoundBuffer* a = Make(200, 1, 44100, 16, DSBCAPS_STATIC);
  Fill(a, Ramp16(100));
  IDirectSoundBuffer* d = nullptr;
  ASSERT_EQ(ds_->DuplicateSoundBuffer(a, &d), DS_OK);
  a->SetCurrentPosition(100);  // frame 50
  DWORD pa = 0, pd = 0;
  a->GetCurrentPosition(&pa, nullptr);
  d->GetCurrentPosition(&pd, nullptr);
  EXPECT_EQ(pa, 100u);
  EXPECT_EQ(pd, 0u);
  d->Play(0, 0, 0);
  std::vector<int16_t> out = Render(3);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[4], 2);
  a->Release();  // the copy keeps the shared bytes alive
  out = Render(3);
  EXPECT_EQ(out[0], 3);
  d->Release();
}

TEST_F(Device, LoopingBufferWrapsAndFiresPositionsEachLap) {
  IDirectSoundBuffer* b = Make(40, 1, 44100, 16, DSBCAPS_STATIC | DSBCAPS_CTRLPOSITIONNOTIFY);
  Fill(b, Ramp16(20));
  IDirectSoundNotify* n = nullptr;
  ASSERT_EQ(b->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&n)), DS_OK);
  HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DSBPOSITIONNOTIFY pos{0, start};
  n->SetNotificationPositions(1, &pos);
  b->Play(0, 0, DSBPLAY_LOOPING);
  std::vector<int16_t> out = Render(19);
  EXPECT_EQ(WaitForSingleObject(start, 0), WAIT_TIMEOUT) << "offset 0 is not passed at the start";
  out = Render(3);
  EXPECT_EQ(out[0], 19);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[4], 1);
  EXPECT_EQ(WaitForSingleObject(start, 0), WAIT_OBJECT_0);
  DWORD status = 0;
  b->GetStatus(&status);
  EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
  n->Release();
  b->Release();
  CloseHandle(start);
}

TEST_F(Device, VolumeAndPanScaleTheOutput) {
  IDirectSoundBuffer* b = Make(200, 1, 44100, 16, DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN);
  Fill(b, Constant16(100, 10000));
  b->SetVolume(-600);  // -6 dB: about half
  b->SetPan(10000);    // right only
  b->Play(0, 0, 0);
  std::vector<int16_t> out = Render(4);
  EXPECT_EQ(out[0], 0);
  EXPECT_NEAR(out[1], 5012, 2);
  b->Release();
}

// Runs a program with an argument vector, no shell; true when it exits with 0.
bool RunQuietly(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// An MP3 made with the lame encoder when the machine has it.
std::string MakeMp3(const TempDir& dir, int milliseconds) {
  std::vector<uint8_t> tone;
  for (int i = 0; i < 44100 * milliseconds / 1000; ++i)
    Put16(tone, static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / 44100))));
  std::string wav = dir.Write("tone.wav", Wav(1, 44100, 16, tone));
  std::string mp3 = dir.Path("Music.mp3");
  return RunQuietly({"lame", "--quiet", "-b", "64", wav, mp3}) ? mp3 : "";
}

TEST(Mci, RefusesUnknownCommandsAndDevices) {
  char reply[16] = "x";
  EXPECT_EQ(mciSendStringA("set music time format ms", reply, sizeof reply, nullptr), MCIERR_UNRECOGNIZED_COMMAND);
  EXPECT_EQ(reply[0], '\0');
  EXPECT_EQ(mciSendStringA("play nothing", nullptr, 0, nullptr), MCIERR_INVALID_DEVICE_NAME);
  EXPECT_EQ(mciSendStringA("open .\\nowhere\\music.mp3 alias music", nullptr, 0, nullptr), MCIERR_FILE_NOT_FOUND);
  EXPECT_EQ(mciSendStringA("pause music", nullptr, 0, nullptr), MCIERR_INVALID_DEVICE_NAME);
  EXPECT_EQ(mciSendStringA("", nullptr, 0, nullptr), MCIERR_MISSING_COMMAND_STRING);
}

TEST(Mci, PlaysPausesResumesAndClosesThroughTheMixer) {
  TempDir dir;
  std::string mp3 = MakeMp3(dir, 300);
  if (mp3.empty()) GTEST_SKIP() << "no MP3 encoder on this machine";
  // Through the path mapping: backslashes and a differently cased name.
  std::string windowsPath = dir.Path("music.MP3");
  for (char& c : windowsPath) c = c == '/' ? '\\' : c;
  ASSERT_EQ(mciSendStringA(("open " + windowsPath + " alias music").c_str(), nullptr, 0, nullptr), 0u);
  EXPECT_EQ(mciSendStringA(("open " + mp3 + " alias MUSIC").c_str(), nullptr, 0, nullptr), MCIERR_DUPLICATE_ALIAS);
  EXPECT_EQ(mciSendStringA("play music notify", nullptr, 0, nullptr), 0u);
  EXPECT_EQ(platform::Mixer::Get().PlayingCount(), 1u);
  EXPECT_EQ(mciSendStringA("pause music", nullptr, 0, nullptr), 0u);
  EXPECT_EQ(platform::Mixer::Get().PlayingCount(), 0u);
  EXPECT_EQ(mciSendStringA("resume music", nullptr, 0, nullptr), 0u);
  EXPECT_EQ(platform::Mixer::Get().PlayingCount(), 1u);
  EXPECT_EQ(mciSendStringA("close music", nullptr, 0, nullptr), 0u);
  EXPECT_EQ(platform::Mixer::Get().PlayingCount(), 0u);
  EXPECT_EQ(mciSendStringA("close music", nullptr, 0, nullptr), MCIERR_INVALID_DEVICE_NAME);
}

TEST(Mci, MusicIsHeardInTheCapturedOutput) {
  TempDir dir;
  std::string mp3 = MakeMp3(dir, 400);
  if (mp3.empty()) GTEST_SKIP() << "no MP3 encoder on this machine";
  std::string capture = dir.Path("out.wav");
  platform::OpenAudioOutput(("wav:" + capture).c_str());
  ASSERT_EQ(mciSendStringA(("open " + mp3 + " alias music").c_str(), nullptr, 0, nullptr), 0u);
  ASSERT_EQ(mciSendStringA("play music", nullptr, 0, nullptr), 0u);
  Sleep(200);
  mciSendStringA("close music", nullptr, 0, nullptr);
  Sleep(100);
  platform::OpenAudioOutput("null");
  Captured c = ReadCapture(capture);
  ASSERT_EQ(c.Frames(), 300u * 44100 / 1000);
  int loud = 0;
  for (size_t f = 4410; f < 8820; ++f) loud += std::abs(c.Left(f)) > 1500;
  EXPECT_GT(loud, 3000) << "the tone plays while the music is open";
  for (size_t f = 200 * 441 / 10 + 10; f < c.Frames(); ++f) ASSERT_EQ(c.Left(f), 0) << "silent after close";
}

LRESULT PassToDefault(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// A window for the music's notifications.
HWND NotifiedWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PassToDefault;
  wc.lpszClassName = "MciTest";
  RegisterClassA(&wc);  // a second registration fails; the class stays
  return CreateWindowExA(0, "MciTest", "t", 0, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
}

TEST(Mci, PlayNotifyPostsTheNotificationWhenTheMusicEnds) {
  TempDir dir;
  std::string mp3 = MakeMp3(dir, 300);
  if (mp3.empty()) GTEST_SKIP() << "no MP3 encoder on this machine";
  HWND window = NotifiedWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(mciSendStringA(("open " + mp3 + " alias music").c_str(), nullptr, 0, nullptr), 0u);
  ASSERT_EQ(mciSendStringA("play music notify", nullptr, 0, window), 0u);
  auto notified = [&] {
    MSG msg;
    bool seen = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == MM_MCINOTIFY) {
        EXPECT_EQ(msg.wParam, MCI_NOTIFY_SUCCESSFUL);
        seen = true;
      }
    }
    return seen;
  };
  Sleep(100);
  mciSendStringA("pause music", nullptr, 0, window);
  Sleep(1000);
  EXPECT_FALSE(notified()) << "a pause posts nothing";
  mciSendStringA("resume music", nullptr, 0, window);
  Sleep(1000);
  EXPECT_TRUE(notified()) << "the end of the music is posted";
  // Played again from the start, it ends again; a close drops the request.
  ASSERT_EQ(mciSendStringA("play music notify", nullptr, 0, window), 0u);
  Sleep(100);
  mciSendStringA("close music", nullptr, 0, nullptr);
  Sleep(1000);
  EXPECT_FALSE(notified());
  DestroyWindow(window);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

// A piece played to its end with a notification rolls on for the handler's
// reopen; closed and never reopened, it falls silent a quarter second later
// instead of sounding on.
TEST(Mci, ALoopClosedAndNotReopenedFallsSilent) {
  TempDir dir;
  std::string mp3 = MakeMp3(dir, 300);
  if (mp3.empty()) GTEST_SKIP() << "no MP3 encoder on this machine";
  HWND window = NotifiedWindow();
  ASSERT_NE(window, nullptr);
  std::string capture = dir.Path("out.wav");
  platform::OpenAudioOutput(("wav:" + capture).c_str());
  ASSERT_EQ(mciSendStringA(("open " + mp3 + " alias music").c_str(), nullptr, 0, nullptr), 0u);
  ASSERT_EQ(mciSendStringA("play music notify", nullptr, 0, window), 0u);
  bool ended = false;
  for (int waited = 0; waited < 3000 && !ended; waited += 20) {
    Sleep(20);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ended = ended || msg.message == MM_MCINOTIFY;
  }
  ASSERT_TRUE(ended) << "the end of the music was not posted";
  mciSendStringA("close music", nullptr, 0, nullptr);
  Sleep(900);
  platform::OpenAudioOutput("null");
  DestroyWindow(window);
  Captured c = ReadCapture(capture);
  ASSERT_GT(c.Frames(), 44100u / 2);
  for (size_t f = c.Frames() - 44100 / 2; f < c.Frames(); ++f) ASSERT_EQ(c.Left(f), 0) << "still sounding at frame " << f;
}

}  // namespace
