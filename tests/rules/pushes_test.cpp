// The guys' pushes and a whole game replayed from a seed and actions.
#include "rules_test_support.h"

namespace {

using namespace quibbleton;
using rulestest::All;
using rulestest::Cell;

TEST(Pushes, TheRunGoesToTheFarEdgeAndTheGuyWalksHome) {
  Rules rules;
  rulestest::Clear(rules);
  for (int c = 5; c <= 8; ++c) rules.Place(Cell(c, 9), Head{c - 5, 0});
  // Guy 9 stands at the left end of the bottom row.
  const Events events = rules.Order(9);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(std::get<event::OrderHeard>(events.front()).guy, 9);
  EXPECT_EQ(std::get<event::GuyHome>(events.back()).guy, 9);
  for (int c = 11; c <= 14; ++c) EXPECT_EQ(rules.GetBoard().At(Cell(c, 9))->colour, c - 11);
  EXPECT_EQ(rules.GetBoard().Count(), 4);
  EXPECT_EQ(All<event::HeadPushed>(events).size(), 6u * 4u);
  const auto pushed = All<event::GuyPushed>(events);
  ASSERT_EQ(pushed.size(), 6u);
  EXPECT_EQ(pushed.back().cell, Cell(10, 9));
  // In to column 4, then onto the cell each push left (the last time to find
  // the run packed); home from column 10.
  EXPECT_EQ(All<event::GuyWalked>(events).size(), 5u + 6u);
  const auto back = All<event::GuyWalkedBack>(events);
  ASSERT_EQ(back.size(), 11u);
  EXPECT_EQ(back.front().cell, Cell(10, 9));
  EXPECT_EQ(back.back().cell, Cell(0, 9));
  EXPECT_EQ(rules.Score(), 0);
}

TEST(Pushes, AGuyStopsBeforeAHoleAndAPushedHeadDropsIntoOne) {
  Rules rules;
  rulestest::Clear(rules);
  rulestest::FillRows(rules, 5, 9);
  // Row 4: a run from column 5 with room to go; below column 3 a hole.
  for (int c = 5; c < 14; ++c) rules.Place(Cell(c, 4), Head{1, 1});
  rules.Place(Cell(3, 5), std::nullopt);
  for (int r = 6; r < 10; ++r) rules.Place(Cell(3, r), Head{2, 2});
  const Events stopped = rules.Order(4);
  EXPECT_EQ(All<event::GuyWalked>(stopped).size(), 3u);
  EXPECT_EQ(All<event::GuyBlocked>(stopped).size(), 1u);
  EXPECT_TRUE(All<event::HeadPushed>(stopped).empty());
  EXPECT_EQ(All<event::GuyWalkedBack>(stopped).size(), 3u);

  // Right-hand guy 18 pushes row 8 left: the head crosses the hole at column 5.
  rulestest::Clear(rules);
  rulestest::FillRows(rules, 9, 9);
  rules.Place(Cell(5, 9), std::nullopt);
  rules.Place(Cell(6, 8), Head{4, 4});
  rules.Settle();
  const Events dropped = rules.Order(18);
  // In from column 14 to column 7 before the push; home again to column 14.
  const auto walked = All<event::GuyWalked>(dropped);
  ASSERT_EQ(walked.size(), 8u);
  EXPECT_EQ(walked.front().cell, Cell(14, 8));
  EXPECT_EQ(All<event::GuyWalkedBack>(dropped).back().cell, Cell(14, 8));
  const auto fell = All<event::HeadFell>(dropped);
  ASSERT_EQ(fell.size(), 1u);
  EXPECT_EQ(fell[0].from, Cell(5, 8));
  EXPECT_EQ(fell[0].to, Cell(5, 9));
  EXPECT_TRUE(fell[0].first);
  EXPECT_TRUE(rules.Standing(18));
}

TEST(Pushes, AHeadFallingIntoTheVacatedCellSquashesTheGuyUntilTheNextDeal) {
  Rules rules;
  rulestest::Clear(rules);
  rulestest::FillRows(rules, 5, 9);
  for (int c = 0; c < 14; ++c) rules.Place(Cell(c, 4), Head{2, c % 5});
  rules.Place(Cell(0, 3), Head{0, 3});
  const Events events = rules.Order(4);
  const auto pushed = All<event::GuyPushed>(events);
  ASSERT_EQ(pushed.size(), 1u);
  EXPECT_TRUE(pushed[0].squashed);
  EXPECT_TRUE(std::holds_alternative<event::GuyPushed>(events.back()));
  EXPECT_EQ(*rules.GetBoard().At(Cell(0, 4)), (Head{0, 3}));
  EXPECT_FALSE(rules.Standing(4));
  EXPECT_TRUE(rules.Order(4).empty());

  // A right-hand guy off the board still answers, and does nothing more.
  rules.TakeOff(0);
  EXPECT_FALSE(rules.Standing(0));
  rules.TakeOff(13);
  const Events answer = rules.Order(13);
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_EQ(std::get<event::OrderHeard>(answer[0]).guy, 13);

  Lcg random(5);
  rules.Deal(random);
  EXPECT_TRUE(rules.Standing(4) && rules.Standing(13));
}

TEST(Pushes, AnEmptyRowBlocksAndALoneHeadGoesAllTheWay) {
  Rules rules;
  rulestest::Clear(rules);
  rulestest::FillRows(rules, 1, 9);
  const Events empty = rules.Order(0);
  ASSERT_EQ(empty.size(), 3u);
  EXPECT_TRUE(std::holds_alternative<event::OrderHeard>(empty[0]));
  EXPECT_TRUE(std::holds_alternative<event::GuyBlocked>(empty[1]));
  EXPECT_TRUE(std::holds_alternative<event::GuyHome>(empty[2]));

  // A head on the guy's own cell: no step in, fourteen pushes.
  rules.Place(Cell(0, 0), Head{3, 3});
  const Events pushed = rules.Order(0);
  EXPECT_EQ(All<event::HeadPushed>(pushed).size(), 14u);
  EXPECT_EQ(*rules.GetBoard().At(Cell(14, 0)), (Head{3, 3}));
  // The right-hand guy pushes a full run into the one hole, at column 0.
  for (int c = 1; c < 14; ++c) rules.Place(Cell(c, 0), Head{c % 5, 0});
  EXPECT_EQ(All<event::HeadPushed>(rules.Order(10)).size(), 14u);
  EXPECT_EQ(*rules.GetBoard().At(Cell(13, 0)), (Head{3, 3}));
  EXPECT_EQ(rules.GetBoard().At(Cell(14, 0)), nullptr);
  // Orders for no guy at all do nothing.
  EXPECT_TRUE(rules.Order(-1).empty());
  EXPECT_TRUE(rules.Order(kGuys).empty());
  EXPECT_TRUE(rules.Order(kGuys + 5).empty());
}

TEST(Replay, AClickTakesItsKindOfGroupAndTheBoardSettles) {
  Rules rules;
  rulestest::Clear(rules);
  rules.Place(Cell(0, 9), Head{0, 1});
  rules.Place(Cell(1, 9), Head{2, 1});
  rules.Place(Cell(1, 8), Head{2, 3});
  // By colour the head is alone and refused; by face it goes with its neighbour.
  EXPECT_TRUE(All<event::HeadCracked>(rules.Apply({Action::Kind::kClickColour, Cell(0, 9)})).empty());
  EXPECT_EQ(All<event::HeadCracked>(rules.Apply({Action::Kind::kClickFace, Cell(0, 9)})).size(), 2u);
  EXPECT_EQ(*rules.GetBoard().At(Cell(1, 9)), (Head{2, 3}));
  EXPECT_EQ(rules.GetBoard().Count(), 1);
}

// What a verified score needs: the same seed and actions give the same
// events and score, and the events' points add up to it.
TEST(Replay, ASeedAndActionsGiveOneScore) {
  std::vector<Action> actions;
  for (int k = 0; k < 60; ++k) {
    const Action::Kind kind = k % 7 == 3 ? Action::Kind::kOrder
                              : k % 2   ? Action::Kind::kClickFace
                                        : Action::Kind::kClickColour;
    actions.push_back({kind, kind == Action::Kind::kOrder ? (k * 3) % kGuys : (k * 37) % kCells});
  }
  const auto play = [&actions](Events* all) {
    Rules rules;
    Lcg random(11);
    rules.Deal(random);
    for (const Action& a : actions)
      for (const Event& e : rules.Apply(a)) all->push_back(e);
    return rules.Score();
  };
  Events first, second;
  const int score = play(&first);
  EXPECT_EQ(play(&second), score);
  EXPECT_EQ(first.size(), second.size());
  EXPECT_GT(score, 0);
  int sum = 0;
  for (const auto& e : All<event::HeadCracked>(first)) sum += e.points;
  for (const auto& e : All<event::GroupScored>(first)) sum += e.points;
  EXPECT_EQ(sum, score);
}

}  // namespace
