// The game program started as a whole, headless, driven by scripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

const std::map<std::string, std::string> kHeadless{
    {"QB_VIDEO", "headless"}, {"QB_CLOCK", "virtual"}, {"QB_AUDIO", "null"}, {"QB_SEED", "1"}};

class GameRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qbe2eXXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string WriteScript(const std::string& name, const std::string& text) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path) << text;
    return path;
  }

  ProgramResult Run(const std::map<std::string, std::string>& extra, bool withCommandLine = true) {
    auto env = kHeadless;
    for (const auto& [k, v] : extra) env[k] = v;
    std::string exe = QB_GAME_EXE;
    std::vector<std::string> args;
    if (withCommandLine) args.push_back(fs::path(exe).parent_path().parent_path().string());
    return RunProgram(exe, args, env, fs::path(exe).parent_path().string());
  }

  std::string dir_;
};

// Pixels of a 24-bit frame dump inside a rectangle that are pure black or pure white.
struct Counts {
  int black = 0, white = 0;
};

Counts InkPixels(const std::string& bmp, int x0, int y0, int w, int h) {
  std::ifstream in(bmp, std::ios::binary);
  std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Counts c;
  if (d.size() < 54) return {-1, -1};
  int width = d[18] | d[19] << 8, height = d[22] | d[23] << 8;
  if (width != 800 || height != 600 || d[28] != 24) return {-1, -1};
  int row = (width * 3 + 3) & ~3;
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) {
      const uint8_t* p = &d[54 + static_cast<size_t>(height - 1 - y) * row + 3 * x];
      c.black += (p[0] | p[1] | p[2]) == 0;
      c.white += (p[0] & p[1] & p[2]) == 255;
    }
  return c;
}

TEST_F(GameRun, RefusesToStartWithoutCommandLine) {
  auto r = Run({}, false);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.errors.find("ERROR: Game must be run from the Lobbo"), std::string::npos) << r.errors;
}

TEST_F(GameRun, F1ShowsTheFrameRateAndEscapeEndsTheGame) {
  std::string script = WriteScript("s.txt", "100 shot first.bmp\n200 tap F1\n400 shot second.bmp\n1000 tap ESC\n");
  // The run must end right after the Escape release at 1020, well before this limit.
  auto r = Run({{"QB_SCRIPT", script}, {"QB_MAX_TICKS", "1100"}});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  // The readout is white ink on black cells; the game's picture has no pure black at all.
  Counts first = InkPixels(dir_ + "/first.bmp", 580, 0, 36, 8);
  Counts second = InkPixels(dir_ + "/second.bmp", 580, 0, 36, 8);
  EXPECT_EQ(first.black, 0);
  EXPECT_GT(second.black, 100);
  EXPECT_GT(second.white, 30);
  EXPECT_EQ(InkPixels(dir_ + "/second.bmp", 620, 0, 40, 8).black, 0);  // nothing beyond the six characters
}

TEST_F(GameRun, TheWindowsCloseButtonEndsTheGame) {
  auto r = Run({{"QB_SCRIPT", WriteScript("c.txt", "300 close\n")}, {"QB_MAX_TICKS", "400"}});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
}

TEST_F(GameRun, ARunPastItsTickLimitEndsWithCode3) {
  auto r = Run({{"QB_MAX_TICKS", "500"}});
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.errors.find("QB_MAX_TICKS"), std::string::npos);
}

TEST_F(GameRun, MalformedScriptEndsWithCode2) {
  auto r = Run({{"QB_SCRIPT", WriteScript("bad.txt", "10 tap F1\n20 fly away\n")}, {"QB_MAX_TICKS", "500"}});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.errors.find("line 2"), std::string::npos) << r.errors;
}

// The real clock starts the timer thread, which polls the mouse while the main
// thread plays; under the thread sanitizer a race between them fails the run
// (exit 66). Every other test uses the virtual clock, which starts no thread.
TEST_F(GameRun, PlaysOnTheRealClockWithInput) {
  std::string script = WriteScript("real.txt",
                                   "50 move 400 300\n"
                                   "100 click left 50 375\n"  // New game
                                   "300 click left 300 200\n"
                                   "450 click right 500 300\n"
                                   "600 press left\n650 move 420 320\n700 release left\n"
                                   "800 deactivate\n900 activate\n"
                                   "1000 click left 60 20\n"  // a guy
                                   "1400 tap ESC\n");
  auto r = Run({{"QB_CLOCK", "real"}, {"QB_SCRIPT", script}, {"QB_MAX_TICKS", "6000"}});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
}

