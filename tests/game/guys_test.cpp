// The guys' orders: walking, holes, pushes to the far edge and squashing.
#include "game_test_support.h"

namespace {

using gametest::CountSound;
using gametest::GameFixture;

void FillRows(int fromRow, int toRow) {
  for (int r = fromRow; r <= toRow; ++r)
    for (int c = 0; c < 15; ++c) game.PlaceBlock(c + r * 15, (c + r) % 5, (c * 2 + r) % 5);
}

std::vector<int> Snapshot() {
  std::vector<int> heads;
  for (int cell = 0; cell < 150; ++cell) {
    const Block* b = game.At(cell);
    heads.push_back(b ? b->colour * 5 + b->face : -1);
  }
  return heads;
}

TEST_F(GameFixture, AGuyStopsInFrontOfAHoleAndWalksHome) {
  ClearBoard();
  FillRows(5, 9);
  // Row 4: heads from column 5 on; below column 3 there is no head.
  for (int c = 5; c < 15; ++c) game.PlaceBlock(Cell(c, 4), 1, 1);
  game.PlaceBlock(Cell(3, 5), -1, 0);
  for (int r = 6; r < 10; ++r) game.PlaceBlock(Cell(3, r), 2, 2);
  const std::vector<int> before = Snapshot();
  const int start = GetTicks();
  game.PushRight(4);
  // 250 start, steps onto columns 0..2, 450 blocked, three steps back.
  EXPECT_GE(TicksSince(start), 250 + 3 * 150 + 450 + 3 * 150);
  EXPECT_LT(TicksSince(start), 250 + 3 * 150 + 450 + 3 * 150 + 100);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(CountSound("yessir"), 1);
  EXPECT_EQ(CountSound("slide"), 0);
  Sprite* guy = spriteList.Find("guy4");
  ASSERT_NE(guy, nullptr);
  EXPECT_FLOAT_EQ(guy->x, 99.0f);
  EXPECT_FLOAT_EQ(guy->y, 4 * 55 + 10.0f);
  EXPECT_EQ(guy->currentFrame, 0);
}

TEST_F(GameFixture, InTheBottomRowAGuyPushesTheRunAgainstTheFarEdge) {
  ClearBoard();
  for (int c = 5; c <= 8; ++c) game.PlaceBlock(Cell(c, 9), c - 5, 0);
  game.PushRight(9);
  for (int c = 0; c < 11; ++c) EXPECT_EQ(game.At(Cell(c, 9)), nullptr) << c;
  for (int c = 11; c <= 14; ++c) {
    ASSERT_NE(game.At(Cell(c, 9)), nullptr) << c;
    EXPECT_EQ(game.At(Cell(c, 9))->colour, c - 11);
    EXPECT_FLOAT_EQ(game.At(Cell(c, 9))->x, 137.0f + c * 41);
  }
  EXPECT_EQ(CountSound("slide"), 6 * 4);
  Sprite* guy = spriteList.Find("guy9");
  ASSERT_NE(guy, nullptr);
  EXPECT_FLOAT_EQ(guy->x, 99.0f);
  EXPECT_EQ(guy->currentFrame, 0);

  // Already packed: the right-hand guy walks to the run and back, pushing nothing.
  gametest::Sounds().clear();
  const std::vector<int> before = Snapshot();
  game.PushRight(9);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(CountSound("slide"), 0);
}

// The mirror side, with two runs: the first one pushed joins the second and
// the five heads end packed against the left edge in their order. The
// left-hand guy's push of the mirrored row takes exactly as long.
TEST_F(GameFixture, ARightHandGuyPushesTwoRunsAgainstTheLeftEdgeInOrder) {
  const int colours[] = {3, 4, -1, -1, -1, 0, 1, 2};  // columns 3..10
  ClearBoard();
  for (int c = 3; c <= 10; ++c)
    if (colours[c - 3] >= 0) game.PlaceBlock(Cell(14 - c, 9), colours[c - 3], c % 5);
  int start = GetTicks();
  game.PushRight(9);
  const int rightTime = TicksSince(start);

  ClearBoard();
  for (int c = 3; c <= 10; ++c)
    if (colours[c - 3] >= 0) game.PlaceBlock(Cell(c, 9), colours[c - 3], c % 5);
  gametest::Sounds().clear();
  Sprite* guy = spriteList.Find("guy19");
  ASSERT_NE(guy, nullptr);
  const float home = guy->x;
  start = GetTicks();
  game.PushLeft(9);
  EXPECT_EQ(TicksSince(start), rightTime);
  const int expected[] = {3, 4, 0, 1, 2};
  for (int c = 0; c < 5; ++c) {
    ASSERT_NE(game.At(Cell(c, 9)), nullptr) << c;
    EXPECT_EQ(game.At(Cell(c, 9))->colour, expected[c]) << c;
    EXPECT_FLOAT_EQ(game.At(Cell(c, 9))->x, 137.0f + c * 41);
  }
  for (int c = 5; c < 15; ++c) EXPECT_EQ(game.At(Cell(c, 9)), nullptr) << c;
  // Three steps of the three-head run, then three of all five.
  EXPECT_EQ(CountSound("slide"), 3 * 3 + 3 * 5);
  ASSERT_EQ(spriteList.Find("guy19"), guy);
  EXPECT_FLOAT_EQ(guy->x, home) << "he walked all the way home";
  EXPECT_EQ(guy->currentFrame, 0);
}

TEST_F(GameFixture, APushedHeadDropsIntoAHoleAtOnce) {
  ClearBoard();
  FillRows(9, 9);
  game.PlaceBlock(Cell(5, 9), -1, 0);
  game.PlaceBlock(Cell(6, 8), 4, 4);
  game.Settle();  // nothing falls: the fall counter starts at 0
  gametest::Sounds().clear();
  game.PushLeft(8);
  // Shifted from column 6 onto 5, which has no head beneath: it drops to row 9.
  EXPECT_EQ(game.At(Cell(5, 8)), nullptr);
  EXPECT_EQ(game.At(Cell(6, 8)), nullptr);
  ASSERT_NE(game.At(Cell(5, 9)), nullptr);
  EXPECT_EQ(game.At(Cell(5, 9))->colour, 4);
  EXPECT_EQ(CountSound("slide"), 1);
  EXPECT_EQ(CountSound("blockhit"), 1);
  EXPECT_NE(spriteList.Find("guy18"), nullptr);
}

TEST_F(GameFixture, AHeadFallingIntoTheVacatedCellSquashesTheGuy) {
  ClearBoard();
  FillRows(5, 9);
  for (int c = 0; c < 14; ++c) game.PlaceBlock(Cell(c, 4), 2, c % 5);
  game.PlaceBlock(Cell(0, 3), 0, 3);
  Block* falling = game.At(Cell(0, 3));
  game.PushRight(4);
  EXPECT_EQ(spriteList.Find("guy4"), nullptr);
  EXPECT_EQ(game.At(Cell(0, 4)), falling);
  for (int c = 1; c < 15; ++c) EXPECT_EQ(game.At(Cell(c, 4))->colour, 2) << c;
  ASSERT_EQ(CountSound("squish"), 1);
  ASSERT_EQ(CountSound("ahh"), 1);
  const auto& s = gametest::Sounds();
  EXPECT_LT(std::find(s.begin(), s.end(), "squish"), std::find(s.begin(), s.end(), "ahh"));

  // Gone for the rest of the game: his order does nothing, not even "yessir".
  gametest::Sounds().clear();
  const int start = GetTicks();
  game.PushRight(4);
  EXPECT_TRUE(gametest::Sounds().empty());
  EXPECT_EQ(TicksSince(start), 0);
  // A new game brings every guy back.
  game.NewGame();
  EXPECT_NE(spriteList.Find("guy4"), nullptr);
}

TEST_F(GameFixture, AnOrderForAMissingRightHandGuyStillAnswers) {
  spriteList.Remove("guy13");
  const std::vector<int> before = Snapshot();
  const int start = GetTicks();
  game.PushLeft(3);
  EXPECT_EQ(CountSound("yessir"), 1);
  EXPECT_GE(TicksSince(start), 250);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(GameFixture, AnEmptyRowShowsTheBlockedPose) {
  ClearBoard();
  const int start = GetTicks();
  game.PushLeft(2);
  EXPECT_GE(TicksSince(start), 250 + 450);
  EXPECT_LT(TicksSince(start), 250 + 450 + 50);
  Sprite* guy = spriteList.Find("guy12");
  ASSERT_NE(guy, nullptr);
  EXPECT_EQ(guy->currentFrame, 0);
  EXPECT_FLOAT_EQ(guy->x, 751.0f);
}

}  // namespace
