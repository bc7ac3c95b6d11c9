// Both programs played by keys alone: scripts with no mouse event at all. A
// recorded game replayed by keys ends exactly where its clicks ended, a push
// ordered by key matches the same push clicked, the launcher's pages, title
// menu and the game make the round trip, and the cursor and the focus ring
// show on every background and leave nothing behind when they move on.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "game_frames.h"
#include "launcher_tree.h"
#include "run_program.h"
#include "records/high_score_table.h"

namespace {

namespace fs = std::filesystem;
using gamee2e::Load;
using gamee2e::Picture;

const fs::path kGameDist = fs::path(QB_GAME_EXE).parent_path();
const fs::path kDist = fs::path(QB_LAUNCHER_EXE).parent_path();
constexpr int kTapGap = 30;  // between key taps of a script (a tap holds 20 ms)

// The text without its lines that start with prefix.
std::string Without(const std::string& text, const std::string& prefix) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) != 0) out += line + "\n";
  return out;
}

std::string LineOf(const std::string& text, const std::string& prefix) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(prefix, 0) == 0) return line;
  return "";
}

// Share of the area at (x, y) where two frames agree.
double Same(const Picture& a, const Picture& b, int x, int y, int w, int h) {
  int same = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) same += a.At(i, j) == b.At(i, j);
  return static_cast<double>(same) / (w * h);
}

// Turns clicks into the keys that do the same: the side buttons into their
// letters, a click on the board or a guy into arrows that walk the cursor
// there, ending with Space or X at the click's own tick.
class KeysForClicks {
 public:
  void Click(std::ostream& out, int tick, int x, int y, bool left) {
    if (x < 99) {
      const char* letter = y >= 351 && y < 407 ? "N" : y >= 407 && y < 463 ? "H" : y >= 463 && y < 519 ? "M" : "";
      if (*letter) out << tick << " tap " << letter << "\n";
      if (*letter == 'N') column_ = row_ = 0;
      return;
    }
    const int column = x < 137 ? -1 : x >= 752 ? 15 : (x - 137) / 41;
    const int row = x < 137 || x >= 752 ? (y - 4) / 55 : (y - 10) / 55;
    std::vector<const char*> keys;
    if (!shown_) keys.push_back("UP");  // the first arrow only shows the cursor
    shown_ = true;
    for (; column_ < column; ++column_) keys.push_back("RIGHT");
    for (; column_ > column; --column_) keys.push_back("LEFT");
    for (; row_ < row; ++row_) keys.push_back("DOWN");
    for (; row_ > row; --row_) keys.push_back("UP");
    const int first = tick - kTapGap * static_cast<int>(keys.size());
    for (size_t k = 0; k < keys.size(); ++k) out << first + kTapGap * static_cast<int>(k) << " tap " << keys[k] << "\n";
    out << tick << " tap " << (left ? "SPACE" : "X") << "\n";
  }

 private:
  int column_ = 0, row_ = 0;
  bool shown_ = false;
};

// A recorded mouse script as keys: moves and releases go, presses become keys,
// every other line stays.
std::string AsKeys(const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out;
  KeysForClicks keys;
  std::string line;
  int x = 0, y = 0;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    int tick = 0;
    std::string command, arg;
    if (!(words >> tick >> command)) {
      out << line << "\n";
      continue;
    }
    if (command == "move") {
      words >> x >> y;
    } else if (command == "click") {
      words >> arg >> x >> y;
      keys.Click(out, tick, x, y, arg == "left");
    } else if (command == "press") {
      words >> arg;
      keys.Click(out, tick, x, y, arg == "left");
    } else if (command != "release") {
      out << line << "\n";
    }
  }
  return out.str();
}

