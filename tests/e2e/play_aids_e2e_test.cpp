// What the game tells the player on top of its rules, in whole seeded games
// of the built program: the group under the pointer and its points, the
// pause, the summary at a game's end and the offer to end a round that has
// no move left. None of them may change a score, a time or a replay.
#include <gtest/gtest.h>

#include "game/rules/moves.h"
#include "game/rules/timing.h"
#include "game_play_fixture.h"

namespace {

using namespace gamee2e;

class PlayAids : public GamePlay {
 protected:
  std::string DumpPath(const std::string& name) const { return root_ + "/" + name + ".txt"; }
  // The state and the aids' details of one frame, as one set of fields.
  Dump DumpOf(const std::string& name) const {
    Dump state = ReadDump(DumpPath(name));
    for (const auto& [key, value] : ReadDump(DumpPath(name + "-aids")).fields) state.fields[key] = value;
    return state;
  }
  void AddDump(Script& s, int tick, const std::string& name) const {
    s.Add(tick, "dump " + DumpPath(name));
    s.Add(tick, "details " + DumpPath(name + "-aids"));
  }
};

// "preview POINTS CELL ..." as numbers.
std::vector<int> Numbers(const std::string& text) {
  std::vector<int> values;
  std::istringstream in(text);
  for (int v; in >> v;) values.push_back(v);
  return values;
}

// Digits of the score font right-aligned at right, top at y, on whatever box
// they stand in; -1 when none.
int ReadDigits(const Picture& frame, const Assets& a, int right, int y) {
  const int g = a.font.width / 10;
  int value = 0, scale = 1, digits = 0;
  // The font is opaque: a digit is its glyph's pixels exactly.
  const auto shows = [&](int d, int x) {
    int same = 0;
    for (int j = 0; j < a.font.height; ++j)
      for (int i = 0; i < g; ++i) same += frame.At(x + i, y + j) == a.font.At(d * g + i, j);
    return same >= 0.97 * g * a.font.height;
  };
  for (int x = right - g; x >= 0; x -= g, scale *= 10, ++digits) {
    int which = -1;
    for (int d = 0; d < 10 && which < 0; ++d)
      if (shows(d, x)) which = d;
    if (which < 0) break;
    value += which * scale;
  }
  return digits ? value : -1;
}

TEST_F(PlayAids, ThePointersGroupShowsWithWhatItsClickAdds) {
  Model m = NewGameBoard(5);
  const int colourCell = FindRemovable(m, false, 3);
  const int single = FindSingle(m);
  ASSERT_GE(colourCell, 0);
  ASSERT_GE(single, 0);
  std::vector<int> colourGroup, faceGroup;
  m.Group(colourCell, false, colourGroup);
  m.Group(colourCell, true, faceGroup);

  Script s;
  s.ClickAt(100, kNewGame[0], kNewGame[1]);
  s.Add(150, "move " + std::to_string(CellX(single)) + " " + std::to_string(CellY(single)));
  s.Add(200, "shot " + Shot("none"));
  s.Add(300, "move " + std::to_string(CellX(colourCell)) + " " + std::to_string(CellY(colourCell)));
  AddDump(s, 400, "colour");
  s.Add(410, "shot " + Shot("colour"));
  s.Add(500, "key down LSHIFT");
  AddDump(s, 600, "face");
  s.Add(700, "key up LSHIFT");
  s.Add(800, "move " + std::to_string(CellX(single)) + " " + std::to_string(CellY(single)));
  AddDump(s, 900, "single");
  s.Add(950, "shot " + Shot("away"));
  s.ClickCell(1000, colourCell, false);
  AddDump(s, 6000, "clicked");
  // The keyboard's frame shows its cell's group as the pointer does.
  Model after = m;
  after.Click(colourCell, false);
  // A cell away from the top row and left column, so its place is its row and column both.
  int framed = -1;
  for (int cell = 16; cell < 150 && framed < 0; ++cell) {
    std::vector<int> group;
    if (cell % 15 > 0 && after.cells[cell] >= 0 && (after.Group(cell, false, group), group.size() >= 2)) framed = cell;
  }
  ASSERT_GE(framed, 0);
  int tick = 6100;
  s.Add(tick, "tap RIGHT");  // shows the frame at the top left
  for (int c = 0; c < framed % 15; ++c) s.Add(tick += 30, "tap RIGHT");
  for (int r = 0; r < framed / 15; ++r) s.Add(tick += 30, "tap DOWN");
  AddDump(s, tick + 100, "framed");
  ASSERT_EQ(Run(s, 5, tick + 200).exitCode, 3);

  std::vector<int> colour = Numbers(DumpOf("colour").fields["preview"]);
  ASSERT_FALSE(colour.empty());
  const int points = colour[0];
  colour.erase(colour.begin());
  std::sort(colour.begin(), colour.end());
  std::sort(colourGroup.begin(), colourGroup.end());
  EXPECT_EQ(colour, colourGroup);

  std::vector<int> face = Numbers(DumpOf("face").fields["preview"]);
  ASSERT_FALSE(face.empty());
  face.erase(face.begin());
  std::sort(face.begin(), face.end());
  std::sort(faceGroup.begin(), faceGroup.end());
  if (static_cast<int>(faceGroup.size()) < 2) faceGroup.clear();
  EXPECT_EQ(face, faceGroup) << "Shift shows the face group a right click takes";

  EXPECT_EQ(DumpOf("single").fields["preview"], "0") << "a head without a group shows nothing";

  // The click adds exactly what the preview said.
  const int before = m.score;
  m.Click(colourCell, false);
  EXPECT_EQ(points, m.score - before);
  EXPECT_EQ(DumpOf("clicked").fields["score"], std::to_string(m.score));

  // The outline stands on the group's edge: the clicked head's cell has it
  // on some side, and the sidebar box shows the digits.
  const Assets a(assets_);
  const Picture shot = Frame("colour");
  EXPECT_EQ(ReadDigits(shot, a, 88, 574), points);
  // Pointing away leaves nothing of the outline behind.
  const Picture none = Frame("none"), away = Frame("away");
  int outlined = 0, left = 0;
  for (int y = 10; y < 560; ++y)
    for (int x = 137; x < 752; ++x) {
      outlined += shot.At(x, y) != none.At(x, y);
      left += away.At(x, y) != none.At(x, y);
    }
  EXPECT_GT(outlined, 100);
  EXPECT_EQ(left, 0);

  std::vector<int> framedGroup;
  after.Group(framed, false, framedGroup);
  std::vector<int> preview = Numbers(DumpOf("framed").fields["preview"]);
  ASSERT_FALSE(preview.empty());
  preview.erase(preview.begin());
  std::sort(preview.begin(), preview.end());
  std::sort(framedGroup.begin(), framedGroup.end());
  EXPECT_EQ(preview, framedGroup);
}

TEST_F(PlayAids, APauseHidesTheBoardAndStopsTheCountdownAndItsReplayVerifies) {
  WriteSetup(2, 30);
  Model m = NewGameBoard(8);
  const int cell = FindRemovable(m, false, 2);
  ASSERT_GE(cell, 0);
  Script s;
  s.Add(50, "tap P");
  AddDump(s, 80, "idle");
  s.ClickAt(100, kNewGame[0], kNewGame[1]);
  s.ClickCell(1500, cell, false);
  s.Add(5000, "tap P");
  AddDump(s, 5100, "paused");
  s.Add(5200, "shot " + Shot("paused"));
  // Clicks on the cover do not reach the board, and time does not pass.
  AddDump(s, 40000, "stillpaused");
  s.Add(40100, "tap SPACE");
  AddDump(s, 40200, "back");
  s.Add(45000, "deactivate");
  AddDump(s, 45100, "away");
  s.Add(60000, "activate");
  AddDump(s, 60100, "returned");
  s.ClickAt(60300, 400, 300);
  AddDump(s, 60400, "resumed");
  ASSERT_EQ(Run(s, 8, 90000).exitCode, 3);

  EXPECT_EQ(DumpOf("idle").fields.at("paused"), "no") << "no game runs: nothing to pause";
  const Dump paused = DumpOf("paused"), still = DumpOf("stillpaused"), back = DumpOf("back");
  EXPECT_EQ(paused.fields.at("paused"), "yes");
  EXPECT_EQ(still.fields.at("paused"), "yes");
  EXPECT_EQ(still.fields.at("seconds"), paused.fields.at("seconds")) << "the countdown moved while paused";
  EXPECT_EQ(back.fields.at("paused"), "no");
  EXPECT_EQ(DumpOf("away").fields.at("paused"), "yes") << "losing the focus pauses";
  EXPECT_EQ(DumpOf("returned").fields.at("paused"), "yes") << "coming back shows the cover until the player acts";
  EXPECT_EQ(DumpOf("returned").fields.at("seconds"), DumpOf("away").fields.at("seconds"));
  EXPECT_EQ(DumpOf("resumed").fields.at("paused"), "no");
  EXPECT_EQ(DumpOf("resumed").board, paused.board) << "the click that came back took no head";

  // The cover is over the board: no head of the board shows in the shot.
  const Assets a(assets_);
  const std::vector<int> seen = ReadBoard(Frame("paused"), a);
  EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](int v) { return v >= 0; }), 0);

  // The game ran out with two pauses in it; its replay notes them and verifies to its score.
  const std::vector<HighScoreEntry> table = Table();
  ASSERT_STREQ(table[0].name, kProfile);
  std::ifstream in(fs::path(game_) / "replays" / quibbleton::ReplayFileName(table[0].name, table[0].score));
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find(" pause\n"), std::string::npos) << text.str();
  EXPECT_EQ(ExpectReplaysScoreTheTable(), 1);
}

