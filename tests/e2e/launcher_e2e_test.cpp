// The built launcher, headless on the virtual clock, driven by scripts in a
// launcher directory of its own: the game pages, the title menu and its
// options, the players pop-up, the hall of fame, starting a game, and the
// round trip into the game and back across real processes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "game/rules/replay.h"
#include "game_frames.h"
#include "launcher_tree.h"
#include "launcher/bitmap_font.h"
#include "launcher/upload_address.h"
#include "platform/win/bitmap.h"
#include "platform/win/profile.h"
#include "run_program.h"
#include "records/high_score_table.h"

namespace {

namespace fs = std::filesystem;
using gamee2e::Load;
using gamee2e::Picture;

const std::string kDist = fs::path(QB_LAUNCHER_EXE).parent_path().string();

// Points to click: the centres of the buttons and fields.
struct Point {
  int x, y;
};
constexpr Point kSlot1{139, 190}, kSlot5{396, 297}, kRightArrow{767, 47};
constexpr Point kPlay{711, 324}, kHighScores{127, 393}, kMenu{711, 393}, kPlayers{400, 344}, kSfx{77, 530};
constexpr Point kMusic{131, 530}, kHowToPlay{127, 324}, kCredits{127, 463};
constexpr Point kFirstName{314, 393}, kNameField1{483, 393};
constexpr Point kEnter{579, 511}, kRemove{465, 511}, kBack{699, 529}, kYesNo{135, 526};
constexpr Point kUpload{670, 131}, kClear{670, 192};
// The question "clear" asks, centred on the window, and its answers.
constexpr Point kQuestion{180, 175}, kClearYes{315, 389}, kClearNo{485, 389};
constexpr Point kGameNewGame{50, 375}, kGameMenu{50, 487};

class Script {
 public:
  Script& Click(int tick, Point p) {
    text_ << tick << " click left " << p.x << ' ' << p.y << '\n';
    return *this;
  }
  Script& Line(int tick, const std::string& command) {
    text_ << tick << ' ' << command << '\n';
    return *this;
  }
  void Save(const std::string& path) const { std::ofstream(path) << text_.str(); }

 private:
  std::ostringstream text_;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string Profile(const std::string& file, const char* section, const char* key) {
  char value[256] = "";
  GetPrivateProfileStringA(section, key, "", value, sizeof value, file.c_str());
  return value;
}

class LauncherRun : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = MakeLauncherTree(kDist, "qblobbo").string();
  }
  void TearDown() override {
    if (HasFailure() || std::getenv("QB_KEEP_FRAMES"))
      std::printf("frames kept in %s\n", root_.c_str());
    else
      fs::remove_all(root_);
  }

  // A game folder with the game's pictures; withProgram adds its executable.
  std::string AddGame(const std::string& name, bool withProgram = false) {
    const std::string dir = root_ + "/" + name;
    fs::create_directories(dir);
    for (const auto& entry : fs::directory_iterator(kDist + "/Quibbleton")) {
      const std::string file = entry.path().filename().string();
      if (file == "hiscore.dat" || (file == "Quibbleton" && !withProgram)) continue;
      fs::create_symlink(entry.path(), fs::path(dir) / (file == "Quibbleton" ? name : file));
    }
    return dir;
  }

  void WriteOptions(const std::string& text) { std::ofstream(root_ + "/options.ini") << text; }
  std::string Options(const char* section, const char* key) { return Profile(root_ + "/options.ini", section, key); }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  // A player's record in "options.ini" as name|address|email|send.
  std::string Record(const char* section) {
    return Options(section, "name") + "|" + Options(section, "address") + "|" + Options(section, "email") + "|" +
           Options(section, "send");
  }

  // A program of this launcher directory, headless on the virtual clock with the script.
  ProgramResult RunScripted(const std::string& exe, const std::vector<std::string>& args, const std::string& cwd,
                            const Script& script, int maxTicks, std::map<std::string, std::string> env = {}) {
    script.Save(root_ + "/script.txt");
    env.insert({{"QB_VIDEO", "headless"},
                {"QB_CLOCK", "virtual"},
                {"QB_AUDIO", "null"},
                {"QB_SCRIPT", root_ + "/script.txt"},
                {"QB_MAX_TICKS", std::to_string(maxTicks)}});
    return RunProgram(exe, args, env, cwd);
  }

  // The launcher, its programs and web addresses recorded in shell.txt instead of started.
  ProgramResult Run(const Script& script, const std::string& commandLine = "", int maxTicks = 20000,
                    std::map<std::string, std::string> env = {}) {
    env.insert({"QB_SHELL", "record:" + root_ + "/shell.txt"});
    std::vector<std::string> args;
    if (!commandLine.empty()) args.push_back(commandLine);
    return RunScripted(QB_LAUNCHER_EXE, args, root_, script, maxTicks, env);
  }

  std::string root_;
};

// Share of the area at (x, y) where two frames agree.
double Same(const Picture& a, const Picture& b, int x, int y, int w, int h) {
  int same = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) same += a.At(i, j) == b.At(i, j);
  return static_cast<double>(same) / (w * h);
}

