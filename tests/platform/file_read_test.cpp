// Files that could hang or exhaust the programs are refused at once, with a
// line on stderr: a FIFO in place of any file they read, a settings file or
// picture past its size limit, an MP3 whose header announces hours.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win/bitmap.h"
#include "platform/device/config.h"
#include "platform/win/fileio.h"
#include "platform/posix/files.h"
#include "platform/device/input.h"
#include "platform/win/mci.h"
#include "platform/win/profile.h"
#include "../support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Runs read with a FIFO named fifo in place; a read still blocked after 5 s
// is let go by opening the FIFO's other end, and counts as a hang.
bool ReturnsAtOnce(const std::string& fifo, const std::function<void()>& read) {
  auto done = std::async(std::launch::async, read);
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
  const int unblock = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  done.wait();
  ::close(unblock);
  return false;
}

TEST(Reads, AFifoInPlaceOfAnyFileIsRefusedAtOnceAndSaid) {
  TempDir dir;
  for (const char* name : {"setup.ini", "hiscore.dat", "picture.bmp", "sound.wav", "music.mp3"})
    ASSERT_EQ(::mkfifo(name, 0666), 0) << name;
  testing::internal::CaptureStderr();
  char value[16] = "";
  EXPECT_TRUE(ReturnsAtOnce("setup.ini", [&] {
    GetPrivateProfileStringA("setup", "fullscreen", "0", value, sizeof value, ".\\setup.ini");
  }));
  EXPECT_STREQ(value, "0");
  EXPECT_TRUE(ReturnsAtOnce("hiscore.dat", [] { EXPECT_EQ(platform::OpenFile("hiscore.dat", "rb"), nullptr); }));
  EXPECT_TRUE(ReturnsAtOnce("picture.bmp", [] { EXPECT_EQ(platform::LoadBitmapSurface("picture.bmp", 16), nullptr); }));
  EXPECT_TRUE(ReturnsAtOnce("sound.wav", [] {
    EXPECT_EQ(CreateFileA("sound.wav", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  }));
  EXPECT_TRUE(ReturnsAtOnce("music.mp3", [] {
    EXPECT_NE(mciSendStringA("open music.mp3 alias fifo", nullptr, 0, nullptr), 0u);
  }));
  const std::string said = testing::internal::GetCapturedStderr();
  for (const char* name : {"setup.ini", "hiscore.dat", "picture.bmp", "sound.wav", "music.mp3"})
    EXPECT_NE(said.find(std::string(name) + "\" is not a regular file"), std::string::npos) << name << ": " << said;
}

// An INI file past 1 MB is not read (one linked to an endless device would
// never end); the defaults hold and the file is left alone.
TEST(Reads, ASettingsFilePastItsLimitReadsAsDefaultsAndIsNotRewritten) {
  TempDir dir;
  {
    std::ofstream out("options.ini", std::ios::binary);
    out << "[setup]\nSFX=N\n";
  }
  fs::resize_file("options.ini", (2u << 20));  // the rest reads as NUL bytes
  testing::internal::CaptureStderr();
  char value[16] = "";
  GetPrivateProfileStringA("setup", "SFX", "Y", value, sizeof value, "options.ini");
  EXPECT_STREQ(value, "Y");
  EXPECT_FALSE(WritePrivateProfileStringA("setup", "music", "N", "options.ini"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("is larger than 1048576 bytes"), std::string::npos);
  EXPECT_EQ(fs::file_size("options.ini"), (2u << 20));
}

std::vector<uint8_t> BmpHeader(int32_t width, int32_t height, uint16_t bits, size_t fileSize) {
  std::vector<uint8_t> b(fileSize, 0);
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, static_cast<uint32_t>(fileSize), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(width), 4);
  put(22, static_cast<uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, bits, 2);
  return b;
}

// A picture's header is not trusted: the rows must be in the file, and no
// picture holds more than 8 M pixels (16 MB at 16 bits).
TEST(Reads, APictureMustHoldWhatItsHeaderAnnouncesWithinTheLimit) {
  const std::vector<uint8_t> whole = BmpHeader(4, 2, 24, 54 + 2 * 12);
  IDirectDrawSurface* s = platform::LoadBitmapSurfaceFromMemory(whole.data(), whole.size(), 16);
  ASSERT_NE(s, nullptr);
  s->Release();
  // 33 bytes with the short (core) header, announcing 1024 x 15119 at 8 bits.
  std::vector<uint8_t> core = {'B', 'M', 33, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0,
                               0x00, 0x04, 0x0F, 0x3B, 1, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0};
  for (const auto& bytes : {core, BmpHeader(1000, 1000, 24, 54 + 12), BmpHeader(4, 2, 24, 54 + 12),
                            BmpHeader(4096, 4096, 8, 54 + 1024 + size_t{4096} * 4096)}) {
    EXPECT_EQ(platform::LoadBitmapSurfaceFromMemory(bytes.data(), bytes.size(), 16), nullptr) << bytes.size();
  }
}

// An MP3 whose encoder header announces 100,000 frames (43 minutes, 460 MB
// decoded) is refused when it is opened, with a line saying so.
TEST(Reads, MusicPastItsLimitIsRefusedOnItsHeader) {
  std::ifstream in(std::string(QB_DIST_DIR) + "/Quibbleton/sounds/music.mp3", std::ios::binary);
  std::string mp3((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t info = mp3.find("Info");
  ASSERT_NE(info, std::string::npos);
  ASSERT_EQ(mp3[info + 7] & 1, 1) << "the header carries a frame count";
  const uint32_t frames = 100000;
  for (int i = 0; i < 4; ++i) mp3[info + 8 + i] = static_cast<char>(frames >> (24 - 8 * i));
  TempDir dir;
  TempDir::Write("long.mp3", mp3);
  testing::internal::CaptureStderr();
  EXPECT_NE(mciSendStringA("open long.mp3 alias long", nullptr, 0, nullptr), 0u);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("decodes to more than"), std::string::npos);
  mciSendStringA("close long", nullptr, 0, nullptr);
}

// Test harness: a program's name is compared as text, whatever it holds.
TEST(Reads, ScriptFolderFindsTheScriptsOfAProgramWithAnyName) {
  TempDir dir;
  const std::string saved = platform::ProgramName();
  platform::SetProgramName("Game(");
  TempDir::Write("02-Game(.txt", "");
  TempDir::Write("01-Game(.txt", "");
  TempDir::Write("01-Game.txt", "");
  TempDir::Write("x1-Game(.txt", "");
  EXPECT_EQ(fs::path(platform::TakeFromScriptDir(dir.Path())).filename(), "01-Game(.taken");
  EXPECT_EQ(fs::path(platform::TakeFromScriptDir(dir.Path())).filename(), "02-Game(.taken");
  EXPECT_EQ(platform::TakeFromScriptDir(dir.Path()), "");
  platform::SetProgramName(saved);
}

}  // namespace