// A mistyped setting must not quietly become another one (a real clock for
// "virtul", no hang guard for "1.5s"): the run ends at once, naming it.
TEST_F(GameRun, AMistypedSettingEndsTheRunWithCode2) {
  const std::map<std::string, std::string> cases[] = {
      {{"QB_CLOCK", "virtul"}},        {{"QB_MAX_TICKS", "1.5s"}}, {{"QB_MAX_TICKS", "99999999999"}},
      {{"QB_VIDEO", "headles"}},       {{"QB_AUDIO", "nul"}},      {{"QB_AUDIO", "wav:"}},
      {{"QB_SEED", "-1"}},             {{"QB_SHELL", "recrod:x"}}, {{"QB_DEPTH", "16bit"}},
  };
  for (const auto& bad : cases) {
    auto env = bad;
    env["QB_MAX_TICKS"] = env.count("QB_MAX_TICKS") ? env["QB_MAX_TICKS"] : "200";
    auto r = Run(env);
    const auto& [name, value] = *bad.begin();
    EXPECT_EQ(r.exitCode, 2) << name << "=" << value;
    EXPECT_NE(r.errors.find(name + "=" + value + " is not"), std::string::npos) << r.errors;
    EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
  }
}

// A run's input written with QB_RECORD plays the same game again: the state
// at the same tick is the same, text for text.
TEST_F(GameRun, ARecordedRunReplaysToTheSameState) {
  const std::string played = WriteScript("played.txt",
                                         "100 click left 50 375\n"  // New game
                                         "400 click left 300 200\n600 click right 500 300\n"
                                         "800 click left 60 20\n"  // a guy's order
                                         "2500 type AB\n3000 dump first.txt\n3100 tap ESC\n");
  auto r = Run({{"QB_SCRIPT", played}, {"QB_RECORD", dir_ + "/recorded.txt"}, {"QB_MAX_TICKS", "5000"}});
  ASSERT_EQ(r.exitCode, 0) << r.errors;

  // The recording with the same dump added in tick order.
  std::ifstream in(dir_ + "/recorded.txt");
  std::vector<std::pair<long, std::string>> lines{{3000, "3000 dump again.txt"}};
  std::string line;
  int events = 0;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#') {
      lines.push_back({std::stol(line), line});
      ++events;
    }
  EXPECT_EQ(events, 2 * 4 + 4 + 8 + 2 + 2) << "four clicks, two typed capitals with their text, the Escape tap";
  std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string replay;
  for (const auto& l : lines) replay += l.second + "\n";
  r = Run({{"QB_SCRIPT", WriteScript("replay.txt", replay)}, {"QB_MAX_TICKS", "5000"}});
  ASSERT_EQ(r.exitCode, 0) << r.errors;

  std::ifstream first(dir_ + "/first.txt"), again(dir_ + "/again.txt");
  const std::string a((std::istreambuf_iterator<char>(first)), std::istreambuf_iterator<char>());
  const std::string b((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
  EXPECT_NE(a.find("state playing"), std::string::npos) << a;
  EXPECT_EQ(a, b);
}

TEST_F(GameRun, ScriptDirectoryHandsOutTheLowestUntakenScript) {
  WriteScript("03-Quibbleton.txt", "10 tap ESC\n");
  WriteScript("01-Quibbleton.txt", "10 close\n");
  WriteScript("02-Lobbo.txt", "10 tap ESC\n");
  auto r = Run({{"QB_SCRIPT_DIR", dir_}, {"QB_MAX_TICKS", "500"}});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_TRUE(fs::exists(dir_ + "/01-Quibbleton.taken"));
  EXPECT_TRUE(fs::exists(dir_ + "/03-Quibbleton.txt"));
  EXPECT_TRUE(fs::exists(dir_ + "/02-Lobbo.txt"));
  r = Run({{"QB_SCRIPT_DIR", dir_}, {"QB_MAX_TICKS", "500"}});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_TRUE(fs::exists(dir_ + "/03-Quibbleton.taken"));
}

}  // namespace