class KeyGame : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qbkeysXXXXXX";
    root_ = mkdtemp(pattern);
    game_ = root_ / "Quibbleton";
    fs::create_directories(game_);
    for (const auto& file : fs::directory_iterator(kGameDist))
      if (file.path().filename() != "hiscore.dat") fs::create_symlink(file.path(), game_ / file.path().filename());
  }
  void TearDown() override {
    if (HasFailure() || std::getenv("QB_KEEP_FRAMES"))
      std::printf("frames kept in %s\n", root_.c_str());
    else
      fs::remove_all(root_);
  }
  // Runs the game on the script (saved as name) with the seed; the program must end cleanly.
  void Play(const std::string& name, const std::string& script, const char* seed) {
    std::ofstream(root_ / name) << script;
    const ProgramResult run = RunProgram(QB_GAME_EXE, {root_.string()},
                                         {{"QB_VIDEO", "headless"},
                                          {"QB_CLOCK", "virtual"},
                                          {"QB_AUDIO", "null"},
                                          {"QB_SEED", seed},
                                          {"QB_SCRIPT", (root_ / name).string()},
                                          {"QB_MAX_TICKS", "600000"}},
                                         game_.string());
    ASSERT_EQ(run.exitCode, 0) << run.errors;
  }
  std::string Dump(const std::string& name) { return ReadAll(root_ / name); }

  fs::path root_, game_;
};

TEST_F(KeyGame, RecordedGameReplayedByKeysEndsWhereItsClicksEnded) {
  const fs::path replays = fs::path(QB_SOURCE_DIR) / "tests" / "e2e" / "replays";
  const std::string script = AsKeys(ReadAll(replays / "quibbleton-seed11.txt"));
  ASSERT_EQ(script.find(" move "), std::string::npos);
  ASSERT_EQ(script.find(" press "), std::string::npos);
  ASSERT_NO_FATAL_FAILURE(Play("keys.txt", script, "11"));
  const std::string expected = ReadAll(replays / "quibbleton-seed11.state");
  const std::string state = Dump("state.txt");
  // Score, time, multiplier, board and guys alike; only the cursor differs.
  EXPECT_EQ(LineOf(expected, "score "), "score 39500");
  EXPECT_EQ(Without(state, "cursor "), Without(expected, "cursor "));
  EXPECT_EQ(LineOf(state, "cursor "), "cursor 8 4 shown");  // the last click, at 500, 250
}

// A group clicked off the bottom row leaves holes at the top; the first guy
// then pushes row 0. By keys the cursor walks up and off the board's edge.
TEST_F(KeyGame, PushOrderedByKeyDoesWhatItsClickDoes) {
  std::ostringstream clicks;
  clicks << "100 click left 50 375\n"
         << "800 click left 300 520\n"
         << "3000 dump before.txt\n"
         << "3400 click left 119 31\n"
         << "9000 dump after.txt\n"
         << "9100 tap ESC\n";
  ASSERT_NO_FATAL_FAILURE(Play("clicks.txt", clicks.str(), "11"));
  const std::string before = Dump("before.txt"), byClick = Dump("after.txt");
  ASSERT_NE(Without(before, "seconds "), Without(byClick, "seconds "));  // the push moved heads

  ASSERT_NO_FATAL_FAILURE(Play("keys.txt", AsKeys(clicks.str()), "11"));
  const std::string byKey = Dump("after.txt");
  EXPECT_EQ(Without(byKey, "cursor "), Without(byClick, "cursor "));
  // The cursor stayed on the guy through the push and the falls.
  EXPECT_EQ(LineOf(byKey, "cursor "), "cursor -1 0 shown");
}

// A click while heads crack is lost, and so are keys: the cursor does not
// move and no second group goes.
TEST_F(KeyGame, KeysDuringAnAnimationAreDropped) {
  const std::string clicks = "100 click left 50 375\n800 click left 300 520\n5000 dump after.txt\n9000 tap ESC\n";
  ASSERT_NO_FATAL_FAILURE(Play("clicks.txt", clicks, "11"));
  const std::string byClick = Dump("after.txt");
  std::string keys = AsKeys(clicks);
  keys.insert(keys.find("5000 dump"), "850 tap RIGHT\n900 tap SPACE\n");
  // How to play, closed by a key: neither key clicks the board.
  keys.insert(keys.find("9000 tap ESC"),
              "5000 shot game.bmp\n5030 tap H\n5300 shot help.bmp\n5400 tap A\n5600 dump help.txt\n5600 shot closed.bmp\n");
  ASSERT_NO_FATAL_FAILURE(Play("keys.txt", keys, "11"));
  const std::string byKey = Dump("after.txt");
  EXPECT_EQ(Without(byKey, "cursor "), Without(byClick, "cursor "));
  EXPECT_EQ(LineOf(byKey, "cursor "), "cursor 3 9 shown");
  EXPECT_EQ(Without(Without(Dump("help.txt"), "seconds "), "cursor "), Without(Without(byKey, "seconds "), "cursor "));
  const Picture game = Load((root_ / "game.bmp").string()), help = Load((root_ / "help.bmp").string());
  const Picture closed = Load((root_ / "closed.bmp").string());
  ASSERT_TRUE(game.Loaded() && help.Loaded() && closed.Loaded());
  EXPECT_LT(Same(help, game, 300, 200, 300, 200), 0.5);
  EXPECT_EQ(Same(closed, game, 300, 200, 300, 200), 1.0);
}

