// Files written beside a read-only program tree live in the user's folder:
// the tree's relative paths stay as the programs write them.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/files.h"
#include "platform/posix/path_memo.h"
#include "platform/win/profile.h"
#include "platform/posix/user_files.h"
#include "platform/win/files.h"
#include "platform/win/window_memory.h"
#include "../support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Get(const char* section, const char* key, const char* file) {
  char value[64] = "";
  GetPrivateProfileStringA(section, key, "", value, sizeof value, file);
  return value;
}

std::string ReadThrough(const char* windowsPath) {
  FILE* f = platform::OpenFile(windowsPath, "rb");
  if (!f) return "(none)";
  char buffer[64] = "";
  size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
  std::fclose(f);
  return std::string(buffer, n);
}

// A launcher directory with one game folder, the game's folder current (as
// when the game runs), and a user whose data folder is inside the temporary
// folder too.
class UserFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    tree_ = dir_.Path() + "/tree";
    TempDir::Write(tree_ + "/Lobbo", "");
    TempDir::Write(tree_ + "/options.ini", "[setup]\nMusic=N\n");
    TempDir::Write(tree_ + "/Game/setup.ini", "[setup]\nfullscreen=0\n");
    TempDir::Write(tree_ + "/Game/hiscore.dat", "shipped");
    UseUser("one");
    platform::SetLauncherDirectory(platform::FindLauncherDirectory(tree_ + "/Game"));
    fs::current_path(tree_ + "/Game");
  }
  void TearDown() override {
    platform::SetLauncherDirectory("");
    fs::current_path(dir_.Path());
    fs::permissions(tree_, fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(tree_ + "/Game", fs::perms::owner_write, fs::perm_options::add);
    Restore("XDG_DATA_HOME", oldData_);
    Restore("XDG_CONFIG_HOME", oldConfig_);
    Restore("HOME", oldHome_);
  }
  static std::optional<std::string> Saved(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  void UseUser(const std::string& name) { setenv("XDG_DATA_HOME", (dir_.Path() + "/" + name).c_str(), 1); }
  void MakeTreeReadOnly() {
    // No write bit for anyone: read-only even when the tests run as root.
    ::chmod(tree_.c_str(), 0555);
    ::chmod((tree_ + "/Game").c_str(), 0555);
  }
  std::string UserFile(const std::string& user, const std::string& rel) {
    return TempDir::Read(dir_.Path() + "/" + user + "/lobbo/" + rel);
  }
  std::vector<std::string> TreeFiles() {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(tree_)) names.push_back(e.path().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  std::string tree_;
  std::optional<std::string> oldData_ = Saved("XDG_DATA_HOME"), oldConfig_ = Saved("XDG_CONFIG_HOME"),
                             oldHome_ = Saved("HOME");
};

TEST_F(UserFiles, TheLauncherDirectoryIsFoundFromEitherProgramsFolder) {
  const std::string root = fs::canonical(tree_).string();
  EXPECT_EQ(platform::LauncherDirectory(), root);
  EXPECT_EQ(platform::FindLauncherDirectory(tree_), root);
  EXPECT_EQ(platform::FindLauncherDirectory(dir_.Path()), "");  // no launcher: no tree, the rule stays off
  unsetenv("XDG_DATA_HOME");
  setenv("HOME", "/home/ann", 1);
  EXPECT_EQ(platform::UserFilesDirectory(), "/home/ann/.local/share/lobbo");
  setenv("XDG_DATA_HOME", "relative/data", 1);  // only an absolute folder counts
  EXPECT_EQ(platform::UserFilesDirectory(), "/home/ann/.local/share/lobbo");
  unsetenv("HOME");  // as for a program started without an environment: the account's home
  EXPECT_EQ(platform::UserFilesDirectory(), std::string(getpwuid(getuid())->pw_dir) + "/.local/share/lobbo");
}

TEST_F(UserFiles, AWritableTreeKeepsItsFiles) {
  ASSERT_TRUE(WritePrivateProfileStringA("setup", "SFX", "N", "..\\options.ini"));
  const char table[] = "table";
  ASSERT_TRUE(platform::WriteFileAtomically(platform::MapPath("hiscore.dat"), table, 5));
  EXPECT_EQ(TempDir::Read(tree_ + "/options.ini"), "[setup]\nMusic=N\nSFX=N\n");
  EXPECT_EQ(TempDir::Read(tree_ + "/Game/hiscore.dat"), "table");
  EXPECT_FALSE(fs::exists(dir_.Path() + "/one"));
}

TEST_F(UserFiles, AReadOnlyTreeWritesTheUsersCopyAndReadsItFirst) {
  MakeTreeReadOnly();
  const auto before = TreeFiles();
  // Never written: read from the tree.
  EXPECT_EQ(ReadThrough("hiscore.dat"), "shipped");
  EXPECT_EQ(Get("setup", "Music", "..\\options.ini"), "N");

  // The first write starts from the tree's copy.
  ASSERT_TRUE(WritePrivateProfileStringA("setup", "SFX", "N", "..\\options.ini"));
  EXPECT_EQ(UserFile("one", "options.ini"), "[setup]\nMusic=N\nSFX=N\n");
  // The folders made for them are the user's alone.
  EXPECT_EQ(fs::status(dir_.Path() + "/one/lobbo").permissions(), fs::perms::owner_all);
  ASSERT_TRUE(WritePrivateProfileStringA("setup", "Music", "Y", "..\\OPTIONS.INI"));  // any case finds it
  EXPECT_EQ(UserFile("one", "options.ini"), "[setup]\nMusic=Y\nSFX=N\n");
  EXPECT_EQ(Get("setup", "Music", "..\\options.ini"), "Y");

  // The game's own file lands under the game's folder name; reads take it.
  ASSERT_TRUE(platform::WriteFileAtomically(platform::MapPath("hiscore.dat"), "scores", 6));
  EXPECT_EQ(UserFile("one", "Game/hiscore.dat"), "scores");
  EXPECT_EQ(ReadThrough(".\\HiScore.dat"), "scores");
  FILE* log = platform::OpenFile("debug.log", "a");
  ASSERT_NE(log, nullptr);
  std::fclose(log);
  EXPECT_TRUE(fs::exists(dir_.Path() + "/one/lobbo/Game/debug.log"));

  // Folders stay the tree's, files never written too.
  EXPECT_EQ(platform::MapPath("..\\Game"), "../Game");
  EXPECT_EQ(Get("setup", "fullscreen", ".\\setup.ini"), "0");
  // Nothing was written into the tree, not even a temporary file.
  EXPECT_EQ(TreeFiles(), before);
  EXPECT_EQ(TempDir::Read(tree_ + "/options.ini"), "[setup]\nMusic=N\n");

  // Another user starts from the tree's files and keeps apart.
  UseUser("two");
  EXPECT_EQ(ReadThrough("hiscore.dat"), "shipped");
  EXPECT_EQ(Get("setup", "Music", "..\\options.ini"), "N");
  ASSERT_TRUE(WritePrivateProfileStringA("Player1", "name", "Bo", "..\\options.ini"));
  EXPECT_EQ(UserFile("two", "options.ini"), "[setup]\nMusic=N\n[Player1]\nname=Bo\n");
  EXPECT_EQ(UserFile("one", "options.ini"), "[setup]\nMusic=Y\nSFX=N\n");
}

// The game keeps each score's replay in a folder of its own that the tree
// does not have ("replays\NAME", from the game's folder): made in the
// user's folder, and the file written there and read back through it.
TEST_F(UserFiles, AReadOnlyTreeKeepsANewFolderOfTheGameInTheUsersFolder) {
  MakeTreeReadOnly();
  const auto before = TreeFiles();
  CreateDirectoryA("replays", nullptr);
  ASSERT_TRUE(platform::WriteFileAtomically(platform::MapPath("replays\\Ann.txt"), "moves", 5));
  EXPECT_EQ(UserFile("one", "Game/replays/Ann.txt"), "moves");
  EXPECT_EQ(ReadThrough("replays\\Ann.txt"), "moves");
  EXPECT_EQ(ReadThrough((tree_ + "\\Game\\replays\\Ann.txt").c_str()), "moves");
  EXPECT_EQ(TreeFiles(), before);
}

// A user's copy whose name has another case (copied in by hand, say) is
// still the user's: read first, and written in place rather than beside.
TEST_F(UserFiles, AUsersCopyInAnotherCaseIsReadAndWrittenFirst) {
  MakeTreeReadOnly();
  TempDir::Write(dir_.Path() + "/one/lobbo/Game/HISCORE.DAT", "mine");
  TempDir::Write(dir_.Path() + "/one/lobbo/Options.INI", "[setup]\nMusic=Y\n");
  EXPECT_EQ(ReadThrough("hiscore.dat"), "mine");
  EXPECT_EQ(Get("setup", "Music", "..\\options.ini"), "Y");
  ASSERT_TRUE(platform::WriteFileAtomically(platform::MapPath("hiscore.dat"), "scores", 6));
  ASSERT_TRUE(WritePrivateProfileStringA("setup", "SFX", "N", "..\\options.ini"));
  EXPECT_EQ(UserFile("one", "Game/HISCORE.DAT"), "scores");
  EXPECT_EQ(UserFile("one", "Options.INI"), "[setup]\nMusic=Y\nSFX=N\n");
  EXPECT_FALSE(fs::exists(dir_.Path() + "/one/lobbo/Game/hiscore.dat"));
  EXPECT_FALSE(fs::exists(dir_.Path() + "/one/lobbo/options.ini"));
  // Only a file is a copy: a folder of that name hides nothing of the tree.
  fs::create_directories(dir_.Path() + "/one/lobbo/Game/Setup.ini");
  EXPECT_EQ(Get("setup", "fullscreen", ".\\setup.ini"), "0");
}

TEST_F(UserFiles, FilesOutsideTheTreeAreNeverMoved) {
  MakeTreeReadOnly();
  const std::string other = dir_.Path() + "/other";
  fs::create_directories(other);
  ::chmod(other.c_str(), 0555);
  // Fails, or for root succeeds in place: either way the user's folder is not involved.
  const bool written = platform::WriteFileAtomically(other + "/file.txt", "x", 1);
  EXPECT_EQ(fs::exists(other + "/file.txt"), written);
  EXPECT_FALSE(fs::exists(dir_.Path() + "/one"));
  ::chmod(other.c_str(), 0755);
}

// A browser page keeps what its look-ups learnt, for nothing but the page
// changes its files: each change made through the layer must forget it.
TEST_F(UserFiles, KeptFactsFollowEveryChangeTheProgramMakes) {
  struct Keep {
    Keep() { platform::KeepPathFacts(true); }
    ~Keep() { platform::KeepPathFacts(false); }
  } keep;
  MakeTreeReadOnly();
  EXPECT_EQ(ReadThrough("hiscore.dat"), "shipped");
  // Kept indeed: a copy made behind the layer's back is not seen...
  TempDir::Write(dir_.Path() + "/one/lobbo/Game/hiscore.dat", "behind");
  EXPECT_EQ(ReadThrough("hiscore.dat"), "shipped");
  platform::ForgetPathFacts();
  EXPECT_EQ(ReadThrough("hiscore.dat"), "behind");

  // ...while the program's own changes are: a save, a removal, a new file.
  ASSERT_TRUE(platform::WriteFileAtomically(platform::MapPath("HISCORE.DAT"), "scores", 6));
  EXPECT_EQ(ReadThrough("hiscore.dat"), "scores");
  EXPECT_EQ(ReadThrough("Ann.txt"), "(none)");
  ASSERT_TRUE(platform::WriteFileAtomically(platform::MapPath("Ann.txt"), "moves", 5));
  EXPECT_EQ(ReadThrough("ANN.TXT"), "moves");
  ASSERT_TRUE(DeleteFileA("hiscore.dat"));
  EXPECT_EQ(ReadThrough("hiscore.dat"), "shipped");
  EXPECT_EQ(ReadThrough("debug.log"), "(none)");
  FILE* log = platform::OpenFile("debug.log", "a");
  ASSERT_NE(log, nullptr);
  std::fputs("line", log);
  std::fclose(log);
  EXPECT_EQ(ReadThrough("Debug.Log"), "line");
  // Another current folder: the same relative names are other files.
  EXPECT_EQ(ReadThrough("Options.ini"), "(none)");
  ASSERT_TRUE(SetCurrentDirectoryA(".."));
  EXPECT_EQ(ReadThrough("Options.ini"), "[setup]\nMusic=N\n");
}

// The window as it was left, kept for the user in their settings folder,
// never in the program tree; what is not known reads as the defaults.
TEST_F(UserFiles, TheWindowIsRememberedInTheUsersSettingsFolder) {
  const std::vector<std::string> tree = TreeFiles();
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/ann", 1);
  EXPECT_EQ(platform::WindowMemoryPath(), "/home/ann/.config/lobbo/window.ini");
  setenv("XDG_CONFIG_HOME", (dir_.Path() + "/config").c_str(), 1);
  EXPECT_EQ(platform::LoadWindowPlacement(), platform::WindowPlacement{});

  const platform::WindowPlacement left{1024, 700, true, false};
  ASSERT_TRUE(platform::SaveWindowPlacement(left));
  EXPECT_EQ(platform::LoadWindowPlacement(), left);
  ASSERT_TRUE(platform::SaveWindowPlacement({900, 650, false, true}));
  EXPECT_EQ(platform::LoadWindowPlacement(), (platform::WindowPlacement{900, 650, false, true}));
  EXPECT_EQ(TreeFiles(), tree);

  // A size too small to show the picture, or absurd, is not taken.
  std::ofstream(dir_.Path() + "/config/lobbo/window.ini") << "[window]\nwidth=120\nheight=80\nmaximised=1\n";
  EXPECT_EQ(platform::LoadWindowPlacement(), (platform::WindowPlacement{0, 0, true, false}));
  std::ofstream(dir_.Path() + "/config/lobbo/window.ini") << "[window]\nwidth=99999999999\nheight=600\n";
  EXPECT_EQ(platform::LoadWindowPlacement(), platform::WindowPlacement{});
}

}  // namespace
