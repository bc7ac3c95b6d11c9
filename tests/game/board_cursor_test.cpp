// The board cursor's steps: shown by the first key, over the cells and one
// step further onto the guys, never beyond.
#include <gtest/gtest.h>

#include "game/board_cursor.h"
#include "gx/key_queue.h"

namespace {

using Action = BoardCursor::Action;
constexpr int kZ = 0x2C, kX = 0x2D, kN = 0x31;

TEST(BoardCursor, FirstKeyShowsItInPlaceThenArrowsReachTheGuysAndStop) {
  BoardCursor cursor(15, 10);
  EXPECT_EQ(cursor.HandleKey(KeyQueue::kSpace), Action::kNone);  // hidden: shown, no click
  EXPECT_TRUE(cursor.Shown());
  EXPECT_EQ(cursor.Column(), 0);
  EXPECT_EQ(cursor.HandleKey(KeyQueue::kLeft), Action::kNone);
  EXPECT_EQ(cursor.Column(), -1);
  EXPECT_TRUE(cursor.OnGuy());
  cursor.HandleKey(KeyQueue::kLeft);
  cursor.HandleKey(KeyQueue::kUp);
  EXPECT_EQ(cursor.Describe(), "cursor -1 0 shown\n");
  for (int i = 0; i < 30; ++i) cursor.HandleKey(KeyQueue::kRight);
  for (int i = 0; i < 30; ++i) cursor.HandleKey(KeyQueue::kDown);
  EXPECT_EQ(cursor.Describe(), "cursor 15 9 shown\n");

  EXPECT_EQ(cursor.HandleKey(KeyQueue::kSpace), Action::kLeftClick);
  EXPECT_EQ(cursor.HandleKey(kZ), Action::kLeftClick);
  EXPECT_EQ(cursor.HandleKey(kX), Action::kRightClick);
  EXPECT_EQ(cursor.HandleKey(KeyQueue::kSpace | KeyQueue::kShiftBit), Action::kRightClick);

  // The mouse hides it; the next arrow shows it where it was.
  cursor.NoteMouse(5, 5);
  cursor.NoteMouse(6, 5);
  EXPECT_FALSE(cursor.Shown());
  EXPECT_EQ(cursor.HandleKey(KeyQueue::kUp), Action::kNone);
  EXPECT_EQ(cursor.Describe(), "cursor 15 9 shown\n");
  // New game goes home, even from a hidden cursor, and the letter keys act at once.
  cursor.NoteMouse(7, 5);
  EXPECT_EQ(cursor.HandleKey(kN), Action::kNewGame);
  cursor.Home();
  EXPECT_EQ(cursor.Describe(), "cursor 0 0 hidden\n");
}

}  // namespace