TEST_F(LauncherRun, FourteenGamesMakeTwoPagesWhoseEmptySlotsOpenTheHomePage) {
  for (int i = 0; i < 14; ++i) AddGame("Game" + std::to_string(10 + i));
  Script script;
  // A tap: press and release in the same millisecond still turns the page.
  script.Line(100, "shot page1.bmp").Line(200, "move 767 47").Line(200, "press left").Line(200, "release left");
  script.Line(400, "shot page2.bmp").Line(400, "dump page2.txt");
  script.Click(500, kSlot5).Click(700, kRightArrow).Line(900, "dump last.txt").Line(1000, "tap ESC");
  ASSERT_EQ(Run(script).exitCode, 0);
  const std::string state = ReadFile(Path("page2.txt"));
  EXPECT_NE(state.find("screen Lobbo\npage 2\ngames 14\nslots Game"), std::string::npos) << state;
  EXPECT_NE(state.find(" - - - - - - - - - -\n"), std::string::npos) << state;  // two games, then ten empty slots
  // Slots 1 to 12 all enabled on page 2: two games, the extra slot, and nine left enabled by page 1.
  EXPECT_NE(state.find("buttons left right help exit button1 button2 button3 button4 button5 button6 button7 "
                       "button8 button9 button10 button11 button12\n"),
            std::string::npos)
      << state;

  const Picture page2 = Load(Path("page2.bmp")), page1 = Load(Path("page1.bmp"));
  const Picture digits = Load(kDist + "/PageNumbers.bmp"), background = Load(kDist + "/background.bmp");
  ASSERT_TRUE(page2.Loaded() && digits.Loaded());
  const int cell = digits.width / 10;
  // Page 2 shows the digit 2 ending at x = 716, and page 1 did not.
  EXPECT_EQ(gamee2e::Match(page2, background, &digits, 2 * cell, 0, 716 - cell, 30, cell, digits.height), 1.0);
  EXPECT_LT(gamee2e::Match(page1, background, &digits, 2 * cell, 0, 716 - cell, 30, cell, digits.height), 0.9);
  // The last page turns no further.
  EXPECT_NE(ReadFile(Path("last.txt")).find("page 2\n"), std::string::npos);
  // Slot 5 of page 2 holds no game, yet it was enabled on page 1 and opens the home page.
  EXPECT_EQ(ReadFile(Path("shell.txt")), "open\thttp://localhost:8080/\t\t\n");
}

TEST_F(LauncherRun, TitleMenuAtOnceWithTogglesAndPlayerChoiceWrittenAtOnce) {
  AddGame("Quibbleton");
  WriteOptions("[Player2]\nname=Ann Lee\nsend=Y\n");
  Script script;
  script.Line(50, "shot title.bmp").Click(100, kSfx).Click(300, kNameField1).Line(500, "shot chosen.bmp");
  script.Line(500, "dump chosen.txt").Line(600, "tap ESC");
  ASSERT_EQ(Run(script, "Quibbleton").exitCode, 0);
  const std::string state = ReadFile(Path("chosen.txt"));
  EXPECT_NE(state.find("screen title\ngame Quibbleton\nplayer 1\nnames Player1 Ann Player3 Player4 Player5 "
                       "Player6 Player7 Player8\nsfx off\nmusic on\n"),
            std::string::npos)
      << state;
  EXPECT_EQ(Options("setup", "SFX"), "N");
  EXPECT_EQ(Options("setup", "Music"), "");
  EXPECT_EQ(Options("setup", "playerid"), "1");
  EXPECT_EQ(Options("Player2", "name"), "Ann Lee");

  const Picture title = Load(Path("title.bmp"));
  const Picture background = Load(kDist + "/Quibbleton/title/titlebackground.bmp");
  ASSERT_TRUE(title.Loaded());
  // The title menu's own picture fills the frame at once (outside its buttons and names).
  EXPECT_GT(Same(title, background, 0, 0, 800, 280), 0.99);

  // "Ann Lee" shows exactly as a player called "Ann" does: the first word only.
  fs::rename(Path("chosen.bmp"), Path("annlee.bmp"));
  WriteOptions("[Player2]\nname=Ann\nsend=Y\n");
  ASSERT_EQ(Run(script, "Quibbleton").exitCode, 0);
  const Picture annLee = Load(Path("annlee.bmp")), ann = Load(Path("chosen.bmp"));
  EXPECT_EQ(Same(annLee, ann, 408, 378, 150, 30), 1.0);
  WriteOptions("[Player2]\nname=Annie\nsend=Y\n");
  ASSERT_EQ(Run(script, "Quibbleton").exitCode, 0);
  EXPECT_LT(Same(annLee, Load(Path("chosen.bmp")), 408, 378, 150, 30), 1.0);
}

TEST_F(LauncherRun, PlayersPopupEntersKeepsAndRemovesRecords) {
  AddGame("Quibbleton");
  WriteOptions("[setup]\nplayerid=0\n[Player1]\nname=\nsend=N\n");
  Script enter;
  enter.Click(100, kPlayers).Line(300, "type Ann Lee").Line(700, "tap TAB").Line(800, "type 1 Main St");
  enter.Line(1300, "tap ENTER").Line(1400, "type ann@example.org").Line(2300, "shot typing.bmp");
  enter.Click(2400, kYesNo).Click(2600, kEnter).Line(2900, "tap ESC");
  ASSERT_EQ(Run(enter, "Quibbleton").exitCode, 0);
  EXPECT_EQ(Options("Player1", "name"), "Ann Lee");
  EXPECT_EQ(Options("Player1", "address"), "1 Main St");
  EXPECT_EQ(Options("Player1", "email"), "ann@example.org");
  EXPECT_EQ(Options("Player1", "send"), "Y");  // opened as "no", toggled once
  EXPECT_EQ(Options("Player8", "name"), "Player8");

  Script back;
  back.Click(100, kPlayers).Line(300, "type Bob").Click(600, kBack).Line(900, "tap ESC");
  const std::string before = ReadFile(Path("options.ini"));
  ASSERT_EQ(Run(back, "Quibbleton").exitCode, 0);
  EXPECT_EQ(ReadFile(Path("options.ini")), before);

  Script remove;
  remove.Click(100, Point{313, 435}).Click(300, kPlayers).Click(500, kRemove).Line(800, "tap ESC");
  WriteOptions(before + "[Player3]\nname=Cy Young\naddress=2 Side St\nemail=cy@example.org\nsend=N\n");
  ASSERT_EQ(Run(remove, "Quibbleton").exitCode, 0);
  EXPECT_EQ(Options("setup", "playerid"), "2");
  EXPECT_EQ(Record("Player3"), "Player3|||Y");
  EXPECT_EQ(Options("Player1", "name"), "Ann Lee");
}