// The frame is dark and light at once along its whole edge, so it shows on
// any picture: its outer line black, its middle lines white.
void ExpectFrameAround(const Picture& frame, int x, int y, int w, int h) {
  int dark = 0, light = 0;
  for (int i = x + 4; i < x + w - 4; ++i) {
    dark += frame.At(i, y) == 0x0000 && frame.At(i, y + h - 1) == 0x0000;
    light += frame.At(i, y + 1) == 0xFFFF && frame.At(i, y + h - 2) == 0xFFFF;
  }
  for (int j = y + 4; j < y + h - 4; ++j) {
    dark += frame.At(x, j) == 0x0000 && frame.At(x + w - 1, j) == 0x0000;
    light += frame.At(x + 1, j) == 0xFFFF && frame.At(x + w - 2, j) == 0xFFFF;
  }
  EXPECT_EQ(dark, w + h - 16) << "at " << x << "," << y;
  EXPECT_EQ(light, w + h - 16) << "at " << x << "," << y;
}

TEST_F(KeyGame, CursorShowsOnHeadsAndGuysAndLeavesNothingBehind) {
  std::ostringstream s;
  s << "100 tap N\n300 shot none.bmp\n400 tap UP\n500 shot home.bmp\n";
  int tick = 600;
  // To cell (3, 2), along its row onto the right-hand guy, down one row, and back to the left-hand one.
  for (const char* key : {"RIGHT", "RIGHT", "RIGHT", "DOWN", "DOWN"}) s << (tick += kTapGap) << " tap " << key << "\n";
  s << (tick += 100) << " shot cell.bmp\n";
  tick += 100;
  for (int i = 0; i < 12; ++i, tick += kTapGap) s << tick << " tap RIGHT\n";
  s << tick << " shot guy.bmp\n" << tick + 100 << " tap DOWN\n";
  tick += 200;
  for (int i = 0; i < 16; ++i, tick += kTapGap) s << tick << " tap LEFT\n";
  s << tick + 100 << " shot left.bmp\n" << tick + 100 << " dump state.txt\n" << tick + 200 << " tap ESC\n";
  ASSERT_NO_FATAL_FAILURE(Play("keys.txt", s.str(), "11"));
  const Picture none = Load((root_ / "none.bmp").string()), home = Load((root_ / "home.bmp").string());
  const Picture cell = Load((root_ / "cell.bmp").string());
  const Picture guy = Load((root_ / "guy.bmp").string()), left = Load((root_ / "left.bmp").string());
  ASSERT_TRUE(none.Loaded() && home.Loaded() && cell.Loaded() && guy.Loaded() && left.Loaded());
  EXPECT_EQ(LineOf(Dump("state.txt"), "cursor "), "cursor -1 3 shown");

  ExpectFrameAround(home, 137, 10, 41, 55);
  ExpectFrameAround(cell, 137 + 3 * 41, 10 + 2 * 55, 41, 55);
  ExpectFrameAround(guy, 751, 2 * 55 + 4, 41, 55);
  ExpectFrameAround(left, 99, 3 * 55 + 4, 41, 55);
  // Every place it was is back as it was before it showed: the board between
  // the guys is exactly as dealt once the cursor has left it for a guy (the
  // timer dots at the left count down meanwhile, so they are left out). On a
  // head the frame's group is outlined, as the pointer's is.
  EXPECT_EQ(Same(guy, none, 141, 0, 751 - 141, 600), 1.0);
  EXPECT_EQ(Same(left, none, 141, 0, 800 - 141, 600), 1.0);
}