TEST_F(PlayAids, TheEndOfAGameWaitsWithItsScorePlaceAndTheBest) {
  WriteSetup(2, 5);
  Model m = NewGameBoard(3);
  const int cell = FindRemovable(m, false, 2);
  ASSERT_GE(cell, 0);
  m.Click(cell, false);
  Script s;
  s.ClickAt(100, kNewGame[0], kNewGame[1]);
  s.ClickCell(300, cell, false);
  // Time's up at 5 s, its picture for 2 s, the hall-of-fame notice for 1 s.
  s.Add(7700, "shot " + Shot("notice"));
  AddDump(s, 7710, "notice");
  AddDump(s, 30000, "waiting");
  s.Add(30010, "shot " + Shot("summary"));
  s.Add(30100, "tap SPACE");
  AddDump(s, 30200, "closed");
  ASSERT_EQ(Run(s, 3, 31000).exitCode, 3);

  EXPECT_EQ(DumpOf("notice").fields.at("summary"), "none") << "the notice comes first and hides nothing";
  EXPECT_EQ(DumpOf("waiting").fields.at("state"), "idle");
  EXPECT_EQ(DumpOf("waiting").fields.at("summary"),
            std::to_string(m.score) + " 1 " + std::to_string(m.score));
  EXPECT_EQ(DumpOf("closed").fields.at("summary"), "none");

  const Assets a(assets_);
  const Picture shot = Frame("summary");
  EXPECT_EQ(ReadDigits(shot, a, 290 + 276, 150 + 88), m.score);
  EXPECT_EQ(ReadDigits(shot, a, 290 + 276, 150 + 128), 1);
}

