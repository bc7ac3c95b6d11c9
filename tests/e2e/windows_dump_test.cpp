// The Windows build plays a seeded, scripted game to the same state as the
// native one: both programs run the same script in a game folder of their
// own (the Windows one under Wine) and their dumps must match byte for byte.
// Without the Windows build (build-windows/) or Wine the test is skipped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

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

// Clicks all over the board (left and right, some on singles the rules
// refuse), New game again half-way, and a dump after each half.
std::string SeededScript() {
  std::ostringstream s;
  s << "200 click left 50 375\n";
  int tick = 800;
  for (int k = 0; k < 24; ++k, tick += 450) {
    const int cell = (k * 37 + 11) % 150;
    s << tick << " click " << (k % 3 == 2 ? "right " : "left ") << 137 + (cell % 15) * 41 + 20 << ' '
      << 10 + (cell / 15) * 55 + 27 << '\n';
    if (k == 12) {
      s << tick + 200 << " dump half.txt\n";
      s << tick + 300 << " click left 50 375\n";
      tick += 1500;
    }
  }
  s << tick + 1500 << " dump end.txt\n" << tick + 1600 << " tap ESC\n";
  return s.str();
}

class WindowsDump : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qbwindumpXXXXXX";
    root_ = ::mkdtemp(pattern);
  }
  void TearDown() override {
    if (HasFailure() || std::getenv("QB_KEEP_FRAMES"))
      std::printf("dumps kept in %s\n", root_.c_str());
    else
      fs::remove_all(root_);
  }

  // A launcher folder of its own under root_ (the player's options) with a
  // copy of the game's staged folder; the game's folder.
  fs::path Tree(const std::string& name, const fs::path& gameDist) {
    const fs::path launcher = root_ / name;
    const fs::path game = launcher / "Quibbleton";
    fs::create_directories(launcher);
    fs::copy(gameDist, game, fs::copy_options::recursive);
    for (const char* played : {"hiscore.dat", "options.ini", "replays"}) fs::remove_all(game / played);
    std::ofstream(launcher / "options.ini") << "[setup]\nmusic=N\nSFX=N\nplayerid=1\n\n[Player2]\nname=Ann Example\n"
                                               "address=1 Road\nemail=ann@example.org\nsend=N\n";
    std::ofstream(game / "script.txt") << SeededScript();
    return game;
  }

  static std::map<std::string, std::string> Environment() {
    return {{"QB_VIDEO", "headless"}, {"QB_CLOCK", "virtual"}, {"QB_AUDIO", "null"}, {"QB_SEED", "4242"},
            {"QB_SCRIPT", "script.txt"}, {"QB_MAX_TICKS", "60000"}, {"WINEDEBUG", "-all"}};
  }

  fs::path root_;
};

TEST_F(WindowsDump, ASeededGameDumpsTheSameStateAsTheNativeGame) {
  const fs::path windowsGame = fs::path(QB_SOURCE_DIR) / "build-windows" / "dist" / "Quibbleton";
  const std::string wine = OnPath("wine");
  if (!fs::exists(windowsGame / "Quibbleton.exe")) GTEST_SKIP() << "no Windows build: " << windowsGame;
  if (wine.empty()) GTEST_SKIP() << "no wine on PATH";

  const fs::path native = Tree("native", fs::path(QB_GAME_EXE).parent_path());
  const ProgramResult n = RunProgram(QB_GAME_EXE, {native.parent_path().string()}, Environment(), native.string());
  ASSERT_EQ(n.exitCode, 0) << n.errors;

  const fs::path windows = Tree("windows", windowsGame);
  const ProgramResult w = RunProgram(wine, {(windows / "Quibbleton.exe").string(), windows.parent_path().string()},
                                     Environment(), windows.string());
  ASSERT_EQ(w.exitCode, 0) << w.errors;

  for (const char* dump : {"half.txt", "end.txt"}) {
    const std::string expected = ReadAll(native / dump);
    ASSERT_NE(expected.find("screen game"), std::string::npos) << dump << ":\n" << expected;
    EXPECT_EQ(ReadAll(windows / dump), expected) << dump;
  }
  // The game went on between the dumps, so they tell a game that stopped from one that played.
  EXPECT_NE(ReadAll(native / "half.txt"), ReadAll(native / "end.txt"));
}

}  // namespace