// The launcher: a directory with the game, both programs, and scripts for
// each start taken in turn.
class LauncherKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = MakeLauncherTree(kDist, "qbkeylobbo");
    fs::create_symlink(QB_LAUNCHER_EXE, root_ / "Lobbo");
    const fs::path game = root_ / "Quibbleton";
    fs::create_directories(game);
    for (const auto& file : fs::directory_iterator(kGameDist))
      if (file.path().filename() != "hiscore.dat") fs::create_symlink(file.path(), game / file.path().filename());
    scripts_ = root_ / "scripts";
    fs::create_directories(scripts_);
  }
  void TearDown() override {
    if (HasFailure() || std::getenv("QB_KEEP_FRAMES"))
      std::printf("frames kept in %s\n", root_.c_str());
    else
      fs::remove_all(root_);
  }
  void Script(const std::string& name, const std::string& text) { std::ofstream(scripts_ / name) << text; }
  ProgramResult Start() {
    return RunProgram(QB_LAUNCHER_EXE, {},
                      {{"QB_VIDEO", "headless"},
                       {"QB_CLOCK", "virtual"},
                       {"QB_AUDIO", "null"},
                       {"QB_SEED", "11"},
                       {"QB_SCRIPT_DIR", scripts_.string()},
                       {"QB_MAX_TICKS", "200000"}},
                      root_.string());
  }
  // Waits for a file the last program of a round trip writes.
  bool Await(const fs::path& path) {
    for (int i = 0; i < 2400 && !fs::exists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return fs::exists(path);
  }

  fs::path root_, scripts_;
};

// Script lines at a running tick: taps kTapGap apart, other lines at the tick reached.
class Timeline {
 public:
  Timeline& Tap(const char* key, int times = 1) {
    for (int i = 0; i < times; ++i, tick += kTapGap) text += std::to_string(tick) + " tap " + key + "\n";
    return *this;
  }
  Timeline& Line(const std::string& command) {
    text += std::to_string(tick) + " " + command + "\n";
    return *this;
  }
  Timeline& Pause(int ms) {
    tick += ms;
    return *this;
  }
  int tick = 100;
  std::string text;
};