TEST_F(PlayAids, ASummaryOfAScoreOffTheListSaysSoAndNewGameStillStartsAtOnce) {
  WriteSetup(2, 3);
  {
    // A full table of better scores.
    HighScoreTable table;
    table.Resize(20);
    for (int i = 0; i < 20; ++i) table.Insert(("Ace " + std::to_string(i)).c_str(), 900000 - i);
    ASSERT_EQ(table.Save((game_ + "/hiscore.dat").c_str()), 1);
  }
  Script s;
  s.ClickAt(100, kNewGame[0], kNewGame[1]);
  AddDump(s, 8000, "ended");
  s.ClickAt(8100, kNewGame[0], kNewGame[1]);
  AddDump(s, 8300, "next");
  ASSERT_EQ(Run(s, 4, 9000).exitCode, 3);
  EXPECT_EQ(DumpOf("ended").fields.at("summary"), "0 0 900000");
  EXPECT_EQ(DumpOf("next").fields.at("state"), "playing") << "the click that closes the summary is New game's too";
  EXPECT_EQ(DumpOf("next").fields.at("summary"), "none");
}

// New game, then a simple player's game: the first colour group from the
// bottom right, else a face group, else the first guy whose push moves a
// head, until no move is left. The script clicks each action well after the
// animation of the one before; returns the rules as they end and the tick
// after the last.
int NewGameUntilStuck(int seed, Script& s, quibbleton::Rules* rules) {
  s.ClickAt(100, kNewGame[0], kNewGame[1]);
  const Model dealt = NewGameBoard(seed);
  int tick = 1000;
  for (int cell = 0; cell < 150; ++cell) rules->Place(cell, quibbleton::Head{dealt.cells[cell] / 5, dealt.cells[cell] % 5});
  using quibbleton::GroupKey;
  while (quibbleton::AnyMoveLeft(*rules)) {
    quibbleton::Action action{quibbleton::Action::Kind::kOrder, -1};
    for (int cell = 149; cell >= 0 && action.target < 0; --cell)
      if (!quibbleton::GroupCells(*rules, cell, GroupKey::kColour).empty())
        action = {quibbleton::Action::Kind::kClickColour, cell};
    for (int cell = 149; cell >= 0 && action.target < 0; --cell)
      if (!quibbleton::GroupCells(*rules, cell, GroupKey::kFace).empty())
        action = {quibbleton::Action::Kind::kClickFace, cell};
    for (int guy = 0; guy < quibbleton::kGuys && action.target < 0; ++guy) {
      quibbleton::Rules copy = *rules;
      copy.Order(guy);
      if (!(copy.GetBoard() == rules->GetBoard())) action = {quibbleton::Action::Kind::kOrder, guy};
    }
    if (action.kind == quibbleton::Action::Kind::kOrder) {
      // The guy's hot spot, beside the board's edge.
      const int row = action.target % 10;
      s.ClickAt(tick, action.target < 10 ? 110 : 780, row * 55 + 4 + 27);
    } else {
      s.ClickCell(tick, action.target, action.kind == quibbleton::Action::Kind::kClickFace);
    }
    tick += static_cast<int>(quibbleton::AnimationMs(rules->Apply(action))) + 300;
  }
  return tick;
}

