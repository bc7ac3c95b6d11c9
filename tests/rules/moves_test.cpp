// Whether a move is left: clicks by colour and by face, and orders that
// move heads, on boards built exactly; and what a click would take and add.
#include <gtest/gtest.h>

#include "game/rules/moves.h"
#include "tests/rules/rules_test_support.h"

namespace {

using namespace quibbleton;
using rulestest::Cell;

bool AnyClick(const Rules& rules) {
  for (int cell = 0; cell < kCells; ++cell)
    if (!GroupCells(rules, cell, GroupKey::kColour).empty() || !GroupCells(rules, cell, GroupKey::kFace).empty())
      return true;
  return false;
}

// A board of one full row at the bottom with no group in it.
Rules BottomRow() {
  Rules rules;
  rulestest::Clear(rules);
  rulestest::FillRows(rules, 9, 9);
  return rules;
}

TEST(MovesLeft, PackedRowsHaveNoneAPushableHeadHasOneUntilItsGuysAreOff) {
  Rules rules;
  rulestest::Clear(rules);
  EXPECT_FALSE(AnyMoveLeft(rules)) << "a cleared board";
  rulestest::FillRows(rules, 1, 9);
  ASSERT_FALSE(AnyClick(rules));
  EXPECT_FALSE(AnyMoveLeft(rules)) << "full rows: every run is packed against both edges";

  // One head on the top row shares nothing with the one below it: no click
  // takes it, but either guy of the row pushes it along.
  const Head below = *rules.GetBoard().At(Cell(3, 1));
  rules.Place(Cell(3, 0), Head{(below.colour + 2) % kColours, (below.face + 2) % kFaces});
  ASSERT_FALSE(AnyClick(rules));
  EXPECT_TRUE(AnyMoveLeft(rules));
  rules.TakeOff(10);
  EXPECT_TRUE(AnyMoveLeft(rules)) << "the left-hand guy still pushes";
  rules.TakeOff(0);
  EXPECT_FALSE(AnyMoveLeft(rules)) << "orders to guys off the board do nothing";

  // A run packed against the right edge: the left-hand guy walks up to it
  // and cannot push it; only the right-hand one could.
  Rules packed = BottomRow();
  for (int c = 10; c < kColumns; ++c) packed.Place(Cell(c, 8), Head{(c + 3) % kColours, (c * 2) % kFaces});
  ASSERT_FALSE(AnyClick(packed));
  EXPECT_TRUE(AnyMoveLeft(packed));
  packed.TakeOff(18);
  EXPECT_FALSE(AnyMoveLeft(packed));
}

TEST(MovesLeft, AFaceGroupAloneIsAMoveAndAGroupBelowTheMinimumIsNone) {
  Rules rules = BottomRow();
  // Row 9's heads around column 5 keep their colours; column 6 takes column
  // 5's face, so the pair is a face group and nothing else.
  const Head left = *rules.GetBoard().At(Cell(5, 9));
  const Head right = *rules.GetBoard().At(Cell(6, 9));
  rules.Place(Cell(6, 9), Head{right.colour, left.face});
  for (int c : {4, 7}) ASSERT_NE(rules.GetBoard().At(Cell(c, 9))->face, left.face);
  for (int g = 0; g < kGuys; ++g) rules.TakeOff(g);
  EXPECT_TRUE(GroupCells(rules, Cell(5, 9), GroupKey::kColour).empty());
  EXPECT_EQ(GroupCells(rules, Cell(6, 9), GroupKey::kFace), (std::vector<int>{Cell(6, 9), Cell(5, 9)}));
  EXPECT_TRUE(AnyMoveLeft(rules));
  rules.SetMinimumGroup(3);
  EXPECT_TRUE(GroupCells(rules, Cell(6, 9), GroupKey::kFace).empty());
  EXPECT_EQ(PointsOfClick(rules, Cell(6, 9), GroupKey::kFace), 0);
  EXPECT_FALSE(AnyMoveLeft(rules));
  // With groups of one, any head is a move.
  rules.SetMinimumGroup(1);
  EXPECT_TRUE(AnyMoveLeft(rules));
}

TEST(PointsOfClick, WhatTheClickWouldAddAndNothingElse) {
  Rules rules = BottomRow();
  rules.Place(Cell(0, 8), Head{2, 3});
  rules.Place(Cell(1, 8), Head{2, 2});
  // 100 and 200 as the heads crack, then their 300 times a multiplier of 1.
  EXPECT_EQ(PointsOfClick(rules, Cell(1, 8), GroupKey::kColour), 600);
  // A twin raises the multiplier to 2 and shows it instead of its points.
  rules.Place(Cell(1, 8), Head{2, 3});
  EXPECT_EQ(PointsOfClick(rules, Cell(0, 8), GroupKey::kColour), 100 + 300 * 2);
  EXPECT_EQ(PointsOfClick(rules, Cell(0, 0), GroupKey::kColour), 0) << "no head";
  EXPECT_EQ(rules.Score(), 0);
  EXPECT_EQ(rules.GetBoard().Count(), kColumns + 2) << "the board is left as it was";

  // With a score already, the same pair adds the same.
  rules.Apply({Action::Kind::kClickColour, Cell(0, 8)});
  ASSERT_EQ(rules.Score(), 700);
  rules.Place(Cell(0, 8), Head{2, 3});
  rules.Place(Cell(1, 8), Head{2, 3});
  EXPECT_EQ(PointsOfClick(rules, Cell(1, 8), GroupKey::kColour), 700);
}

}  // namespace