// A name is stored as it was typed, in UTF-8: letters no key of the
// keyboard gives come as text alone (as an input method types them), and
// Backspace takes a whole character.
TEST_F(LauncherRun, PlayerNamesAreStoredAsTypedInUtf8) {
  AddGame("Quibbleton");
  WriteOptions("[setup]\nplayerid=0\n[Player1]\nname=\nsend=N\n");
  Script enter;
  enter.Click(100, kPlayers).Line(300, "type Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m-O'Neil\xC3\xA9");
  enter.Line(1200, "tap BACKSPACE").Line(1300, "text \xE2\x82\xAC").Line(1400, "tap BACKSPACE");
  enter.Click(1600, kEnter).Line(1900, "tap ESC");
  ASSERT_EQ(Run(enter, "Quibbleton").exitCode, 0);
  EXPECT_EQ(Options("Player1", "name"), "Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m-O'Neil");
}

// Player details that "options.ini" cannot take are said, and the pop-up
// stays with what was typed instead of closing as if they were stored.
TEST_F(LauncherRun, PlayerDetailsThatCannotBeStoredAreSaidAndThePopupStays) {
  AddGame("Quibbleton");
  WriteOptions("[setup]\nplayerid=0\n");
  ::chmod(Path("options.ini").c_str(), 0444);
  const std::string before = ReadFile(Path("options.ini"));
  Script script;
  script.Click(100, kPlayers).Line(300, "type Ann").Line(600, "shot open.bmp").Click(700, kEnter);
  script.Line(900, "shot kept.bmp").Click(1000, kBack).Line(1200, "shot title.bmp").Line(1200, "dump title.txt");
  script.Line(1300, "tap ESC");
  const ProgramResult r = Run(script, "Quibbleton");
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_NE(r.errors.find("Your player details could not be saved in options.ini"), std::string::npos) << r.errors;
  // The pop-up's picture (above its fields) still shows after "enter", as before it.
  const Picture open = Load(Path("open.bmp")), kept = Load(Path("kept.bmp")), title = Load(Path("title.bmp"));
  ASSERT_TRUE(open.Loaded() && kept.Loaded() && title.Loaded());
  EXPECT_GT(Same(open, kept, 53, 18, 694, 240), 0.99);
  EXPECT_LT(Same(title, kept, 53, 18, 694, 240), 0.9);
  EXPECT_NE(ReadFile(Path("title.txt")).find("names Player1 "), std::string::npos) << ReadFile(Path("title.txt"));
  EXPECT_EQ(ReadFile(Path("options.ini")), before);
}

// A screen whose background picture fails (empty, missing) draws on no
// surface of the screen before it, which that one freed when it left (the
// ASan build of this test caught the reads and writes into freed memory).
TEST_F(LauncherRun, ScreensWhosePictureFailsTouchNoFreedSurface) {
  const std::string game = AddGame("Quibbleton");
  fs::remove(game + "/title");
  fs::create_directories(game + "/title");
  for (const auto& entry : fs::directory_iterator(kDist + "/Quibbleton/title"))
    fs::create_symlink(entry.path(), game + "/title/" + entry.path().filename().string());
  fs::remove(game + "/title/titlebackground.bmp");
  std::ofstream(game + "/title/titlebackground.bmp");  // empty
  Script select;
  select.Click(100, kSlot1).Line(300, "dump title.txt").Click(400, kMenu).Line(600, "dump pages.txt");
  select.Line(700, "tap ESC");
  ProgramResult r = Run(select);
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_NE(ReadFile(Path("title.txt")).find("screen title\n"), std::string::npos);
  EXPECT_NE(ReadFile(Path("pages.txt")).find("screen Lobbo\n"), std::string::npos);

  // The launcher's own background missing, coming back from the title menu.
  fs::remove(game + "/title/titlebackground.bmp");
  fs::create_symlink(kDist + "/Quibbleton/title/titlebackground.bmp", game + "/title/titlebackground.bmp");
  fs::remove(Path("background.bmp"));
  Script menu;
  menu.Click(100, kMenu).Line(300, "dump pages.txt").Click(400, kSlot1).Line(600, "dump title.txt");
  menu.Line(700, "tap ESC");
  r = Run(menu, "Quibbleton");
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_NE(ReadFile(Path("pages.txt")).find("screen Lobbo\n"), std::string::npos);
  EXPECT_NE(ReadFile(Path("title.txt")).find("screen title\n"), std::string::npos);
}

