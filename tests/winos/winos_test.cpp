// Windows' system calls behind the layer's file and process functions, run
// on Windows (or Wine): what the programs' saves, reads and process starts
// rely on there.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/file_read.h"
#include "platform/posix/file_save.h"
#include "platform/posix/files.h"
#include "platform/posix/process.h"
#include "platform/posix/random_bytes.h"
#include "platform/posix/system_file.h"
#include "platform/winos/command_line.h"
#include "platform/winos/wide.h"

namespace {
namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class WinosFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qbwinos-" + std::to_string(GetCurrentProcessId()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    base_ = platform::ForwardSlashes(dir_.string());
  }
  void TearDown() override {
    SetFileAttributesW(dir_.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const auto& e : fs::recursive_directory_iterator(dir_))
      SetFileAttributesW(e.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  std::string base_;
};

// Each argument arrives whole at the program started: the quoting is read
// back by Windows' own splitter exactly as written.
TEST(WinosCommandLine, EveryArgumentSplitsBackAsItWas) {
  const std::vector<std::string> args{"C:/Games/Lobbo/Quibbleton/Quibbleton.exe",
                                      "plain",
                                      "with space",
                                      "",
                                      "quote\"inside",
                                      "trailing\\",
                                      "C:\\Program Files\\Lobbo\\",
                                      "back\\\\slashes \"and\" quotes\\\"",
                                      "tab\there",
                                      "Zo\xc3\xab"};
  const std::wstring line = platform::CommandLineOf(args);
  int count = 0;
  wchar_t** split = CommandLineToArgvW(line.c_str(), &count);
  ASSERT_NE(split, nullptr);
  ASSERT_EQ(count, static_cast<int>(args.size())) << platform::Utf8(line);
  for (int i = 0; i < count; ++i) EXPECT_EQ(platform::Utf8(split[i]), args[i]) << "argument " << i;
  LocalFree(split);
}

// Saves replace the file whole, refuse folders, devices and read-only
// files, and leave no temporary file behind.
TEST_F(WinosFiles, SavesReplaceWholeAndRefuseWhatIsNoWritableFile) {
  const std::string path = base_ + "/hiscore.dat";
  ASSERT_TRUE(platform::WriteFileAtomically(path, "first version", 13));
  ASSERT_TRUE(platform::WriteFileAtomically(path, "second", 6));
  EXPECT_EQ(Slurp(path), "second");
  // The edit sees what is there now.
  ASSERT_TRUE(platform::RewriteFile(path, 1 << 20, [](platform::ReadResult read, const std::string& old, std::string* out) {
    EXPECT_EQ(read, platform::ReadResult::kOk);
    *out = old + "+";
    return true;
  }));
  EXPECT_EQ(Slurp(path), "second+");

  SetFileAttributesW(platform::Wide(path).c_str(), FILE_ATTRIBUTE_READONLY);
  errno = 0;
  EXPECT_FALSE(platform::WriteFileAtomically(path, "third", 5));
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(Slurp(path), "second+");

  fs::create_directories(dir_ / "folder");
  errno = 0;
  EXPECT_FALSE(platform::WriteFileAtomically(base_ + "/folder", "x", 1));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));

  int entries = 0;
  for (const auto& e : fs::directory_iterator(dir_)) entries += e.path().filename().string().find(".qbtmp-") == std::string::npos ? 1 : 100;
  EXPECT_EQ(entries, 2);  // hiscore.dat and the folder, no leftover
}

// Two programs saving the same file one after the other both count: saves
// of one path, however it is spelt, take turns.
TEST_F(WinosFiles, ConcurrentSavesOfOnePathAllCount) {
  const std::string path = base_ + "/options.ini";
  const std::string otherSpelling = platform::ForwardSlashes(dir_.string());
  std::string upper = otherSpelling + "\\OPTIONS.INI";
  constexpr int kThreads = 4, kSaves = 25;
  std::vector<std::thread> savers;
  for (int t = 0; t < kThreads; ++t)
    savers.emplace_back([&, t] {
      for (int i = 0; i < kSaves; ++i)
        platform::RewriteFile(t % 2 ? path : upper, 1 << 20,
                              [](platform::ReadResult, const std::string& old, std::string* out) {
                                *out = std::to_string(old.empty() ? 1 : std::stoi(old) + 1);
                                return true;
                              });
    });
  for (std::thread& t : savers) t.join();
  EXPECT_EQ(Slurp(path), std::to_string(kThreads * kSaves));
}