TEST_F(PlayAids, ABoardWithNoMoveLeftEndsWhenThePlayerAsksAndScoresAsItsCountdownWould) {
  constexpr int kSeed = 1;
  quibbleton::Rules rules;
  Script s;
  const int stuck = NewGameUntilStuck(kSeed, s, &rules);
  ASSERT_FALSE(rules.Cleared());
  ASSERT_LT(stuck, 250000) << "the game must stick before its countdown ends";
  AddDump(s, stuck, "stuck");
  s.Add(stuck + 10, "shot " + Shot("stuck"));
  s.Add(stuck + 100, "tap ENTER");
  AddDump(s, stuck + 200, "ended");
  AddDump(s, stuck + 3000, "summary");
  ASSERT_EQ(Run(s, kSeed, stuck + 4000).exitCode, 3);

  EXPECT_EQ(DumpOf("stuck").fields.at("moves"), "none");
  EXPECT_EQ(DumpOf("stuck").fields.at("score"), std::to_string(rules.Score()));
  std::vector<int> cells(150, -1);
  for (int cell = 0; cell < 150; ++cell)
    if (const quibbleton::Head* head = rules.GetBoard().At(cell)) cells[cell] = head->colour * 5 + head->face;
  EXPECT_EQ(DumpOf("stuck").board, BoardText(cells)) << "the game got where the rules say";
  const Dump ended = DumpOf("summary");
  EXPECT_EQ(ended.fields.at("state"), "idle");
  EXPECT_EQ(ended.fields.at("summary"), std::to_string(rules.Score()) + " 1 " + std::to_string(rules.Score()));
  EXPECT_NE(DumpOf("stuck").fields.at("seconds"), "0") << "ended before its countdown";

  // The round's replay ends "nomoves" and verifies to the score the table
  // holds; the same game left to its countdown verifies to that score too.
  const std::vector<HighScoreEntry> table = Table();
  ASSERT_EQ(table[0].score, rules.Score());
  std::ifstream in(fs::path(game_) / "replays" / quibbleton::ReplayFileName(table[0].name, table[0].score));
  std::stringstream text;
  text << in.rdbuf();
  ASSERT_NE(text.str().find(" end nomoves\n"), std::string::npos) << text.str();
  EXPECT_EQ(ExpectReplaysScoreTheTable(), 1);
  quibbleton::ReplayParse parsed = quibbleton::ParseReplay(text.str());
  ASSERT_TRUE(parsed.ok);
  parsed.replay.end = quibbleton::ReplayEnd::kFinished;
  parsed.replay.endMs = int64_t{parsed.replay.gameTime} * 1000;
  const quibbleton::Verdict byCountdown = quibbleton::VerifyReplay(parsed.replay);
  EXPECT_TRUE(byCountdown.ok) << byCountdown.reason;
  EXPECT_EQ(byCountdown.score, rules.Score());
}