TEST_F(LauncherRun, HallOfFameUploadsTheBestEntryAndClearKeepsTheFileSize) {
  const std::string game = AddGame("Quibbleton");
  const std::string player = "Ann Lee:1 Main St:ann@example.org:Y";
  {
    HighScoreTable table;
    table.Resize(20);
    table.Insert(player.c_str(), 1200);
    table.Insert("Bob:::N", 700);
    ASSERT_TRUE(table.Save((game + "/hiscore.dat").c_str()));
  }
  // The entries' replays go with them; other files in the folder stay.
  fs::create_directories(game + "/replays");
  const std::string replays[] = {game + "/replays/" + quibbleton::ReplayFileName(player, 1200),
                                 game + "/replays/" + quibbleton::ReplayFileName("Bob:::N", 700)};
  for (const std::string& replay : replays) std::ofstream(replay) << "quibbleton-replay 1\n";
  std::ofstream(game + "/replays/notes.txt") << "mine";
  Script script;
  script.Click(100, kHighScores).Line(300, "shot hall.bmp").Click(400, kUpload).Click(600, kClear);
  script.Click(700, kClearYes).Click(800, kHighScores).Line(1000, "shot cleared.bmp").Line(1100, "tap ESC");
  ASSERT_EQ(Run(script, "Quibbleton").exitCode, 0);

  EXPECT_EQ(ReadFile(Path("shell.txt")),
            "open\t" + UploadAddress("http://localhost:8080", "Quibbleton", player.c_str(), 1200) + "\t\t\n");
  EXPECT_NE(ReadFile(Path("shell.txt")).find("name=Ann%20Lee:1%20Main%20St:ann@example.org:Y&score="),
            std::string::npos);
  EXPECT_EQ(fs::file_size(game + "/hiscore.dat"), 5204u);
  HighScoreTable after;
  after.Resize(20);
  ASSERT_EQ(after.Load((game + "/hiscore.dat").c_str()), 1);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(after.Entry(i)->name[0], '\0');
  for (const std::string& replay : replays) EXPECT_FALSE(fs::exists(replay)) << replay;
  EXPECT_TRUE(fs::exists(game + "/replays/notes.txt"));

  // Rows 1 and 2 of the left column show names and scores; after clear they are empty again.
  const Picture hall = Load(Path("hall.bmp")), cleared = Load(Path("cleared.bmp"));
  ASSERT_TRUE(hall.Loaded() && cleared.Loaded());
  EXPECT_LT(Same(hall, cleared, 53 + 56, 18 + 275, 150, 50), 0.95);
  EXPECT_LT(Same(hall, cleared, 53 + 256, 18 + 275, 60, 50), 0.95);
  EXPECT_EQ(Same(hall, cleared, 53 + 56, 18 + 275 + 52, 300, 200), 1.0);
}

TEST_F(LauncherRun, PlayStartsTheGameInItsFolderAndEndsAfterThePause) {
  AddGame("Quibbleton");
  Script script;
  script.Click(100, kSlot1).Click(300, kPlay);
  // The press lands at about 330; the window goes 1500 ms later, not before 1800.
  EXPECT_EQ(Run(script, "", 1750).exitCode, 3);
  EXPECT_EQ(Run(script, "", 2000).exitCode, 0);
  const std::string line = "open\tQuibbleton.exe\t" + root_ + "\t" + root_ + "\\Quibbleton\n";
  EXPECT_EQ(ReadFile(Path("shell.txt")), line + line);
}

TEST_F(LauncherRun, GameThatCannotStartLeavesTheTitleMenuWithAMessage) {
  AddGame("Quibbleton");  // without its program
  Script script;
  script.Line(50, "shot before.bmp").Click(100, kPlay).Line(2400, "move 400 250").Line(2500, "shot after.bmp");
  script.Line(2600, "tap ESC");
  const ProgramResult result = RunScripted(QB_LAUNCHER_EXE, {"Quibbleton"}, root_, script, 5000);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.errors.find("Could not start Quibbleton."), std::string::npos) << result.errors;
  const Picture before = Load(Path("before.bmp")), after = Load(Path("after.bmp"));
  ASSERT_TRUE(after.Loaded());
  // Still the title menu, pixel for pixel: the Play button's hover face left nothing behind.
  EXPECT_EQ(Same(before, after, 0, 0, 800, 600), 1.0);
}

TEST_F(LauncherRun, GameWhoseLauncherCannotStartStaysWithAMessage) {
  const std::string game = AddGame("Quibbleton", true);  // and no launcher beside it
  Script script;
  script.Click(100, kGameMenu).Line(1000, "shot after.bmp").Line(1100, "tap ESC");
  const ProgramResult result = RunScripted(game + "/Quibbleton", {root_}, game, script, 5000);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.errors.find("Could not start Lobbo."), std::string::npos) << result.errors;
  EXPECT_TRUE(fs::exists(Path("after.bmp")));  // still running after the press
}

// On the real clock the timer thread runs beside the frames (the sanitizer
// builds watch the two): a short visit to the title menu and the hall of fame.
TEST_F(LauncherRun, RealClockVisitWithClicksEndsCleanly) {
  AddGame("Quibbleton");
  Script script;
  // Real time under a sanitizer is slow and uneven, so only a clean end is asked for, not where each click landed.
  script.Click(200, kSlot1).Click(600, kHighScores).Click(1000, Point{680, 258}).Click(1400, kSfx);
  script.Line(1800, "tap ESC");
  const ProgramResult result = Run(script, "", 20000, {{"QB_CLOCK", "real"}});
  EXPECT_EQ(result.exitCode, 0) << result.errors;
  EXPECT_EQ(result.errors.find("Sanitizer"), std::string::npos) << result.errors;
}

// A touchpad tap: the game's timer polls the buttons every 10 ms, and a press
// released before the next poll still counts as a click.
TEST_F(LauncherRun, GameTakesATapBetweenTwoPolls) {
  const std::string game = AddGame("Quibbleton", true);
  Script script;
  script.Line(200, "move 50 375").Line(200, "press left").Line(200, "release left").Line(400, "dump state.txt");
  script.Line(500, "tap ESC");
  ASSERT_EQ(RunScripted(game + "/Quibbleton", {root_}, game, script, 5000).exitCode, 0);
  EXPECT_NE(ReadFile(Path("state.txt")).find("state playing"), std::string::npos) << ReadFile(Path("state.txt"));
}

