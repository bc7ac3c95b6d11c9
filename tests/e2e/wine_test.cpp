// The Windows build under Wine against the native one: a seeded, scripted
// game plays to the same state (the dumps match byte for byte), and the round
// trip Lobbo.exe -> Quibbleton.exe -> "menu" -> Lobbo.exe runs across real
// Windows processes. Each works in a copy of a staged tree of its own.
// Without the Windows build (build-windows/) or Wine the tests are skipped.
// Where the Windows build has its own window (QB_WIN32_WINDOW), the round
// trip plays in it, under an X server of the test's own (Xvfb).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "records/high_score_table.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;

const fs::path kWindowsDist = fs::path(QB_SOURCE_DIR) / "build-windows" / "dist";

// A program on PATH, by its name (empty when there is none).
std::string OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const fs::path candidate = fs::path(dir) / name;
    if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return "";
}

// An X server of its own for the test, on the display it picks (Xvfb says
// which once it is ready to take clients); stopped with the test.
class VirtualDisplay {
 public:
  // False when there is no Xvfb or it did not start.
  bool Start() {
    const std::string xvfb = OnPath("Xvfb");
    int ready[2];
    if (xvfb.empty() || ::pipe(ready) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
    std::vector<std::string> args{xvfb, "-displayfd", "3", "-screen", "0", "1024x768x16", "-nolisten", "tcp"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const bool started = posix_spawn(&pid_, xvfb.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    std::string number;
    char c;
    while (started && ::read(ready[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(ready[0]);
    if (!started) pid_ = -1;
    if (number.empty()) return false;
    display_ = ":" + number;
    return true;
  }
  ~VirtualDisplay() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  const std::string& Name() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Wine's server for the prefix, with the desktop its first program made:
// that desktop takes its display driver from that program's environment, so
// after a run without a display (the headless tests) no window can open until
// the server has ended. The test waits for it before and after its run (at
// most half a minute each), so the desktop is its own and goes with its X
// server.
class OwnWineServer {
 public:
  OwnWineServer() { WaitForTheServerToEnd(); }
  ~OwnWineServer() { WaitForTheServerToEnd(); }

 private:
  static void WaitForTheServerToEnd() {
    std::string server = OnPath("wineserver");
    if (server.empty()) return;
    std::string wait = "-w";
    char* argv[] = {server.data(), wait.data(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, server.c_str(), nullptr, nullptr, argv, environ) != 0) return;
    for (int i = 0; i < 300; ++i) {
      if (::waitpid(pid, nullptr, WNOHANG) == pid) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
};

int CellX(int cell) { return 137 + (cell % 15) * 41 + 20; }
int CellY(int cell) { return 10 + (cell / 15) * 55 + 27; }

class UnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    wine_ = OnPath("wine");
    if (!fs::exists(kWindowsDist / "Lobbo.exe") || !fs::exists(kWindowsDist / "Quibbleton" / "Quibbleton.exe"))
      GTEST_SKIP() << "no Windows build in " << kWindowsDist;
    if (wine_.empty()) GTEST_SKIP() << "no wine on PATH";
    char pattern[] = "/tmp/qbwineXXXXXX";
    root_ = ::mkdtemp(pattern);
  }
  void TearDown() override {
    if (root_.empty()) return;
    if (HasFailure() || std::getenv("QB_KEEP_FRAMES"))
      std::printf("files kept in %s\n", root_.c_str());
    else
      fs::remove_all(root_);
  }

  // A copy of a staged tree under root_/name without any player's files,
  // and a player of its own in the launcher's options; the launcher folder.
  fs::path Tree(const std::string& name, const fs::path& dist) {
    const fs::path launcher = root_ / name;
    fs::copy(dist, launcher, fs::copy_options::recursive);
    for (const char* played : {"options.ini", "Quibbleton/hiscore.dat", "Quibbleton/options.ini", "Quibbleton/replays"})
      fs::remove_all(launcher / played);
    std::ofstream(launcher / "options.ini") << "[setup]\nmusic=N\nSFX=N\nplayerid=1\n\n[Player2]\nname=Ann Lee\n"
                                               "address=1 Main St\nemail=\nsend=Y\n";
    return launcher;
  }

  static std::map<std::string, std::string> Environment() {
    return {{"QB_VIDEO", "headless"}, {"QB_CLOCK", "virtual"}, {"QB_AUDIO", "null"}, {"WINEDEBUG", "-all"}};
  }

  std::string wine_;
  fs::path root_;
};

// Clicks all over the board (left and right, some on singles the rules
// refuse), New game again half-way, and a dump after each half.
std::string SeededScript() {
  std::ostringstream s;
  s << "200 click left 50 375\n";
  int tick = 800;
  for (int k = 0; k < 24; ++k, tick += 450) {
    const int cell = (k * 37 + 11) % 150;
    s << tick << " click " << (k % 3 == 2 ? "right " : "left ") << CellX(cell) << ' ' << CellY(cell) << '\n';
    if (k == 12) {
      s << tick + 200 << " dump half.txt\n";
      s << tick + 300 << " click left 50 375\n";
      tick += 1500;
    }
  }
  s << tick + 1500 << " dump end.txt\n" << tick + 1600 << " tap ESC\n";
  return s.str();
}

TEST_F(UnderWine, ASeededGameDumpsTheSameStateAsTheNativeGame) {
  std::map<std::string, std::string> env = Environment();
  env.insert({{"QB_SEED", "4242"}, {"QB_SCRIPT", "script.txt"}, {"QB_MAX_TICKS", "60000"}});

  const fs::path native = Tree("native", fs::path(QB_GAME_EXE).parent_path().parent_path()) / "Quibbleton";
  std::ofstream(native / "script.txt") << SeededScript();
  const ProgramResult n = RunProgram(QB_GAME_EXE, {native.parent_path().string()}, env, native.string());
  ASSERT_EQ(n.exitCode, 0) << n.errors;

  const fs::path windows = Tree("windows", kWindowsDist) / "Quibbleton";
  std::ofstream(windows / "script.txt") << SeededScript();
  const ProgramResult w =
      RunProgram(wine_, {(windows / "Quibbleton.exe").string(), windows.parent_path().string()}, env, windows.string());
  ASSERT_EQ(w.exitCode, 0) << w.errors;

  for (const char* dump : {"half.txt", "end.txt"}) {
    const std::string expected = ReadAll(native / dump);
    ASSERT_NE(expected.find("screen game\n"), std::string::npos) << dump << ":\n" << expected;
    EXPECT_EQ(ReadAll(windows / dump), expected) << dump;
  }
  // The game went on between the dumps, so they tell a game that stopped from one that played.
  EXPECT_NE(ReadAll(native / "half.txt"), ReadAll(native / "end.txt"));
}

// The launcher starts the game, whose menu button starts the launcher again
// on the title menu; each takes its script from the folder in turn, and the
// game's score is in its table with the player who chose it.
TEST_F(UnderWine, RoundTripIntoTheGameAndBack) {
  const fs::path launcher = Tree("windows", kWindowsDist);
  const fs::path scripts = launcher / "scripts";
  fs::create_directories(scripts);
  // The first game slot, the player, Play (and the window's first picture).
  std::ofstream(scripts / "01-Lobbo.txt") << "50 shot start.bmp\n100 click left 139 190\n300 click left 483 393\n"
                                             "500 click left 711 324\n";
  std::ostringstream game;
  game << "100 click left 50 375\n";
  int tick = 400;
  for (int cell = 149; cell >= 90; cell -= 2, tick += 700)
    game << tick << " click left " << CellX(cell) << ' ' << CellY(cell) << '\n';
  game << tick << " click left 50 375\n" << tick + 3000 << " click left 50 487\n";
  std::ofstream(scripts / "02-Quibbleton.txt") << game.str();
  std::ofstream(scripts / "03-Lobbo.txt") << "50 dump back.txt\n100 tap ESC\n";

  std::map<std::string, std::string> env = Environment();
  env.insert({{"QB_SEED", "7"}, {"QB_SCRIPT_DIR", scripts.string()}, {"QB_MAX_TICKS", "200000"}});
#ifdef QB_WIN32_WINDOW
  VirtualDisplay display;
  if (!display.Start()) GTEST_SKIP() << "no Xvfb to show the Windows window";
  env["QB_VIDEO"] = "win32";
  env["DISPLAY"] = display.Name();
  const OwnWineServer server;
#endif
  const ProgramResult first = RunProgram(wine_, {(launcher / "Lobbo.exe").string()}, env, launcher.string());
  ASSERT_EQ(first.exitCode, 0) << first.errors;
  // The other two run on their own: the last one's dump ends the wait.
  const fs::path back = scripts / "back.txt";
  for (int i = 0; i < 1200 && !(fs::exists(scripts / "03-Lobbo.taken") && fs::exists(back)); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(fs::exists(scripts / "02-Quibbleton.taken"));
  ASSERT_TRUE(fs::exists(back)) << "the launcher did not come back";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_NE(ReadAll(back).find("screen title\n"), std::string::npos) << ReadAll(back);

  HighScoreTable table;
  table.Resize(20);
  ASSERT_EQ(table.Load((launcher / "Quibbleton" / "hiscore.dat").c_str()), 1);
  EXPECT_STREQ(table.Entry(0)->name, "Ann Lee:1 Main St::Y");
  EXPECT_GT(table.Entry(0)->score, 0);
#ifdef QB_WIN32_WINDOW
  // The window showed the launcher's picture, not a blank one.
  const std::string shot = ReadAll(scripts / "start.bmp");
  ASSERT_GT(shot.size(), 54u);
  EXPECT_NE(shot.find_first_not_of(shot[60], 54), std::string::npos) << "a frame of one colour";
#endif
}

}  // namespace