TEST_F(WinosFiles, LeftoversOfKilledSavesAreRemovedAndNothingElse) {
  std::ofstream(dir_ / ".hiscore.dat.qbtmp-abc123") << "half a save";
  std::ofstream(dir_ / "hiscore.dat") << "kept";
  std::ofstream(dir_ / ".hidden") << "kept";
  platform::RemoveSaveLeftovers(base_);
  EXPECT_FALSE(fs::exists(dir_ / ".hiscore.dat.qbtmp-abc123"));
  EXPECT_TRUE(fs::exists(dir_ / "hiscore.dat"));
  EXPECT_TRUE(fs::exists(dir_ / ".hidden"));
}

// Reads take files on a disk only, within their limit; paths are the
// programs' own, with "\" and in any case.
TEST_F(WinosFiles, ReadsTakeDiskFilesWithinTheirLimitByAnySpelling) {
  std::ofstream(dir_ / "Setup.ini", std::ios::binary) << "[setup]\r\nhome=x\r\n";
  const std::string mapped = platform::MapPath((dir_.string() + "\\SETUP.INI").c_str());
  EXPECT_EQ(mapped.find('\\'), std::string::npos) << mapped;
  std::string text;
  EXPECT_EQ(platform::ReadRegularFile(mapped, 1 << 20, &text), platform::ReadResult::kOk);
  EXPECT_EQ(text, "[setup]\r\nhome=x\r\n");  // bytes as written: no text mode
  EXPECT_EQ(platform::ReadRegularFile(mapped, 5, &text), platform::ReadResult::kTooLarge);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(platform::ReadRegularFile(base_ + "/missing.ini", 1 << 20, &text), platform::ReadResult::kMissing);
  EXPECT_EQ(platform::ReadRegularFile("NUL", 1 << 20, &text), platform::ReadResult::kNotRegular);
  FILE* f = platform::OpenFile((dir_.string() + "\\setup.ini").c_str(), "r");
  ASSERT_NE(f, nullptr);
  char line[32] = {};
  ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "[setup]\r\n");
  std::fclose(f);

  std::vector<platform::DirectoryEntry> entries;
  ASSERT_TRUE(platform::ListDirectory(base_, &entries));
  bool found = false;
  for (const auto& e : entries) found = found || (e.name == "Setup.ini" && e.size == 17 && !e.isDirectory);
  EXPECT_TRUE(found);
}

TEST_F(WinosFiles, APositionedWriteLeavesThePositionAlone) {
  platform::SystemFile file = platform::SystemFile::CreateForWriting(base_ + "/out.wav");
  ASSERT_TRUE(file.IsOpen());
  ASSERT_TRUE(file.WriteAt("RIFF....WAVE", 12, 0));
  EXPECT_EQ(file.Seek(0, platform::SystemFile::From::Current), 0);
  ASSERT_TRUE(file.WriteAt("data", 4, 12));
  ASSERT_TRUE(file.WriteAt("1234", 4, 4));
  EXPECT_EQ(file.Size(), 16);
  EXPECT_EQ(file.Seek(0, platform::SystemFile::From::End), 16);
  file = platform::SystemFile();
  EXPECT_EQ(Slurp(dir_ / "out.wav"), "RIFF1234WAVEdata");
}

TEST(WinosProcess, TheProgramKnowsItsOwnFileAndRandomBytesDiffer) {
  const std::string self = platform::OwnExecutablePath();
  EXPECT_TRUE(platform::IsExecutableFile(self)) << self;
  EXPECT_EQ(self.find('\\'), std::string::npos);
  EXPECT_FALSE(platform::IsExecutableFile(platform::ForwardSlashes(fs::path(self).parent_path().string())));
  ASSERT_TRUE(platform::SetEnvironmentValue("QB_WINOS_TEST", "Zo\xc3\xab"));
  ASSERT_NE(std::getenv("QB_WINOS_TEST"), nullptr);
  wchar_t value[16] = {};
  EXPECT_GT(GetEnvironmentVariableW(L"QB_WINOS_TEST", value, 16), 0u);  // what a started program inherits
  unsigned char a[32], b[32];
  ASSERT_TRUE(platform::RandomBytes(a, sizeof a));
  ASSERT_TRUE(platform::RandomBytes(b, sizeof b));
  EXPECT_NE(std::memcmp(a, b, sizeof a), 0);
}

}  // namespace