// F1 shows the frame rate at (580, 0); switched off, the picture under it comes back.
TEST_F(LauncherRun, FrameRateReadoutLeavesNothingBehind) {
  Script script;
  script.Line(50, "shot before.bmp").Line(100, "tap F1").Line(300, "shot on.bmp").Line(400, "tap F1");
  script.Line(700, "shot off.bmp").Line(800, "tap ESC");
  ASSERT_EQ(Run(script).exitCode, 0);
  const Picture before = Load(Path("before.bmp")), on = Load(Path("on.bmp")), off = Load(Path("off.bmp"));
  ASSERT_TRUE(before.Loaded() && on.Loaded() && off.Loaded());
  EXPECT_LT(Same(before, on, 580, 0, 36, 8), 0.9);
  EXPECT_EQ(Same(before, off, 560, 0, 100, 20), 1.0);
}

TEST_F(LauncherRun, DisplayNotAtSixteenBitsIsRefusedBeforeAnyWindow) {
  Script script;
  script.Line(10, "shot frame.bmp").Line(100, "tap ESC");
  const ProgramResult result = Run(script, "", 1000, {{"QB_DEPTH", "32"}});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.errors.find("Plinkworks need the display set to High Color (16 bit)."), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("frame.bmp")));
  EXPECT_EQ(Run(script, "", 1000, {{"QB_DEPTH", "15"}}).exitCode, 0);
  EXPECT_TRUE(fs::exists(Path("frame.bmp")));
}