TEST_F(LauncherKeys, PagesTitlePlayerPlayAndBackByKeysAlone) {
  Timeline lobbo;
  lobbo.Line("dump pages.txt").Line("shot pages-none.bmp").Pause(100);
  lobbo.Tap("DOWN").Pause(50).Line("shot pages-first.bmp");  // the first key shows the ring on the first game
  lobbo.Tap("RIGHT").Pause(50).Line("shot pages-second.bmp").Tap("LEFT").Tap("ENTER").Pause(200);
  lobbo.Line("dump title.txt").Line("shot title.bmp");
  // The names follow the nine buttons in Tab order: nine Tabs from Play reach the second name.
  lobbo.Tap("TAB", 9).Tap("SPACE").Pause(50).Line("dump chosen.txt").Line("shot chosen.bmp");
  // "Who is playing?": typing goes to the name box; the arrow down from the
  // last box reaches the buttons (the closing one marked), left to "enter".
  lobbo.Tap("TAB", 13).Tap("ENTER").Pause(200).Tap("BACKSPACE", 7).Line("type Kim").Pause(200);
  lobbo.Tap("DOWN", 3).Pause(50).Line("dump players.txt").Tap("LEFT").Tap("ENTER").Pause(200);
  lobbo.Tap("TAB", 12).Tap("ENTER");
  Script("01-Lobbo.txt", lobbo.text);

  Timeline game;
  game.Tap("N").Tap("DOWN", 10);  // shown, then down to the bottom row
  // Cells along the bottom row: most have a twin beside them.
  for (int c = 0; c < 15; c += 2) game.Pause(1500).Tap("SPACE").Tap("RIGHT", 2);
  game.Pause(1500).Line("dump game.txt").Tap("N").Pause(3000).Tap("M");  // New game puts the score in the table
  Script("02-Quibbleton.txt", game.text);
  Script("03-Lobbo.txt", "100 dump back.txt\n200 tap ESC\n");

  const ProgramResult first = Start();
  ASSERT_EQ(first.exitCode, 0) << first.errors;
  ASSERT_TRUE(Await(scripts_ / "back.txt"));
  for (const auto& entry : fs::directory_iterator(scripts_)) {
    if (entry.path().extension() == ".taken") {
      EXPECT_EQ(ReadAll(entry.path()).find("click"), std::string::npos) << entry.path();
    }
  }

  EXPECT_EQ(LineOf(ReadAll(scripts_ / "pages.txt"), "focus "), "focus -");
  const std::string title = ReadAll(scripts_ / "title.txt");
  EXPECT_EQ(LineOf(title, "screen "), "screen title");
  EXPECT_EQ(LineOf(title, "focus "), "focus Play");
  const std::string chosen = ReadAll(scripts_ / "chosen.txt");
  EXPECT_EQ(LineOf(chosen, "player "), "player 1");
  EXPECT_EQ(LineOf(chosen, "focus "), "focus name2");
  EXPECT_EQ(LineOf(ReadAll(scripts_ / "players.txt"), "popup "), "popup focus back");
  const std::string played = ReadAll(scripts_ / "game.txt");
  EXPECT_NE(LineOf(played, "score "), "score 0");
  const std::string back = ReadAll(scripts_ / "back.txt");
  EXPECT_EQ(LineOf(back, "screen "), "screen title");
  EXPECT_EQ(LineOf(back, "player "), "player 1");

  HighScoreTable table;
  table.Resize(20);
  ASSERT_EQ(table.Load((root_ / "Quibbleton" / "hiscore.dat").c_str()), 1);
  EXPECT_EQ("score " + std::to_string(table.Entry(0)->score), LineOf(played, "score "));
  EXPECT_EQ(std::string(table.Entry(0)->name).substr(0, 4), "Kim:");
  EXPECT_EQ(LineOf(back, "names "), "names Player1 Kim Player3 Player4 Player5 Player6 Player7 Player8");

  // The ring: dark and light around the first game's button, and gone from
  // there once it moved on to the second.
  const Picture none = Load((scripts_ / "pages-none.bmp").string());
  const Picture firstFrame = Load((scripts_ / "pages-first.bmp").string());
  const Picture second = Load((scripts_ / "pages-second.bmp").string());
  ASSERT_TRUE(none.Loaded() && firstFrame.Loaded() && second.Loaded());
  EXPECT_LT(Same(firstFrame, none, 0, 0, 800, 600), 1.0);
  EXPECT_EQ(firstFrame.At(80, 140), 0x0000);
  int ringOnFirst = 0;
  for (int x = 0; x < 260; ++x) ringOnFirst += second.At(x, 140) != none.At(x, 140);
  EXPECT_EQ(ringOnFirst, 0);
}

// The ring on the launcher's own layouts, each step after the mouse left it
// hidden or by keys alone: Left from the first name goes to the buttons at
// the left, not to the name below it (a pixel further left); "How to play"
// opened by a click closes with one Space; Up from "back" in "Who is
// playing?" goes back to the e-mail box.
TEST_F(LauncherKeys, ArrowsAndSpaceOnTheTitleMenuAndItsPopUps) {
  Timeline lobbo;
  lobbo.Tap("DOWN").Tap("ENTER").Pause(300).Tap("TAB", 8).Line("dump name1.txt").Tap("LEFT").Line("dump left.txt");
  lobbo.Line("click left 127 324").Pause(400).Tap("SPACE").Pause(200).Line("dump howto.txt");
  lobbo.Line("click left 400 344").Pause(400).Tap("DOWN", 3).Line("dump back.txt").Tap("UP").Line("dump up.txt");
  lobbo.Line("close");
  Script("01-Lobbo.txt", lobbo.text);
  const ProgramResult run = Start();
  ASSERT_EQ(run.exitCode, 0) << run.errors;

  EXPECT_EQ(LineOf(ReadAll(scripts_ / "name1.txt"), "focus "), "focus name1");
  EXPECT_EQ(LineOf(ReadAll(scripts_ / "left.txt"), "focus "), "focus HighScores");
  const std::string howto = ReadAll(scripts_ / "howto.txt");
  EXPECT_EQ(LineOf(howto, "screen "), "screen title");
  EXPECT_EQ(LineOf(howto, "popup "), "");
  const std::string back = ReadAll(scripts_ / "back.txt");
  EXPECT_EQ(LineOf(back, "popup "), "popup focus back");
  EXPECT_EQ(LineOf(back, "field "), "field 0");
  EXPECT_EQ(LineOf(ReadAll(scripts_ / "up.txt"), "field "), "field 3");
}

}  // namespace
