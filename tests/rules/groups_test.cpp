// The deal, groups, their points and twins, and falling.
#include <climits>
#include <fstream>
#include <regex>
#include <sstream>

#include "rules_test_support.h"

namespace {

using namespace quibbleton;
using rulestest::All;
using rulestest::Cell;

TEST(Deal, FollowsTheGeneratorAndKeepsEveryQuota) {
  // The generator's first values from seed 1 are the classic ones.
  Lcg lcg(1);
  EXPECT_EQ(lcg.Next(), 41);
  EXPECT_EQ(lcg.Next(), 18467);
  EXPECT_EQ(lcg.Next(), 6334);

  Lcg random(1);
  const Board board = Board::Deal(random);
  // 41 % 5, 18467 % 5; then 6334 % 5, 26500 % 5.
  EXPECT_EQ(*board.At(0), (Head{1, 2}));
  EXPECT_EQ(*board.At(1), (Head{4, 0}));
  int colours[kColours] = {}, faces[kFaces] = {};
  for (int cell = 0; cell < kCells; ++cell) {
    ASSERT_NE(board.At(cell), nullptr) << cell;
    ++colours[board.At(cell)->colour];
    ++faces[board.At(cell)->face];
  }
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(colours[k], 30);
    EXPECT_EQ(faces[k], 30);
  }
  EXPECT_EQ(board.At(-1), nullptr);
  EXPECT_EQ(board.At(kCells), nullptr);
}

TEST(Groups, FollowTheirKeyDepthFirstAndScoreTwinsOnce) {
  Rules rules;
  rulestest::Clear(rules);
  // Bottom row, colour 0: faces 1 1 2 1, then colour 3 face 2.
  rules.Place(Cell(0, 9), Head{0, 1});
  rules.Place(Cell(1, 9), Head{0, 1});
  rules.Place(Cell(2, 9), Head{0, 2});
  rules.Place(Cell(3, 9), Head{0, 1});
  rules.Place(Cell(4, 9), Head{3, 2});
  rules.Place(Cell(2, 8), Head{0, 4});
  EXPECT_EQ(rules.GetBoard().FindGroup(Cell(2, 9), GroupKey::kColour),
            (std::vector<int>{Cell(2, 9), Cell(1, 9), Cell(0, 9), Cell(3, 9), Cell(2, 8)}));
  EXPECT_EQ(rules.GetBoard().FindGroup(Cell(4, 9), GroupKey::kFace), (std::vector<int>{Cell(4, 9)}));
  EXPECT_TRUE(rules.GetBoard().FindGroup(Cell(5, 9), GroupKey::kFace).empty());

  rules.Place(Cell(2, 8), std::nullopt);
  const Events events = rules.RemoveGroup(Cell(0, 9), GroupKey::kColour);
  const auto cracked = All<event::HeadCracked>(events);
  ASSERT_EQ(cracked.size(), 4u);
  // 1 1: the second raises to x2 and shows it; 2: no twin, its 300 points;
  // the last 1 matches both earlier ones but only the uncounted one raises.
  EXPECT_EQ(cracked[0].points, 100);
  EXPECT_EQ(cracked[1].twinsCounted, 1);
  EXPECT_TRUE(cracked[1].showsMultiplier);
  EXPECT_EQ(cracked[1].points, 0);
  EXPECT_FALSE(cracked[2].showsMultiplier);
  EXPECT_EQ(cracked[2].points, 300);
  EXPECT_EQ(cracked[3].twinsCounted, 1);
  EXPECT_EQ(cracked[3].multiplier, 3);
  EXPECT_EQ(cracked[3].index, 3);
  EXPECT_EQ(cracked[3].cell, Cell(3, 9));
  const auto scored = All<event::GroupScored>(events);
  ASSERT_EQ(scored.size(), 1u);
  EXPECT_EQ(scored[0].basePoints, 1000);
  EXPECT_EQ(scored[0].points, 3000);
  EXPECT_EQ(rules.Score(), 100 + 300 + 3000);
  EXPECT_EQ(rules.GetBoard().Count(), 1);

  // A lone head is refused: nothing goes, nothing scores, the multiplier is back to 1.
  const Events refused = rules.RemoveGroup(Cell(4, 9), GroupKey::kColour);
  ASSERT_EQ(refused.size(), 2u);
  EXPECT_FALSE(std::get<event::GroupFound>(refused[0]).accepted);
  EXPECT_EQ(std::get<event::GroupScored>(refused[1]).points, 0);
  EXPECT_EQ(rules.Multiplier(), 1);
  EXPECT_EQ(rules.Score(), 3400);
  EXPECT_NE(rules.GetBoard().At(Cell(4, 9)), nullptr);
  // With a minimum of 1 it goes; an empty cell does nothing at all.
  rules.SetMinimumGroup(1);
  EXPECT_EQ(All<event::HeadCracked>(rules.RemoveGroup(Cell(4, 9), GroupKey::kFace)).size(), 1u);
  EXPECT_TRUE(rules.RemoveGroup(Cell(4, 9), GroupKey::kFace).empty());
}

