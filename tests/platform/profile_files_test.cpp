// INI profile semantics, path mapping, directory search and process start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/device/config.h"
#include "platform/win/files.h"
#include "platform/win/profile.h"
#include "platform/win/shell_exec.h"
#include "../support/temp_dir.h"

namespace {

std::string Get(const char* section, const char* key, const char* def, DWORD size, const char* file,
                DWORD* length = nullptr) {
  char buffer[256];
  std::memset(buffer, 'x', sizeof buffer);
  DWORD n = GetPrivateProfileStringA(section, key, def, buffer, size, file);
  if (length) *length = n;
  return size ? std::string(buffer) : std::string();
}

TEST(Profile, CaseInsensitiveSectionsAndKeysTrimmedValues) {
  TempDir dir;
  TempDir::Write("options.ini", "; comment\n[Setup]\n  Music =  N  \nSFX=Y\n[player1]\nname=\"Ann Lee\"\n");
  EXPECT_EQ(Get("setup", "music", "Y", 2, ".\\options.ini"), "N");
  EXPECT_EQ(Get("SETUP", "sfx", "N", 10, "options.ini"), "Y");
  EXPECT_EQ(Get("Player1", "NAME", "", 64, "options.ini"), "Ann Lee");  // quotes stripped
  EXPECT_EQ(Get("setup", "missing", "dflt  ", 64, "options.ini"), "dflt");  // trailing blanks of default dropped
  EXPECT_EQ(Get("nosection", "music", "Y", 64, "options.ini"), "Y");
  EXPECT_EQ(Get("setup", "music", "Y", 64, "nofile.ini"), "Y");
}

TEST(Profile, TruncationRules) {
  TempDir dir;
  TempDir::Write("a.ini", "[s]\nk=abcdefgh\n");
  DWORD n = 0;
  EXPECT_EQ(Get("s", "k", "", 4, "a.ini", &n), "abc");
  EXPECT_EQ(n, 3u);  // size - 1 when cut
  EXPECT_EQ(Get("s", "k", "", 9, "a.ini", &n), "abcdefgh");
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(Get("s", "k", "", 2, "a.ini", &n), "a");  // a one-character buffer, as the Y/N switches use
  char untouched = 'z';
  EXPECT_EQ(GetPrivateProfileStringA("s", "k", "", &untouched, 0, "a.ini"), 0u);
  EXPECT_EQ(untouched, 'z');
}

TEST(Profile, CrlfFilesReadAndKeepTheirLineEnds) {
  TempDir dir;
  TempDir::Write("c.ini", "[setup]\r\nplayerid=3\r\n\r\n[Player1]\r\nname=Bo\r\n");
  EXPECT_EQ(Get("setup", "playerid", "0", 32, "c.ini"), "3");
  ASSERT_TRUE(WritePrivateProfileStringA("setup", "playerid", "5", "c.ini"));
  EXPECT_EQ(TempDir::Read("c.ini"), "[setup]\r\nplayerid=5\r\n\r\n[Player1]\r\nname=Bo\r\n");
}

// An old Mac file ends its lines with CR alone; each CR ends a line, as
// Windows reads it, also beside CR LF and LF in a mixed file.
TEST(Profile, CrOnlyAndMixedLineEndsEndLinesAsOnWindows) {
  TempDir dir;
  TempDir::Write("m.ini", "[setup]\rplayerid=3\r\r[Player1]\rname=Bo\r");
  EXPECT_EQ(Get("setup", "playerid", "0", 32, "m.ini"), "3");
  EXPECT_EQ(Get("Player1", "name", "", 32, "m.ini"), "Bo");
  ASSERT_TRUE(WritePrivateProfileStringA("setup", "playerid", "5", "m.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Player1", "send", "N", "m.ini"));
  EXPECT_EQ(TempDir::Read("m.ini"), "[setup]\rplayerid=5\r\r[Player1]\rname=Bo\rsend=N\r");

  TempDir::Write("x.ini", "[s]\r\nk=1\rj=2\n[t]\rk=3");
  EXPECT_EQ(Get("s", "k", "", 32, "x.ini"), "1");
  EXPECT_EQ(Get("s", "j", "", 32, "x.ini"), "2");
  EXPECT_EQ(Get("t", "k", "", 32, "x.ini"), "3");
}

TEST(Profile, WritesKeepEveryOtherLineAndAppendWhereMissing) {
  TempDir dir;
  TempDir::Write("o.ini", "; keep me\n[setup]\nmusic=Y\n\n[Player1]\nname=Ann\n");
  ASSERT_TRUE(WritePrivateProfileStringA("SETUP", "SFX", "N", "o.ini"));       // new key, existing section
  ASSERT_TRUE(WritePrivateProfileStringA("Setup", "MUSIC", "N", "o.ini"));     // replaced in place
  ASSERT_TRUE(WritePrivateProfileStringA("Player2", "name", "Bo", "o.ini"));   // new section at the end
  EXPECT_EQ(TempDir::Read("o.ini"),
            "; keep me\n[setup]\nMUSIC=N\nSFX=N\n\n[Player1]\nname=Ann\n[Player2]\nname=Bo\n");
  ASSERT_TRUE(WritePrivateProfileStringA("setup", "SFX", nullptr, "o.ini"));   // delete a key
  ASSERT_TRUE(WritePrivateProfileStringA("Player1", nullptr, nullptr, "o.ini"));  // delete a section
  EXPECT_EQ(TempDir::Read("o.ini"), "; keep me\n[setup]\nMUSIC=N\n\n[Player2]\nname=Bo\n");
}

TEST(Profile, WriteCreatesTheFileAtomicallyThroughMappedPath) {
  TempDir dir;
  std::filesystem::create_directory("Game");
  ASSERT_TRUE(WritePrivateProfileStringA("setup", "playerid", "2", "game\\..\\Options.ini"));
  EXPECT_EQ(TempDir::Read("Options.ini"), "[setup]\nplayerid=2\n");
  // No temporary file is left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(".")) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

// A save replaces the file's contents and nothing else about it.
TEST(Profile, WritesGoThroughLinksKeepTheModeAndRespectReadOnlyFiles) {
  namespace fs = std::filesystem;
  TempDir dir;
  fs::create_directory("real");
  TempDir::Write("real/o.ini", "[a]\nx=1\n");
  fs::create_symlink("real/o.ini", "o.ini");
  ::chmod("real/o.ini", 0640);
  ASSERT_TRUE(WritePrivateProfileStringA("a", "x", "2", "o.ini"));
  EXPECT_TRUE(fs::is_symlink("o.ini")) << "the link stays a link";
  EXPECT_EQ(TempDir::Read("real/o.ini"), "[a]\nx=2\n");
  struct stat st;
  ASSERT_EQ(::stat("real/o.ini", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  ::chmod("real/o.ini", 0444);
  errno = 0;
  EXPECT_FALSE(WritePrivateProfileStringA("a", "x", "3", "o.ini"));
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(TempDir::Read("real/o.ini"), "[a]\nx=2\n");
  ASSERT_EQ(::stat("real/o.ini", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);

  fs::create_directory("d.ini");
  errno = 0;
  EXPECT_FALSE(WritePrivateProfileStringA("a", "x", "3", "d.ini"));
  EXPECT_EQ(errno, EISDIR);
}

// Only the save's own temporary files are ever removed: the player's files
// of any name stay, "FILE.XXXXXX" ones included.
TEST(Profile, AWriteRemovesWhatAKilledWriteLeftBehindAndNothingElse) {
  namespace fs = std::filesystem;
  TempDir dir;
  // Left by a save killed before its rename, a minute ago; and one just begun by another process.
  TempDir::Write(".o.ini.qbtmp-a1B2c3", "half");
  TempDir::Write(".o.ini.qbtmp-Zz9Yy8", "fresh");
  const char* kept[] = {"o.ini.backup", "o.ini.2024ok", "o.ini.a1B2c3", "o.ini.bak", ".other.ini.qbtmp-a1B2c3"};
  for (const char* name : kept) TempDir::Write(name, "kept");
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(1);
  for (const char* name : kept) fs::last_write_time(name, old);
  fs::last_write_time(".o.ini.qbtmp-a1B2c3", old);
  ASSERT_TRUE(WritePrivateProfileStringA("a", "x", "1", "o.ini"));
  EXPECT_FALSE(fs::exists(".o.ini.qbtmp-a1B2c3"));
  EXPECT_TRUE(fs::exists(".o.ini.qbtmp-Zz9Yy8"));
  for (const char* name : kept) EXPECT_EQ(TempDir::Read(name), "kept") << name;
}

TEST(Paths, BackslashesAndCaseInsensitiveComponents) {
  TempDir dir;
  TempDir::Write("Quibbleton/Sounds/Cheer.WAV", "x");
  EXPECT_EQ(platform::MapPath("quibbleton\\sounds\\cheer.wav"), "Quibbleton/Sounds/Cheer.WAV");
  EXPECT_EQ(platform::MapPath(".\\QUIBBLETON\\sounds\\cheer.wav"), "./Quibbleton/Sounds/Cheer.WAV");
  // A missing last component keeps its spelling, so new files can be created.
  EXPECT_EQ(platform::MapPath("quibbleton\\hiscore.dat"), "Quibbleton/hiscore.dat");
  std::filesystem::current_path("Quibbleton");
  EXPECT_EQ(platform::MapPath("..\\quibbleton\\SOUNDS"), "../Quibbleton/Sounds");
  FILE* f = platform::OpenFile(".\\sounds\\CHEER.wav", "rb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
}

TEST(Paths, CurrentDirectory) {
  TempDir dir;
  std::filesystem::create_directory("Sub");
  char buffer[4096];
  DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  EXPECT_EQ(std::string(buffer), std::filesystem::current_path().string());
  EXPECT_EQ(n, std::strlen(buffer));
  char tiny[4] = "abc";
  EXPECT_EQ(GetCurrentDirectoryA(sizeof tiny, tiny), n + 1);  // size needed, buffer left alone
  EXPECT_STREQ(tiny, "abc");
  EXPECT_TRUE(SetCurrentDirectoryA("sub"));
#ifdef _WIN32
  // Windows keeps the spelling the program gave; the folder is the same.
  EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), std::filesystem::path(dir.Path()) / "Sub"));
#else
  EXPECT_EQ(std::filesystem::current_path().filename(), "Sub");
#endif
  EXPECT_FALSE(SetCurrentDirectoryA("nowhere"));
}

TEST(FindFiles, AttributeWordsAndWildcards) {
  TempDir dir;
  std::filesystem::create_directory("Plain");
  std::filesystem::create_directory("Locked");
  ::chmod("Locked", 0555);
  TempDir::Write("readme.txt", "hi");
  TempDir::Write("notes.TXT", "hello");
  TempDir::Write("fixed.txt", "kept");
  ::chmod("fixed.txt", 0444);
  std::map<std::string, DWORD> seen;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((dir.Path() + "\\*").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do seen[data.cFileName] = data.dwFileAttributes;
  while (FindNextFileA(h, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(h));
  EXPECT_EQ(seen["Plain"], FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(seen["Locked"], FILE_ATTRIBUTE_DIRECTORY);  // read-only is a file's attribute
  EXPECT_EQ(seen["readme.txt"], FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(seen["fixed.txt"], FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(seen.count(".") && seen.count(".."));
  ::chmod("Locked", 0755);

  int texts = 0;
  h = FindFirstFileA("*.txt", &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do ++texts;
  while (FindNextFileA(h, &data));
  FindClose(h);
  EXPECT_EQ(texts, 3);  // matched without regard to case
  EXPECT_EQ(FindFirstFileA("*.none", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA("missing\\*", &data), INVALID_HANDLE_VALUE);
}

TEST(ShellExecute, RecordsRequestsAndFindsExeWithoutSuffix) {
  TempDir dir;
  setenv("QB_SHELL", ("record:" + dir.Path() + "/shell.log").c_str(), 1);
  platform::ReloadConfig();
  auto ok = [](HINSTANCE h) { return reinterpret_cast<intptr_t>(h) > 32; };
  EXPECT_TRUE(ok(ShellExecuteA(nullptr, "open", "/games\\Lobbo.exe", "Quibbleton", "/games", 1)));
  EXPECT_TRUE(ok(ShellExecuteA(nullptr, "open", "https://example.org/x?a=1&b=2", nullptr, nullptr, 1)));
  EXPECT_EQ(TempDir::Read("shell.log"),
            "open\t/games\\Lobbo.exe\tQuibbleton\t/games\nopen\thttps://example.org/x?a=1&b=2\t\t\n");
  unsetenv("QB_SHELL");
  platform::ReloadConfig();

  // Started for real: "X.exe" resolves to X, the parameters arrive as one argument.
  TempDir::Write("Prog", "#!/bin/sh\necho \"$#:$1\" > \"$(dirname \"$0\")/out.txt\"\n");
  ::chmod("Prog", 0755);
  EXPECT_TRUE(ok(ShellExecuteA(nullptr, "open", "prog.exe", "a dir with spaces", dir.Path().c_str(), 1)));
  for (int i = 0; i < 200 && !std::filesystem::exists("out.txt"); ++i) usleep(10000);
  usleep(20000);
  EXPECT_EQ(TempDir::Read("out.txt"), "1:a dir with spaces\n");
  EXPECT_FALSE(ok(ShellExecuteA(nullptr, "open", "absent.exe", nullptr, dir.Path().c_str(), 1)));

  // A relative working directory: the program is found in it and starts in it.
  TempDir::Write("Game/Prog", "#!/bin/sh\npwd > where.tmp && mv where.tmp where.txt\n");
  ::chmod("Game/Prog", 0755);
  EXPECT_TRUE(ok(ShellExecuteA(nullptr, "open", "Prog.exe", nullptr, "Game", 1)));
  for (int i = 0; i < 200 && !std::filesystem::exists("Game/where.txt"); ++i) usleep(10000);
  EXPECT_EQ(TempDir::Read("Game/where.txt"), dir.Path() + "/Game\n");
}

// Zombie children of this process, read from /proc.
int ZombieChildren() {
  int zombies = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    char state = 0;
    int parent = 0;
    rest >> state >> parent;
    zombies += parent == ::getpid() && state == 'Z';
  }
  return zombies;
}

// What the programs start is waited for: no browser or game stays a zombie
// of the launcher until it exits.
TEST(ShellExecute, StartedProgramsAreReaped) {
  TempDir dir;
  TempDir::Write("Quick", "#!/bin/sh\n: > \"$(dirname \"$0\")/ran.txt\"\n");
  ::chmod("Quick", 0755);
  for (int i = 0; i < 3; ++i)
    ASSERT_GT(reinterpret_cast<intptr_t>(ShellExecuteA(nullptr, "open", "Quick", nullptr, dir.Path().c_str(), 1)), 32);
  for (int i = 0; i < 500 && !std::filesystem::exists("ran.txt"); ++i) usleep(10000);
  ASSERT_TRUE(std::filesystem::exists("ran.txt"));
  int zombies = ZombieChildren();
  for (int i = 0; i < 500 && zombies > 0; ++i, zombies = ZombieChildren()) usleep(10000);
  EXPECT_EQ(zombies, 0);
}

}  // namespace
