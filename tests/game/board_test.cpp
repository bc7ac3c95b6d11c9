// The board: the deal, cells under points, groups, scoring with twins and
// falling.
#include "game_test_support.h"

namespace {

using gametest::CountSound;
using gametest::GameFixture;

// The deal of one board, written out again from the rules: a colour under
// its quota, then a face under its quota, cell by cell.
std::vector<int> DealFromSeed(uint32_t seed) {
  lcg::srand(seed);
  std::vector<int> heads;
  int colours[5] = {}, faces[5] = {};
  while (heads.size() < 150) {
    int c = lcg::rand() % 5;
    if (colours[c] >= 30) continue;
    ++colours[c];
    int v = lcg::rand() % 5;
    while (faces[v] >= 30) v = lcg::rand() % 5;
    ++faces[v];
    heads.push_back(c * 5 + v);
  }
  return heads;
}

TEST_F(GameFixture, TheDealFollowsTheSeedAndKeepsEveryQuota) {
  for (uint32_t seed : {1u, 42u, 123456789u}) {
    const std::vector<int> expected = DealFromSeed(seed);
    lcg::srand(seed);
    game.NewGame();
    int colours[5] = {}, faces[5] = {};
    for (int cell = 0; cell < 150; ++cell) {
      const Block* b = game.At(cell);
      ASSERT_NE(b, nullptr);
      EXPECT_EQ(Head(cell), expected[cell]) << "seed " << seed << " cell " << cell;
      EXPECT_EQ(b->cell, cell);
      EXPECT_EQ(b->visible, 1);
      EXPECT_FLOAT_EQ(b->x, 137.0f + (cell % 15) * 41);
      EXPECT_FLOAT_EQ(b->y, 10.0f + (cell / 15) * 55);
      ++colours[b->colour];
      ++faces[b->face];
    }
    for (int k = 0; k < 5; ++k) {
      EXPECT_EQ(colours[k], 30);
      EXPECT_EQ(faces[k], 30);
    }
  }
  EXPECT_EQ(game.CellWidth(), 41);
  EXPECT_EQ(game.CellHeight(), 55);
  EXPECT_EQ(game.GetState(), Game::kIdle);
  EXPECT_EQ(gametest::CountSound("reveal"), 3);
}

TEST_F(GameFixture, CellAtMapsOnlyPointsInsideTheBoard) {
  EXPECT_EQ(game.CellAt(137, 10), 0);
  EXPECT_EQ(game.CellAt(136, 10), -1);
  EXPECT_EQ(game.CellAt(137, 9), -1);
  EXPECT_EQ(game.CellAt(177, 64), 0);
  EXPECT_EQ(game.CellAt(178, 65), 16);
  EXPECT_EQ(game.CellAt(751, 10), 14);
  EXPECT_EQ(game.CellAt(752, 10), -1);
  EXPECT_EQ(game.CellAt(137, 559), 135);
  EXPECT_EQ(game.CellAt(137, 560), -1);
  EXPECT_EQ(game.CellAt(751, 559), 149);
  EXPECT_EQ(game.At(150), nullptr);
  EXPECT_EQ(game.At(-1), nullptr);
}

TEST_F(GameFixture, AGroupBelowTheMinimumIsRejectedAndScoresNothing) {
  ClearBoard();
  game.PlaceBlock(Cell(4, 9), 1, 2);
  game.PlaceBlock(Cell(5, 9), 2, 2);
  game.SetScore(700);
  game.RemoveGroup(Cell(4, 9), 0);
  EXPECT_EQ(CountSound("negative"), 1);
  EXPECT_EQ(CountSound("crack"), 0);
  EXPECT_NE(game.At(Cell(4, 9)), nullptr);
  EXPECT_EQ(game.GetScore(), 700);
  EXPECT_EQ(game.GroupPoints(), 0);
  EXPECT_EQ(game.PopupCount(), 0);

  // The same head by face has a partner; with a minimum of 1 a single head goes too.
  game.RemoveGroup(Cell(4, 9), 1);
  EXPECT_EQ(game.At(Cell(4, 9)), nullptr);
  EXPECT_EQ(game.At(Cell(5, 9)), nullptr);
  EXPECT_EQ(game.GetScore(), 700 + 600);
  game.PlaceBlock(Cell(0, 9), 3, 3);
  game.SetMinimumGroup(1);
  game.RemoveGroup(Cell(0, 9), 0);
  EXPECT_EQ(game.At(Cell(0, 9)), nullptr);
  EXPECT_EQ(game.GetScore(), 1300 + 200);
  EXPECT_EQ(game.GroupPoints(), 200);
  // Clicking an empty cell does nothing at all, not even "negative".
  gametest::Sounds().clear();
  game.RemoveGroup(Cell(0, 9), 0);
  EXPECT_TRUE(gametest::Sounds().empty());
  EXPECT_EQ(game.GetScore(), 1500);
}

TEST_F(GameFixture, ColourAndFaceGroupsFollowTheirKeyInDiscoveryOrder) {
  ClearBoard();
  // Bottom row: colour 0 on columns 0..3, faces 1 1 2 2; column 4 colour 3 face 2.
  game.PlaceBlock(Cell(0, 9), 0, 1);
  game.PlaceBlock(Cell(1, 9), 0, 1);
  game.PlaceBlock(Cell(2, 9), 0, 2);
  game.PlaceBlock(Cell(3, 9), 0, 2);
  game.PlaceBlock(Cell(4, 9), 3, 2);
  game.PlaceBlock(Cell(2, 8), 0, 4);  // above column 2: same colour, other face

  std::vector<Block*> byColour;
  game.FindGroup(Cell(2, 9), 0, byColour);
  std::vector<int> cells;
  for (Block* b : byColour) cells.push_back(b->cell);
  // Clicked head, then left first, right next, up, down, depth first.
  EXPECT_EQ(cells, (std::vector<int>{Cell(2, 9), Cell(1, 9), Cell(0, 9), Cell(3, 9), Cell(2, 8)}));

  std::vector<Block*> byFace;
  game.FindGroup(Cell(3, 9), 1, byFace);
  cells.clear();
  for (Block* b : byFace) cells.push_back(b->cell);
  EXPECT_EQ(cells, (std::vector<int>{Cell(3, 9), Cell(2, 9), Cell(4, 9)}));

  // A right click removes the face group across colours. Its first two heads
  // are twins (colour 0, face 2): x2, and the third takes a points pop-up.
  game.RemoveGroup(Cell(3, 9), 1);
  EXPECT_EQ(game.At(Cell(4, 9)), nullptr);
  EXPECT_EQ(game.At(Cell(2, 9)), nullptr);
  EXPECT_NE(game.At(Cell(1, 9)), nullptr);
  EXPECT_EQ(game.Multiplier(), 2);
  EXPECT_EQ(game.GetScore(), 100 + 300 + 600 * 2);
  EXPECT_EQ(game.GroupPoints(), 600 + 1200);
  EXPECT_EQ(CountSound("crack"), 3);
  EXPECT_EQ(CountSound("bonus"), 1);
  // 100, x2, 300, then the group's sum times its multiplier: they add up to the score.
  ASSERT_EQ(game.PopupCount(), 4);
  int shown = 0;
  for (const ScorePopup* popup : game.Popups()) shown += popup->points;
  EXPECT_EQ(shown, game.GetScore());
  EXPECT_EQ(game.Popups().back()->points, 600 * 2);
}

TEST_F(GameFixture, TwinsRaiseTheMultiplierOncePerEarlierHead) {
  ClearBoard();
  // One colour along the bottom row; faces A A B A give two twins.
  game.PlaceBlock(Cell(0, 9), 2, 0);
  game.PlaceBlock(Cell(1, 9), 2, 0);
  game.PlaceBlock(Cell(2, 9), 2, 3);
  game.PlaceBlock(Cell(3, 9), 2, 0);
  game.RemoveGroup(Cell(0, 9), 0);
  EXPECT_EQ(game.Multiplier(), 3);
  EXPECT_EQ(CountSound("bonus"), 2);
  // Points pop-ups only for heads 0 and 2 (100 + 300), then 1000 x 3.
  EXPECT_EQ(game.GetScore(), 400 + 3000);
  EXPECT_EQ(game.GroupPoints(), 1000 + 3000);
}

TEST_F(GameFixture, PointsPopupsShowTheHeadsColourAndPlaceInTheGroup) {
  ClearBoard();
  // Five heads of colour 3 with five faces: no twins, five points pop-ups.
  for (int c = 0; c < 5; ++c) game.PlaceBlock(Cell(c, 9), 3, c);
  game.RemoveGroup(Cell(0, 9), 0);
  ASSERT_EQ(game.PopupCount(), 6);  // and the group's sum last
  ASSERT_EQ(game.TileCount(), 150);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(game.Popups()[i]->frames.at(0), game.ScoreTiles()[(29 - i) * 5 + 3]) << "head " << i;
}

TEST_F(GameFixture, MultipliersAbove26ShowTheX26Image) {
  ClearBoard();
  // 28 heads of one colour and face: two full rows less two cells.
  for (int c = 0; c < 15; ++c) game.PlaceBlock(Cell(c, 9), 4, 4);
  for (int c = 0; c < 13; ++c) game.PlaceBlock(Cell(c, 8), 4, 4);
  game.SetMinimumGroup(2);
  game.RemoveGroup(Cell(0, 9), 0);
  EXPECT_EQ(game.Multiplier(), 28);
  EXPECT_EQ(game.GetScore(), 100 + 50 * 28 * 29 * 28);
  ASSERT_FALSE(game.Popups().empty());
  Sprite* strip = gameScreen.MultiplierStrip();
  ASSERT_NE(strip, nullptr);
  ASSERT_EQ(strip->FrameCount(), 25);
  // Head k (from 1) raises the multiplier to k + 1, whose image is the strip's
  // 25 - k: x2 its last, x26 its first, which also shows for more. The newest
  // pop-ups are still up: x24 .. x28 here, x2 .. x5 below.
  auto expectImages = [&](int heads) {
    const int shown = game.PopupCount() - 1;  // the last one is the group's sum
    for (int j = 0; j < shown && j < heads - 1; ++j) {
      const int k = heads - 1 - j;
      EXPECT_EQ(game.Popups()[static_cast<size_t>(shown - 1 - j)]->frames.at(0), strip->frames[k < 25 ? 25 - k : 0])
          << "x" << k + 1;
    }
    return shown;
  };
  EXPECT_GE(expectImages(28), 4);
  ClearBoard();
  for (int c = 0; c < 5; ++c) game.PlaceBlock(Cell(c, 9), 4, 4);
  game.RemoveGroup(Cell(0, 9), 0);
  EXPECT_GE(expectImages(5), 4);
}

TEST_F(GameFixture, AColumnDropsTwoCellsInOneSettleWithOneBlockhit) {
  ClearBoard();
  for (int r = 0; r < 10; ++r) game.PlaceBlock(Cell(6, r), r % 2, 1 + r % 3);
  game.PlaceBlock(Cell(6, 6), 4, 0);
  game.PlaceBlock(Cell(6, 7), 4, 4);
  const Block* top = game.At(Cell(6, 0));
  const Block* above = game.At(Cell(6, 5));
  game.RemoveGroup(Cell(6, 7), 0);
  gametest::Sounds().clear();
  game.Settle();
  EXPECT_EQ(CountSound("blockhit"), 1);
  EXPECT_EQ(game.At(Cell(6, 7)), above);
  EXPECT_EQ(game.At(Cell(6, 2)), top);
  EXPECT_EQ(game.At(Cell(6, 0)), nullptr);
  EXPECT_EQ(game.At(Cell(6, 1)), nullptr);
  EXPECT_FLOAT_EQ(above->y, 10.0f + 7 * 55);
  // Nothing left to fall: a second settle is silent.
  gametest::Sounds().clear();
  game.Settle();
  EXPECT_EQ(CountSound("blockhit"), 0);
}

TEST_F(GameFixture, CleanupFreesEverythingAndCanRunTwice) {
  game.SetMinimumGroup(1);
  game.RemoveGroup(Cell(7, 9), 0);
  ASSERT_GT(game.PopupCount(), 0);
  game.Cleanup();
  game.Cleanup();
  EXPECT_EQ(game.BlockCount(), 0);
  EXPECT_EQ(game.PopupCount(), 0);
  EXPECT_EQ(game.TileCount(), 0);
  EXPECT_EQ(game.Dots(), nullptr);
  game.NewGame();
  EXPECT_EQ(game.BlockCount(), 150);
  EXPECT_EQ(game.TileCount(), 150);
}

}  // namespace