TEST(Groups, NeverWrapAroundTheBoardsEdges) {
  Rules rules;
  rulestest::Clear(rules);
  // Cells 14 and 15 are neighbours by number only: the end of row 0 and the
  // start of row 1.
  rules.Place(Cell(14, 0), Head{1, 1});
  rules.Place(Cell(0, 1), Head{1, 1});
  rules.Place(Cell(0, 0), Head{1, 4});
  rules.Place(Cell(5, 8), Head{2, 3});
  rules.Place(Cell(5, 9), Head{4, 3});
  rules.Place(Cell(13, 5), Head{0, 0});
  rules.Place(Cell(14, 5), Head{0, 2});
  const Board& board = rules.GetBoard();
  EXPECT_EQ(board.FindGroup(Cell(14, 0), GroupKey::kColour), (std::vector<int>{Cell(14, 0)}));
  EXPECT_EQ(board.FindGroup(Cell(0, 1), GroupKey::kColour), (std::vector<int>{Cell(0, 1), Cell(0, 0)}));
  EXPECT_EQ(board.FindGroup(Cell(0, 0), GroupKey::kColour), (std::vector<int>{Cell(0, 0), Cell(0, 1)}));
  EXPECT_EQ(board.FindGroup(Cell(5, 8), GroupKey::kFace), (std::vector<int>{Cell(5, 8), Cell(5, 9)}));
  EXPECT_EQ(board.FindGroup(Cell(13, 5), GroupKey::kColour), (std::vector<int>{Cell(13, 5), Cell(14, 5)}));
  // Off the board nothing is placed.
  rules.Place(-1, Head{});
  rules.Place(kCells, Head{});
  EXPECT_EQ(board.Count(), 7);
}

TEST(Settle, ColumnsCompactFromTheBottomAndOnlyTheFirstFallIsHeard) {
  Rules rules;
  rulestest::Clear(rules);
  rules.Place(Cell(0, 0), Head{1, 1});
  rules.Place(Cell(0, 5), Head{2, 2});
  rules.Place(Cell(4, 8), Head{3, 3});
  rules.Place(Cell(7, 9), Head{4, 4});
  const auto fell = All<event::HeadFell>(rules.Settle());
  ASSERT_EQ(fell.size(), 3u);
  EXPECT_EQ(fell[0].from, Cell(4, 8));
  EXPECT_EQ(fell[0].to, Cell(4, 9));
  EXPECT_TRUE(fell[0].first);
  EXPECT_EQ(fell[1].from, Cell(0, 5));
  EXPECT_EQ(fell[1].to, Cell(0, 9));
  EXPECT_EQ(fell[2].from, Cell(0, 0));
  EXPECT_EQ(fell[2].to, Cell(0, 8));
  EXPECT_FALSE(fell[1].first || fell[2].first);
  EXPECT_TRUE(rules.Settle().empty());
}

TEST(Bonus, CountsEverySecondThenDoublesAndNeverWraps) {
  Rules rules;
  EXPECT_TRUE(rules.TimeBonus(0).empty());
  EXPECT_TRUE(rules.TimeBonus(-3).empty());
  const Events bonus = rules.TimeBonus(4);
  EXPECT_EQ(All<event::BonusSecond>(bonus).size(), 4u);
  EXPECT_EQ(rules.Score(), 4 * 125);
  EXPECT_EQ(std::get<event::ScoreDoubled>(rules.DoubleScore()[0]).points, 500);
  EXPECT_EQ(rules.Score(), 1000);
  for (int k = 0; k < 30; ++k) rules.DoubleScore();
  EXPECT_EQ(rules.Score(), INT_MAX);
}

// The rules stand alone: their sources include only each other and the
// standard library.
TEST(Library, IncludesNothingOfTheProjectOutsideTheRules) {
  const std::regex quoted(R"re(#include\s+"([^"]+)")re");
  for (const char* file : {"board.h", "board.cpp", "events.h", "rules.h", "rules.cpp", "pushes.cpp"}) {
    std::ifstream in(std::string(QB_SOURCE_DIR) + "/game/rules/" + file);
    ASSERT_TRUE(in) << file;
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    for (std::sregex_iterator it(source.begin(), source.end(), quoted), end; it != end; ++it)
      EXPECT_EQ((*it)[1].str().rfind("game/rules/", 0), 0u) << file << " includes " << (*it)[1];
  }
}

}  // namespace