// Both programs for real, each taking its script from the folder in turn:
// the launcher starts the game, the game's menu button starts the launcher
// again on the title menu, and the hall of fame shows the new score.
TEST_F(LauncherRun, RoundTripIntoTheGameAndBackShowsTheNewScore) {
  AddGame("Quibbleton", true);
  fs::create_symlink(QB_LAUNCHER_EXE, Path("Lobbo"));
  WriteOptions("[Player2]\nname=Ann Lee\naddress=1 Main St\nemail=\nsend=Y\n");
  const std::string scripts = Path("scripts");
  fs::create_directories(scripts);

  Script lobbo;
  lobbo.Click(100, kSlot1).Click(300, kNameField1).Click(500, kPlay);
  lobbo.Save(scripts + "/01-Lobbo.txt");
  Script game;
  game.Click(100, kGameNewGame);
  // Clicks over the whole board: with five colours most heads have a twin beside them.
  int tick = 400;
  for (int row = 9; row >= 6; row -= 3)
    for (int col = 0; col < 15; col += 2, tick += 1500)
      game.Click(tick, Point{137 + col * 41 + 20, 10 + row * 55 + 27});
  game.Click(tick, kGameNewGame).Click(tick + 3000, kGameMenu);
  game.Save(scripts + "/02-Quibbleton.txt");
  Script back;
  back.Line(50, "shot back.bmp").Click(100, kHighScores).Line(400, "shot hall.bmp").Line(500, "tap ESC");
  back.Save(scripts + "/03-Lobbo.txt");

  const ProgramResult first = RunProgram(QB_LAUNCHER_EXE, {},
                                         {{"QB_VIDEO", "headless"},
                                          {"QB_CLOCK", "virtual"},
                                          {"QB_AUDIO", "null"},
                                          {"QB_SEED", "7"},
                                          {"QB_SCRIPT_DIR", scripts},
                                          {"QB_MAX_TICKS", "200000"}},
                                         root_);
  ASSERT_EQ(first.exitCode, 0) << first.errors;
  // The other two run on their own; the last one's hall-of-fame frame ends the wait (minutes under a
  // sanitizer, seconds otherwise).
  const auto frameSize = static_cast<uintmax_t>(800 * 600 * 3 + 54);
  const std::string hallFrame = scripts + "/hall.bmp";  // shots land beside their script
  for (int i = 0; i < 2400 && !(fs::exists(hallFrame) && fs::file_size(hallFrame) == frameSize); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(fs::exists(scripts + "/03-Lobbo.taken"));
  ASSERT_TRUE(fs::exists(hallFrame));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  HighScoreTable table;
  table.Resize(20);
  ASSERT_EQ(table.Load((Path("Quibbleton") + "/hiscore.dat").c_str()), 1);
  EXPECT_STREQ(table.Entry(0)->name, "Ann Lee:1 Main St::Y");
  EXPECT_GT(table.Entry(0)->score, 0);

  // Back on the title menu at once, and the best row of the hall shows the entry.
  const Picture titleBackground = Load(kDist + "/Quibbleton/title/titlebackground.bmp");
  EXPECT_GT(Same(Load(scripts + "/back.bmp"), titleBackground, 0, 0, 800, 280), 0.99);
  const Picture hall = Load(hallFrame), empty = Load(kDist + "/HallOfFameScreen.bmp");
  ASSERT_TRUE(hall.Loaded() && empty.Loaded());
  int inkedRows = 0;
  for (int r = 0; r < 2; ++r) {
    const int y = 275 + 26 * r;
    int differs = 0;
    for (int j = y; j < y + 20; ++j)
      for (int i = 56; i < 500; ++i) differs += hall.At(53 + i, 18 + j) != empty.At(i, j);
    inkedRows += differs > 0;
  }
  EXPECT_EQ(inkedRows, 1);  // only the one new entry
}

// The line of a state dump that begins with prefix, without its newline.
std::string LineOf(const std::string& state, const std::string& prefix) {
  const size_t at = state.find("\n" + prefix);
  if (at == std::string::npos) return "";
  return state.substr(at + 1, state.find('\n', at + 1) - at - 1);
}

// A player who opens their record and presses "enter" finds it as it was:
// every box shows its own field, and the "yes" stays yes. The first name of
// the list is chosen by a click like any other.
TEST_F(LauncherRun, PlayersPopupShowsEachFieldInItsBoxAndEnterKeepsAnUntouchedRecord) {
  AddGame("Quibbleton");
  const std::string record = "name=Dora Lee\naddress=5 Oak Lane\nemail=dora_lee-2@mail.co.uk\nsend=Y\n";
  WriteOptions("[setup]\nplayerid=1\n[Player1]\n" + record + "[Player2]\nname=Bo\naddress=1 Elm St\nsend=N\n");
  Script script;
  script.Line(50, "shot start.bmp").Click(100, kFirstName).Line(250, "move 5 5").Line(300, "dump chosen.txt");
  script.Line(300, "shot chosen.bmp");
  script.Click(400, kPlayers).Line(700, "dump players.txt");
  script.Click(800, kEnter).Line(1100, "tap ESC");
  ASSERT_EQ(Run(script, "Quibbleton").exitCode, 0);
  EXPECT_EQ(LineOf(ReadFile(Path("chosen.txt")), "player "), "player 0");
  // The current player's name is marked from the start, and the mark moves with the choice.
  const Picture start = Load(Path("start.bmp")), chosen = Load(Path("chosen.bmp"));
  ASSERT_TRUE(start.Loaded() && chosen.Loaded());
  EXPECT_LT(Same(start, chosen, 408, 378, 150, 30), 1.0);
  EXPECT_LT(Same(start, chosen, 239, 378, 150, 30), 1.0);
  const std::string players = ReadFile(Path("players.txt"));
  EXPECT_EQ(LineOf(players, "fields "), "fields Dora Lee|5 Oak Lane|dora_lee-2@mail.co.uk") << players;
  EXPECT_EQ(LineOf(players, "send "), "send yes");
  EXPECT_EQ(Options("setup", "playerid"), "0");
  EXPECT_EQ(Record("Player1"), "Dora Lee|5 Oak Lane|dora_lee-2@mail.co.uk|Y");
  EXPECT_EQ(Record("Player2"), "Bo|1 Elm St||N");
}

// The arrows at both ends of the boxes: Up from the name stays there, Down
// from the e-mail leaves for the buttons (the closing one marked), Up from
// the top row of buttons comes back to the e-mail. A ":" typed anywhere
// does nothing; "-" and "_" are typed.
TEST_F(LauncherRun, PlayersPopupArrowsStopAtTheEndsAndColonsAreNotTyped) {
  AddGame("Quibbleton");
  WriteOptions("[setup]\nplayerid=0\n[Player1]\nname=Ann\nsend=Y\n");
  Script script;
  script.Click(100, kPlayers).Line(300, "tap UP").Line(350, "type -x:").Line(500, "tap DOWN").Line(550, "type a:b");
  // Up from "back", the button the ring starts on, goes straight back to the e-mail box.
  script.Line(700, "tap DOWN").Line(750, "tap DOWN").Line(850, "dump buttons.txt").Line(900, "tap UP");
  script.Line(1000, "type first_last-99@mail.co.uk").Line(2200, "dump typed.txt").Line(2300, "move 5 5");
  script.Line(2400, "shot typed.bmp").Click(2500, kEnter).Line(2800, "tap ESC");
  ASSERT_EQ(Run(script, "Quibbleton").exitCode, 0);
  const std::string buttons = ReadFile(Path("buttons.txt"));
  EXPECT_EQ(LineOf(buttons, "field "), "field 0") << buttons;
  EXPECT_NE(LineOf(buttons, "popup focus "), "popup focus -") << buttons;
  const std::string typed = ReadFile(Path("typed.txt"));
  EXPECT_EQ(LineOf(typed, "fields "), "fields Ann-x|ab|first_last-99@mail.co.uk") << typed;
  EXPECT_EQ(LineOf(typed, "field "), "field 3");
  EXPECT_EQ(Record("Player1"), "Ann-x|ab|first_last-99@mail.co.uk|Y");
}

// Each switch writes and reads its own key.
TEST_F(LauncherRun, MusicSwitchKeepsItsOwnSetting) {
  AddGame("Quibbleton");
  WriteOptions("[setup]\nSFX=N\n");
  Script script;
  script.Line(50, "dump before.txt").Click(100, kMusic).Line(300, "dump after.txt").Line(400, "tap ESC");
  ASSERT_EQ(Run(script, "Quibbleton").exitCode, 0);
  EXPECT_EQ(LineOf(ReadFile(Path("before.txt")), "music "), "music on");
  const std::string after = ReadFile(Path("after.txt"));
  EXPECT_EQ(LineOf(after, "sfx "), "sfx off");
  EXPECT_EQ(LineOf(after, "music "), "music off");
  EXPECT_EQ(Options("setup", "SFX"), "N");
  EXPECT_EQ(Options("setup", "Music"), "N");
  WriteOptions("[setup]\nMusic=N\n");
  Script look;
  look.Line(50, "dump before.txt").Line(100, "tap ESC");
  ASSERT_EQ(Run(look, "Quibbleton").exitCode, 0);
  EXPECT_EQ(LineOf(ReadFile(Path("before.txt")), "sfx "), "sfx on");
  EXPECT_EQ(LineOf(ReadFile(Path("before.txt")), "music "), "music off");
}

// Twenty entries: ten rows in each column, names cut at the first ":" (the
// address and e-mail never show), scores beside them, rows alternating
// purple and black. The expected picture is drawn here with the
// launcher's fonts on the pop-up's own picture.
TEST_F(LauncherRun, HallOfFameShowsTwentyNamesInTwoColumnsWithoutTheirDetails) {
  const std::string game = AddGame("Quibbleton");
  std::vector<std::string> names;
  {
    HighScoreTable table;
    table.Resize(20);
    for (int i = 0; i < 20; ++i) {
      names.push_back(std::string(1, char('A' + i)) + "nn_" + std::to_string(i + 1) + "-Lee");
      const std::string player = names.back() + ":" + std::to_string(i) + " Oak Lane:p" + std::to_string(i) + "@x.org:Y";
      ASSERT_EQ(table.Insert(player.c_str(), 9000 - 100 * i), 1);
    }
    ASSERT_TRUE(table.Save((game + "/hiscore.dat").c_str()));
  }
  Script script;
  script.Click(100, kHighScores).Line(300, "move 5 5").Line(400, "shot hall.bmp").Line(500, "tap ESC");
  ASSERT_EQ(Run(script, "Quibbleton").exitCode, 0);

  IDirectDrawSurface* expected = platform::LoadBitmapSurface((kDist + "/HallOfFameScreen.bmp").c_str(), 16);
  ASSERT_NE(expected, nullptr);
  const auto purple = LoadFont((kDist + "/HallPurpleFont.bmp").c_str(), 1);
  const auto black = LoadFont((kDist + "/HallBlackFont.bmp").c_str(), 1);
  constexpr int kLeft = 53, kTop = 18;  // where the pop-up shows
  for (int i = 0; i < 20; ++i) {
    BitmapFont& font = (i % 10) % 2 == 0 ? *purple : *black;
    const int y = 275 + 26 * (i % 10), nameX = i < 10 ? 56 : kLeft + 334;
    font.DrawString(expected, names[static_cast<size_t>(i)].c_str(), nameX, y, 0, -1);
    font.DrawString(expected, std::to_string(9000 - 100 * i).c_str(), nameX + 200, y, 0, -1);
  }
  const Picture hall = Load(Path("hall.bmp"));
  ASSERT_TRUE(hall.Loaded());
  int differ = 0, firstX = -1, firstY = -1;
  for (int y = 270; y < expected->Height(); ++y)
    for (int x = 0; x < expected->Width(); ++x) {
      const auto* row = reinterpret_cast<const uint16_t*>(expected->Pixels() + static_cast<size_t>(y) * expected->Pitch());
      // Where the picture has its key colour the title menu shows through.
      if (row[x] == 0 || hall.At(kLeft + x, kTop + y) == row[x]) continue;
      if (differ++ == 0) firstX = x, firstY = y;
    }
  expected->Release();
  EXPECT_EQ(differ, 0) << "first at " << firstX << "," << firstY << " of the pop-up's picture";
}

// Closing the window while a pop-up shows ends the launcher at once, and
// the players pop-up writes nothing on the way out.
TEST_F(LauncherRun, ClosingTheWindowOverEachPopupEndsAtOnce) {
  AddGame("Quibbleton");
  for (const Point button : {kHowToPlay, kCredits, kHighScores, kPlayers}) {
    SCOPED_TRACE(button.x * 1000 + button.y);
    WriteOptions("[Player1]\nname=Ann\n");
    fs::remove(Path("late.txt"));
    Script script;
    script.Click(100, button).Line(300, "type Bo").Line(500, "close").Line(700, "dump late.txt");
    EXPECT_EQ(Run(script, "Quibbleton", 3000).exitCode, 0);
    EXPECT_FALSE(fs::exists(Path("late.txt")));
    EXPECT_EQ(Options("Player1", "name"), "Ann");
  }
}

// A hall of fame of two entries, each with its replay, for the clear question.
class ClearQuestionRun : public LauncherRun {
 protected:
  void SetUp() override {
    LauncherRun::SetUp();
    game_ = AddGame("Quibbleton");
    HighScoreTable table;
    table.Resize(20);
    table.Insert("Ann:::Y", 1200);
    table.Insert("Bob:::N", 700);
    ASSERT_TRUE(table.Save((game_ + "/hiscore.dat").c_str()));
    fs::create_directories(game_ + "/replays");
    replays_ = {game_ + "/replays/" + quibbleton::ReplayFileName("Ann:::Y", 1200),
                game_ + "/replays/" + quibbleton::ReplayFileName("Bob:::N", 700)};
    for (const std::string& replay : replays_) std::ofstream(replay) << "quibbleton-replay 1\n";
  }

  // Both entries and both replays are still there.
  void ExpectKept() {
    HighScoreTable table;
    table.Resize(20);
    ASSERT_EQ(table.Load((game_ + "/hiscore.dat").c_str()), 1);
    EXPECT_STREQ(table.Entry(0)->name, "Ann:::Y");
    EXPECT_STREQ(table.Entry(1)->name, "Bob:::N");
    for (const std::string& replay : replays_) EXPECT_TRUE(fs::exists(replay)) << replay;
  }

  std::string game_;
  std::vector<std::string> replays_;
};

constexpr const char* kBothScores = "scores Ann:::Y:1200 Bob:::N:700";

// "keep", Enter on the focused "keep" and a click beside the question each
// leave the hall of fame open with its entries; while it asks, the dump says
// so and the hall under it still shows its scores.
TEST_F(ClearQuestionRun, KeepEnterAndAClickBesideTheQuestionKeepEverything) {
  Script script;
  script.Click(100, kHighScores).Line(250, "move 5 5").Line(300, "shot hall.bmp").Click(400, kClear);
  script.Line(500, "shot question.bmp").Line(500, "dump asking.txt").Click(600, kClearNo).Line(700, "dump kept.txt");
  script.Line(750, "move 5 5").Line(800, "shot after.bmp");
  // The picture's corners still belong to the question; a click just beside any of its sides answers it.
  script.Click(900, kClear).Click(920, kQuestion).Click(940, {kQuestion.x + 439, kQuestion.y + 249});
  script.Line(960, "dump inside.txt");
  const Point beside[] = {{kQuestion.x - 1, 300}, {400, kQuestion.y - 1}, {kQuestion.x + 440, 300},
                          {400, kQuestion.y + 250}, {700, 300}, {400, 560}};
  std::vector<std::string> answered = {"kept.txt"};
  for (int i = 0; i < 6; ++i) {
    answered.push_back("beside" + std::to_string(i) + ".txt");
    script.Click(1000 + 100 * i, beside[i]).Line(1050 + 100 * i, "dump " + answered.back());
    script.Click(1080 + 100 * i, kClear);
  }
  script.Line(1700, "tap ENTER").Line(1800, "dump entered.txt").Line(1900, "tap ESC");
  answered.push_back("entered.txt");
  ASSERT_EQ(Run(script, "Quibbleton").exitCode, 0);
  ExpectKept();

  const std::string asking = ReadFile(Path("asking.txt"));
  EXPECT_EQ(LineOf(asking, "question"), "question clear");
  EXPECT_EQ(LineOf(asking, "popup"), "popup focus no");
  EXPECT_EQ(LineOf(asking, "scores"), kBothScores);
  EXPECT_EQ(LineOf(ReadFile(Path("inside.txt")), "question"), "question clear");
  for (const std::string& after : answered) {
    SCOPED_TRACE(after);
    const std::string state = ReadFile(Path(after));
    EXPECT_EQ(LineOf(state, "popup"), "popup focus -");
    EXPECT_EQ(LineOf(state, "scores"), kBothScores);
    EXPECT_EQ(LineOf(state, "question"), "");
  }

  // The question shows its own picture where it is not see-through, and once
  // kept the hall of fame looks as it did before.
  IDirectDrawSurface* picture = platform::LoadBitmapSurface((kDist + "/ClearQuestion.bmp").c_str(), 16);
  ASSERT_NE(picture, nullptr);
  const Picture question = Load(Path("question.bmp"));
  ASSERT_TRUE(question.Loaded());
  // Where a picture is not see-through (its key colour is 0 or blue), the
  // shot shows it; height limits it to the rows above the focus frame.
  auto expectShown = [&](IDirectDrawSurface* shownPicture, int atX, int atY, int width, int height, int atLeast) {
    int shown = 0, opaque = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint16_t pixel = reinterpret_cast<const uint16_t*>(shownPicture->Pixels() +
                                                                 static_cast<size_t>(y) * shownPicture->Pitch())[x];
        if (pixel == 0 || pixel == gamee2e::kBlueKey) continue;
        ++opaque;
        shown += question.At(atX + x, atY + y) == pixel;
      }
    EXPECT_GE(opaque, atLeast);
    EXPECT_EQ(shown, opaque);
  };
  expectShown(picture, kQuestion.x, kQuestion.y, picture->Width(), 180, 50000);
  picture->Release();
  // The unfocused "clear" answer shows its first face, a whole one.
  IDirectDrawSurface* yes = platform::LoadBitmapSurface((kDist + "/ClearYes.bmp").c_str(), 16);
  ASSERT_NE(yes, nullptr);
  expectShown(yes, kQuestion.x + 70, kQuestion.y + 192, 130, 44, 4000);
  yes->Release();
  const Picture hall = Load(Path("hall.bmp")), after = Load(Path("after.bmp"));
  ASSERT_TRUE(hall.Loaded() && after.Loaded());
  EXPECT_EQ(Same(hall, after, 53, 18, 694, 564), 1.0);
}