TEST_F(PlayAids, AClickOnTheNoMovesNoticeEndsTheRoundAndNoBoardClickUnderIt) {
  constexpr int kSeed = 1;
  quibbleton::Rules rules;
  Script s;
  const int stuck = NewGameUntilStuck(kSeed, s, &rules);
  AddDump(s, stuck, "stuck");
  s.ClickAt(stuck + 100, 290 + 155, 200 + 75);
  AddDump(s, stuck + 3000, "after");
  ASSERT_EQ(Run(s, kSeed, stuck + 4000).exitCode, 3);
  EXPECT_EQ(DumpOf("after").fields.at("state"), "idle");
  EXPECT_EQ(DumpOf("after").board, DumpOf("stuck").board);
  EXPECT_EQ(Table()[0].score, rules.Score());
}

TEST_F(PlayAids, TheColourBlindHeadsComeWithCAndStayForTheNextRun) {
  const Model m = NewGameBoard(6);
  Script first;
  first.ClickAt(100, kNewGame[0], kNewGame[1]);
  first.Add(300, "tap C");
  AddDump(first, 400, "switched");
  first.Add(410, "shot " + Shot("switched"));
  ASSERT_EQ(Run(first, 6, 500).exitCode, 3);
  EXPECT_EQ(DumpOf("switched").fields.at("palette"), "colourblind");
  std::ifstream options(root_ + "/options.ini");
  std::stringstream kept;
  kept << options.rdbuf();
  EXPECT_NE(kept.str().find("palette=colourblind"), std::string::npos) << kept.str();
  EXPECT_NE(kept.str().find("name=Bob Builder"), std::string::npos) << "the players stay";

  // Every head on the board is now drawn from the colour-blind sheet.
  Assets colourBlind(assets_);
  colourBlind.heads = Load(assets_ + "/quibbletoncb.bmp");
  EXPECT_EQ(ReadBoard(Frame("switched"), colourBlind), m.cells);

  // The next run starts with them; C goes back.
  Script second;
  AddDump(second, 100, "started");
  second.Add(200, "tap C");
  AddDump(second, 300, "back");
  ASSERT_EQ(Run(second, 6, 400).exitCode, 3);
  EXPECT_EQ(DumpOf("started").fields.at("palette"), "colourblind");
  EXPECT_EQ(DumpOf("back").fields.at("palette"), "usual");
}

}  // namespace
