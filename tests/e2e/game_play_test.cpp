// Whole games of the built program, headless and seeded, driven by scripts.
// The test deals the same boards from the seed, works out from the game's
// rules what each click does, and checks the program's frames, its
// "hiscore.dat" and its shell requests against that.
#include <gtest/gtest.h>

#include "game_play_fixture.h"

namespace {

using namespace gamee2e;

TEST_F(GamePlay, LeftAndRightClicksScoreAsTheRulesSay) {
  const Assets a(assets_);
  lcg::srand(1);
  const std::vector<int> first = Deal();
  Model m{Deal()};
  const std::vector<int> third = Deal();

  Script s;
  s.Add(100, "shot " + Shot("fresh"));
  s.ClickAt(200, kNewGame[0], kNewGame[1]);
  int t = 600;
  int removed = 0, twinsSeen = 0;
  for (int k = 0; k < 8; ++k) {
    const bool right = k % 2 == 1;
    int cell;
    if (k == 3) {
      cell = FindSingle(m);  // rejected: nothing changes, the last group shows 0
    } else {
      cell = FindRemovable(m, right, 3 - k % 2);
    }
    ASSERT_GE(cell, 0);
    s.ClickCell(t, cell, right);
    const int before = m.score;
    const int n = m.Click(cell, right);
    if (n > 0 && m.score - before != 2 * 50 * n * (n + 1)) ++twinsSeen;
    removed += n;
    if (k == 4) s.Add(t + 350, "shot " + Shot("popups"));
    t += 200 * n + 400;
  }
  t += 1200;  // the last pop-ups are gone
  s.Add(t, "shot " + Shot("after"));
  s.Add(t, "dump " + root_ + "/after.txt");
  s.ClickAt(t + 100, kNewGame[0], kNewGame[1]);
  s.Add(t + 1800, "dump " + root_ + "/next.txt");
  s.Add(t + 1900, "tap ESC");
  const ProgramResult r = Run(s, 1, t + 3000);
  ASSERT_EQ(r.exitCode, 0) << r.errors;

  // The drawing: the fresh board and the HUD read from the frames.
  EXPECT_EQ(ReadBoard(Frame("fresh"), a), first);
  const Picture after = Frame("after");
  EXPECT_EQ(ReadScore(after, a), m.score);
  EXPECT_EQ(ReadLastGroup(after, a), m.lastGroup);
  EXPECT_EQ(ReadBest(after, a), 0);
  // The state, read as text.
  const Dump played = ReadDump(root_ + "/after.txt");
  EXPECT_EQ(played.fields.at("screen"), "game");
  EXPECT_EQ(played.fields.at("state"), "playing");
  EXPECT_EQ(played.board, BoardText(m.cells));
  EXPECT_GT(removed, 10);
  EXPECT_EQ(played.fields.at("score"), std::to_string(m.score));
  EXPECT_EQ(played.fields.at("best"), "0");
  RecordProperty("score", m.score);
  EXPECT_GT(twinsSeen, 0);  // the seed gives groups with twins, so multipliers count
  RecordProperty("groups_with_twins", twinsSeen);

  // New game during play offered the score: it is in the table under the
  // player's profile string, and the next board is the seed's third deal.
  const std::vector<HighScoreEntry> table = Table();
  ASSERT_EQ(table.size(), 20u);
  EXPECT_STREQ(table[0].name, kProfile);
  EXPECT_EQ(table[0].score, m.score);
  const Dump next = ReadDump(root_ + "/next.txt");
  EXPECT_EQ(next.board, BoardText(third));
  EXPECT_EQ(next.fields.at("best"), std::to_string(m.score));
  EXPECT_EQ(next.fields.at("score"), "0");
  EXPECT_EQ(next.fields.at("seconds"), "299") << "the countdown runs again";
  EXPECT_EQ(next.fields.at("guys"), "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19");
}

// A touchpad tap: the press and its release reach the program in one pump,
// before any frame has read the buttons. The game still sees the press.
TEST_F(GamePlay, ATapWhosePressAndReleaseArriveTogetherStillRemovesTheGroup) {
  Model m = NewGameBoard(1);
  const int cell = FindRemovable(m, false, 3);
  ASSERT_GE(cell, 0);
  Script s;
  const auto tap = [&](int tick, int x, int y) {
    s.Add(tick, "move " + std::to_string(x) + " " + std::to_string(y));
    s.Add(tick, "press left");
    s.Add(tick, "release left");
  };
  tap(200, kNewGame[0], kNewGame[1]);
  tap(600, CellX(cell), CellY(cell));
  const int n = m.Click(cell, false);
  s.Add(600 + 200 * n + 1500, "dump " + root_ + "/tapped.txt");
  s.Add(600 + 200 * n + 1600, "tap ESC");
  const ProgramResult r = Run(s, 1, 600 + 200 * n + 3000);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const Dump tapped = ReadDump(root_ + "/tapped.txt");
  EXPECT_EQ(tapped.fields.at("state"), "playing");
  EXPECT_EQ(tapped.board, BoardText(m.cells));
  EXPECT_EQ(tapped.fields.at("score"), std::to_string(m.score));
}

TEST_F(GamePlay, AGuyPushesHisRowAndIsSquashed) {
  const Assets a(assets_);
  WriteSetup(1, 300);
  Model m = NewGameBoard(5);
  m.minimum = 1;

  Script s;
  s.ClickAt(200, kNewGame[0], kNewGame[1]);
  int t = 600;
  // Empty the top four cells of the last column, one click on its top head at a time.
  for (;;) {
    int top = -1;
    for (int r = 0; r < 10 && top < 0; ++r)
      if (m.cells[14 + r * 15] >= 0) top = 14 + r * 15;
    ASSERT_GE(top, 0);
    if (top / 15 >= 4) break;
    s.ClickCell(t, top, false);
    t += 200 * m.Click(top, false) + 400;
  }
  const int row = 3;
  const Model before = m;
  ASSERT_TRUE(m.PushRight(row)) << "this seed's board does not squash the guy";
  ASSERT_NE(m.cells, before.cells);
  t += 1200;
  s.Add(t, "dump " + root_ + "/before.txt");
  s.ClickAt(t + 100, 119, row * 55 + 30);
  t += 15000;
  s.Add(t, "shot " + Shot("squashed"));
  s.Add(t, "dump " + root_ + "/squashed.txt");
  // His order button is still there but orders nobody: nothing moves.
  s.ClickAt(t + 100, 119, row * 55 + 30);
  s.Add(t + 3000, "dump " + root_ + "/again.txt");
  s.Add(t + 3100, "tap ESC");
  const ProgramResult r = Run(s, 5, t + 4000);
  ASSERT_EQ(r.exitCode, 0) << r.errors;

  std::string everyone, allBut;
  for (int g = 0; g < 20; ++g) {
    everyone += (g ? " " : "") + std::to_string(g);
    if (g != row) allBut += (allBut.empty() ? "" : " ") + std::to_string(g);
  }
  const Dump b = ReadDump(root_ + "/before.txt");
  EXPECT_EQ(b.board, BoardText(before.cells));
  EXPECT_EQ(b.fields.at("guys"), everyone);
  const Dump squashed = ReadDump(root_ + "/squashed.txt");
  EXPECT_EQ(squashed.board, BoardText(m.cells));
  EXPECT_EQ(squashed.fields.at("guys"), allBut);
  // The drawing: his place beside the board is empty, his neighbour's is not.
  const Picture sq = Frame("squashed");
  EXPECT_TRUE(GuyGone(sq, a, row));
  EXPECT_FALSE(GuyGone(sq, a, row + 1));
  const Dump again = ReadDump(root_ + "/again.txt");
  EXPECT_EQ(again.board, BoardText(m.cells));
  EXPECT_EQ(again.fields.at("guys"), squashed.fields.at("guys"));
}

// Seed 9 with groups of one ("balloons" 1): a new game whose board is then cleared from the
// bottom row, colour and face groups taken in turn. Returns the tick at which
// the last group has fallen plus 300.
int ClearBoard(Script& s, Model& m) {
  m = NewGameBoard(9);
  m.minimum = 1;
  s.ClickAt(200, kNewGame[0], kNewGame[1]);
  int t = 600, clicks = 0;
  while (m.Count() > 0) {
    int cell = -1;
    for (int c = 0; c < 15 && cell < 0; ++c)
      if (m.cells[c + 135] >= 0) cell = c + 135;
    s.ClickCell(t, cell, clicks % 3 == 2);
    t += 200 * m.Click(cell, clicks % 3 == 2) + 300;
    ++clicks;
  }
  return t;
}

TEST_F(GamePlay, ClearingTheBoardAddsTheTimeBonusAndDoublesTheScore) {
  const Assets a(assets_);
  WriteSetup(1, 300);
  Script s;
  Model m;
  int t = ClearBoard(s, m);
  const int boardScore = m.score;
  // The countdown started with New game at about 220 and loses a second on
  // every whole 1000 ticks. The bonus counts ten seconds a second, then the
  // congratulations stay 5 seconds and the hall-of-fame notice 1: a shot
  // every half second covers it all, whatever a frame or two of drift.
  const int cleared = t - 300;
  const int secondsLeft = 300 - cleared / 1000;
  const int shots = (secondsLeft * 110 + 9000) / 500;
  for (int k = 0; k < shots; ++k) s.Add(cleared + 250 + k * 500, "shot " + Shot("c" + std::to_string(k)));
  const int end = cleared + 250 + shots * 500;
  s.Add(end, "tap ESC");
  const ProgramResult r = Run(s, 9, end + 1000);
  ASSERT_EQ(r.exitCode, 0) << r.errors;

  int counting = 0, cheering = -1, halloffame = -1, final = -1;
  for (int k = 0; k < shots; ++k) {
    const Picture f = Frame("c" + std::to_string(k));
    const int shown = ReadScore(f, a);
    if (cheering < 0 && Shows(f, a.congrats, 290, 148)) {
      cheering = k;
      final = shown;
      EXPECT_EQ(CountDots(f, a), 0);
    } else if (cheering < 0 && shown > boardScore) {
      // The bonus counting: the score climbs in steps of 125 while the dots go.
      EXPECT_EQ((shown - boardScore) % 125, 0) << shown << " board " << boardScore << " shot " << k;
      EXPECT_LT(CountDots(f, a), 150 * secondsLeft / 300 + 1);
      ++counting;
    }
    if (halloffame < 0 && Shows(f, a.hallOfFame, 362, 189)) halloffame = k;
  }
  EXPECT_GT(counting, 10) << "board score " << boardScore;
  ASSERT_GE(cheering, 0);
  EXPECT_GT(halloffame, cheering + 8);  // five seconds of congratulations
  ASSERT_EQ(final % 2, 0);
  const int bonus = final / 2 - boardScore;
  EXPECT_EQ(bonus % 125, 0) << final;
  EXPECT_NEAR(bonus / 125, secondsLeft, 1) << "final " << final << " board " << boardScore;
  RecordProperty("board_score", boardScore);
  RecordProperty("final_score", final);

  const std::vector<HighScoreEntry> table = Table();
  EXPECT_STREQ(table[0].name, kProfile);
  EXPECT_EQ(table[0].score, final);
  EXPECT_EQ(ExpectReplaysScoreTheTable(), 1);
  const Picture idle = Frame("c" + std::to_string(shots - 1));
  EXPECT_FALSE(Shows(idle, a.congrats, 290, 148));
  for (int g = 0; g < 20; ++g) EXPECT_FALSE(GuyGone(idle, a, g)) << g;
}

// The time bonus blocks the frame loop for a tenth of a second per second
// left; closing during it must not wait for the count, nor lose the score
// the finished count would have entered.
TEST_F(GamePlay, ClosingDuringTheTimeBonusEndsAtOnceWithTheScoreEntered) {
  WriteSetup(1, 300);
  Script s;
  Model m;
  const int cleared = ClearBoard(s, m) - 300;
  const int secondsLeft = 300 - cleared / 1000;
  ASSERT_GT(secondsLeft, 100);  // a bonus of over ten seconds to interrupt
  const int closing = cleared + 1500;
  s.Add(closing, "close");
  const ProgramResult r = Run(s, 9, closing + 200);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  const std::vector<HighScoreEntry> table = Table();
  EXPECT_STREQ(table[0].name, kProfile);
  const int bonus = table[0].score / 2 - m.score;
  EXPECT_EQ(table[0].score % 2, 0);
  EXPECT_EQ(bonus % 125, 0);
  EXPECT_NEAR(bonus / 125, secondsLeft, 1) << "final " << table[0].score << " board " << m.score;
  EXPECT_EQ(ExpectReplaysScoreTheTable(), 1);
}

TEST_F(GamePlay, RunningOutOfTimeShowsGameOverAndEntersTheTable) {
  const Assets a(assets_);
  WriteSetup(2, 10);
  Model m = NewGameBoard(3);
  Script s;
  s.ClickAt(200, kNewGame[0], kNewGame[1]);
  const int cell = FindRemovable(m, false, 2);
  s.ClickCell(600, cell, false);
  m.Click(cell, false);
  // The countdown reaches 0 at tick 10000; the picture stays two seconds,
  // then the hall-of-fame notice one second.
  s.Add(5000, "shot " + Shot("halfway"));
  s.Add(11000, "shot " + Shot("gameover"));
  s.Add(12500, "shot " + Shot("halloffame"));
  s.Add(14000, "shot " + Shot("after"));
  s.Add(14000, "dump " + root_ + "/after.txt");
  s.Add(14100, "tap ESC");
  const ProgramResult r = Run(s, 3, 15000);
  ASSERT_EQ(r.exitCode, 0) << r.errors;

  EXPECT_NEAR(CountDots(Frame("halfway"), a), 75, 15);
  const Picture over = Frame("gameover");
  EXPECT_TRUE(Shows(over, a.gameOver, 290, 148));
  EXPECT_EQ(CountDots(over, a), 0);
  EXPECT_TRUE(Shows(Frame("halloffame"), a.hallOfFame, 362, 189));
  EXPECT_FALSE(Shows(Frame("after"), a.gameOver, 290, 148));
  const Dump after = ReadDump(root_ + "/after.txt");
  EXPECT_EQ(after.fields.at("state"), "idle");
  EXPECT_EQ(after.fields.at("seconds"), "0");
  EXPECT_EQ(after.board, BoardText(m.cells));
  EXPECT_EQ(after.fields.at("best"), std::to_string(m.score));
  const std::vector<HighScoreEntry> table = Table();
  EXPECT_STREQ(table[0].name, kProfile);
  EXPECT_EQ(table[0].score, m.score);
  EXPECT_EQ(table[1].score, 0);
  EXPECT_EQ(ExpectReplaysScoreTheTable(), 1);
}

// A game of three seconds (seed 3) that scores one group, runs out and
// enters its score, then the program closed after the hall-of-fame notice.
Script ShortScoringGame() {
  Model m = NewGameBoard(3);
  Script s;
  s.ClickAt(200, kNewGame[0], kNewGame[1]);
  s.ClickCell(600, FindRemovable(m, false, 2), false);
  s.Add(8000, "tap ESC");  // after game over (3 s + 2 s) and the notice (1 s)
  return s;
}

// A replay that cannot be written ("replays" is a file) is told as an
// unsaved table is; the score is in the table without it.
TEST_F(GamePlay, AReplayThatCannotBeSavedIsReportedAndTheScoreKept) {
  std::ofstream(game_ + "/replays") << "not a folder";
  WriteSetup(2, 3);
  const ProgramResult r = Run(ShortScoringGame(), 3, 9000);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_NE(r.errors.find("The replay of your score could not be saved in the replays folder (" +
                          std::string(std::strerror(ENOTDIR)) + ")"),
            std::string::npos)
      << r.errors;
  EXPECT_EQ(r.errors.find("hiscore.dat ("), std::string::npos) << r.errors;
  EXPECT_GT(Table()[0].score, 0);
  EXPECT_TRUE(fs::is_regular_file(game_ + "/replays"));
}

// A read-only "hiscore.dat" cannot take the new score: the player is told,
// and the file keeps its bytes and its mode.
TEST_F(GamePlay, AScoreThatCannotBeSavedIsReportedAndTheOldFileKept) {
  const std::string file = game_ + "/hiscore.dat";
  {
    HighScoreTable old;
    old.Resize(20);
    old.Insert("Old Timer", 5);
    ASSERT_EQ(old.Save(file.c_str()), 1);
  }
  ::chmod(file.c_str(), 0444);
  const std::vector<HighScoreEntry> before = Table();
  WriteSetup(2, 3);
  const ProgramResult r = Run(ShortScoringGame(), 3, 9000);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_NE(r.errors.find("could not be saved in hiscore.dat"), std::string::npos) << r.errors;
  const std::vector<HighScoreEntry> after = Table();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_STREQ(after[i].name, before[i].name) << i;
    EXPECT_EQ(after[i].score, before[i].score) << i;
  }
  struct stat st;
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// Two games at once on the real clock, each loading the empty table at New
// game and entering its score seconds later: both scores are kept, since a
// save merges with the file as it is then.
TEST_F(GamePlay, TwoGamesAtOnceBothKeepTheirScores) {
  WriteSetup(2, 3);
  std::vector<int> scores;
  std::vector<std::thread> games;
  std::vector<ProgramResult> results(2);
  for (int seed : {3, 4}) {
    Model m = NewGameBoard(seed);
    // Late enough that a slow start on a busy machine has its first frames behind it.
    Script s;
    s.ClickAt(3000, kNewGame[0], kNewGame[1]);
    const int cell = FindRemovable(m, false, 2);
    s.ClickCell(4000, cell, false);
    m.Click(cell, false);
    scores.push_back(m.score);
    s.Add(11500, "tap ESC");  // after game over (3 s + 2 s) and the notice (1 s)
    const std::string script = root_ + "/script" + std::to_string(seed) + ".txt";
    std::ofstream(script) << s.Text();
    const std::map<std::string, std::string> env{{"QB_VIDEO", "headless"},      {"QB_CLOCK", "real"},
                                                 {"QB_AUDIO", "null"},          {"QB_SEED", std::to_string(seed)},
                                                 {"QB_SCRIPT", script},         {"QB_MAX_TICKS", "16000"}};
    games.emplace_back([this, env, &result = results[scores.size() - 1]] {
      result = RunProgram(QB_GAME_EXE, {root_}, env, game_);
    });
  }
  for (std::thread& t : games) t.join();
  ASSERT_NE(scores[0], scores[1]) << "the seeds must tell the games apart";
  for (const ProgramResult& r : results) ASSERT_EQ(r.exitCode, 0) << r.errors;
  const std::vector<HighScoreEntry> table = Table();
  std::vector<int> kept{table[0].score, table[1].score};
  std::sort(scores.begin(), scores.end(), std::greater<int>());
  EXPECT_EQ(kept, scores);
  EXPECT_STREQ(table[0].name, kProfile);
  EXPECT_STREQ(table[1].name, kProfile);
  EXPECT_EQ(table[2].score, 0);
}

TEST_F(GamePlay, HelpStopsTheCountdownAndMenuStartsTheLauncher) {
  const Assets a(assets_);
  Script s;
  s.ClickAt(200, kNewGame[0], kNewGame[1]);
  s.Add(3200, "shot " + Shot("before"));
  s.ClickAt(3300, kHelp[0], kHelp[1]);
  s.Add(4000, "shot " + Shot("help"));
  s.Add(20000, "shot " + Shot("stillhelp"));
  s.ClickAt(20500, 400, 300);
  s.Add(20700, "shot " + Shot("closed"));
  s.Add(26700, "shot " + Shot("later"));
  s.ClickAt(27000, kMenu[0], kMenu[1]);
  const std::string record = root_ + "/shell.txt";
  const ProgramResult r = Run(s, 2, 28000, record);
  ASSERT_EQ(r.exitCode, 0) << r.errors;

  const int left = (800 - a.help.width) / 2, top = (600 - a.help.height) / 2;
  EXPECT_TRUE(Shows(Frame("help"), a.help, left, top));
  EXPECT_TRUE(Shows(Frame("stillhelp"), a.help, left, top));
  const int before = CountDots(Frame("before"), a);
  const int closed = CountDots(Frame("closed"), a);
  // 17 seconds of help cost no time: 148 dots at 297 s both before and after.
  EXPECT_EQ(before, 148);
  EXPECT_EQ(closed, before);
  EXPECT_EQ(CountDots(Frame("later"), a), before - 3);

  std::ifstream in(record);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, "open\t" + root_ + "\\Lobbo.exe\tQuibbleton\t" + root_);
}

// Without its picture Help would open a 0 x 0 pop-up that no click ends; the
// missing file is named on stderr and a click anywhere closes the pop-up, so
// Menu is heard afterwards.
TEST_F(GamePlay, HelpWithoutItsPictureClosesOnAClick) {
  const fs::path title = fs::path(game_) / "title";
  fs::remove(title);
  fs::create_directory(title);
  for (const auto& entry : fs::directory_iterator(fs::path(assets_) / "title"))
    if (entry.path().filename() != "HowToPlay.bmp") fs::create_symlink(entry.path(), title / entry.path().filename());
  Script s;
  s.ClickAt(200, kHelp[0], kHelp[1]);
  s.ClickAt(600, 700, 80);
  s.ClickAt(900, kMenu[0], kMenu[1]);
  const std::string record = root_ + "/shell.txt";
  const ProgramResult r = Run(s, 2, 3000, record);
  ASSERT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_NE(r.errors.find("cannot load picture \"title\\HowToPlay.bmp\""), std::string::npos) << r.errors;
  std::ifstream in(record);
  std::string line;
  EXPECT_TRUE(std::getline(in, line)) << "Menu was not heard after the pop-up";
}

}  // namespace