// Escape answers the question only: the hall of fame stays open with its
// entries, and the next Escape closes the launcher as it always did.
TEST_F(ClearQuestionRun, EscapeCancelsTheQuestionOnly) {
  Script script;
  script.Click(100, kHighScores).Click(300, kClear).Line(400, "tap ESC").Line(500, "dump escaped.txt");
  script.Line(600, "tap ESC").Line(700, "dump closed.txt");
  const ProgramResult r = Run(script, "Quibbleton");
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  ExpectKept();
  const std::string escaped = ReadFile(Path("escaped.txt"));
  EXPECT_EQ(LineOf(escaped, "popup"), "popup focus -");
  EXPECT_EQ(LineOf(escaped, "scores"), kBothScores);
  EXPECT_EQ(LineOf(escaped, "question"), "");
  EXPECT_FALSE(fs::exists(Path("closed.txt")));
}

// By keys: the arrow moves from "keep" to "clear", Enter clears the table
// and the replays and closes the hall of fame.
TEST_F(ClearQuestionRun, KeysMoveToClearAndEnterClears) {
  Script script;
  script.Click(100, kHighScores).Click(300, kClear).Line(400, "tap LEFT").Line(450, "dump moved.txt");
  script.Line(500, "tap ENTER").Line(600, "dump cleared.txt").Line(700, "tap ESC");
  ASSERT_EQ(Run(script, "Quibbleton").exitCode, 0);
  EXPECT_EQ(LineOf(ReadFile(Path("moved.txt")), "popup"), "popup focus yes");
  const std::string cleared = ReadFile(Path("cleared.txt"));
  EXPECT_TRUE(cleared.starts_with("screen title\n")) << cleared;
  EXPECT_EQ(LineOf(cleared, "popup"), "");
  HighScoreTable table;
  table.Resize(20);
  ASSERT_EQ(table.Load((game_ + "/hiscore.dat").c_str()), 1);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(table.Entry(i)->name[0], '\0');
  for (const std::string& replay : replays_) EXPECT_FALSE(fs::exists(replay)) << replay;
}

}  // namespace
