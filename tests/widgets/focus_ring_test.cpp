// The focus ring's choice of the next target, on plain rectangles.
#include <gtest/gtest.h>

#include "gx/key_queue.h"
#include "widgets/focus_ring.h"

namespace {

FocusTarget At(const char* name, int x, int y) { return {name, RECT{x, y, x + 40, y + 20}}; }

// A title-menu-like layout: two columns and a button between them, lower down.
const std::vector<FocusTarget> kTargets = {
    At("a", 50, 300), At("b", 630, 300), At("c", 50, 370), At("d", 630, 370), At("mid", 280, 330),
};

class FocusRingTest : public ::testing::Test {
 protected:
  void SetUp() override { FocusRing::Hide(); }
  FocusRing::Result Key(int code) { return ring.HandleKey(code, kTargets); }
  FocusRing ring;
};

TEST_F(FocusRingTest, FirstKeyOnlyShowsThenArrowsGoToTheNearestThatWay) {
  ring.Focus("a");
  EXPECT_EQ(Key(KeyQueue::kEnter), FocusRing::Result::kShown);  // a hidden ring presses nothing
  EXPECT_EQ(ring.Focused(), "a");
  EXPECT_TRUE(FocusRing::Shown());
  // Right from a: "mid" is nearer ahead but off to the side; it still wins over
  // b, which is straight ahead but far.
  EXPECT_EQ(Key(KeyQueue::kRight), FocusRing::Result::kMoved);
  EXPECT_EQ(ring.Focused(), "mid");
  EXPECT_EQ(Key(KeyQueue::kRight), FocusRing::Result::kMoved);
  EXPECT_EQ(ring.Focused(), "b");
  // Straight down beats the diagonal.
  EXPECT_EQ(Key(KeyQueue::kDown), FocusRing::Result::kMoved);
  EXPECT_EQ(ring.Focused(), "d");
  // Nothing further down or right: it stays, and says so.
  EXPECT_EQ(Key(KeyQueue::kDown), FocusRing::Result::kBlocked);
  EXPECT_EQ(Key(KeyQueue::kRight), FocusRing::Result::kBlocked);
  EXPECT_EQ(ring.Focused(), "d");
  EXPECT_EQ(Key(KeyQueue::kSpace), FocusRing::Result::kPressed);
  EXPECT_EQ(Key(0x1E), FocusRing::Result::kNone);
}

// Layouts like the launcher's: two boxes of one column a pixel apart, a
// button to their left, and a row of buttons where the one at the right sits
// lower than its neighbours but overlaps their row.
TEST_F(FocusRingTest, OnlyTargetsPastTheEdgeCountAsThatWay) {
  const std::vector<FocusTarget> names = {
      {"name1", RECT{234, 373, 394, 413}}, {"name3", RECT{233, 415, 393, 455}}, {"left", RECT{52, 365, 202, 421}},
      {"enter", RECT{527, 489, 632, 533}}, {"back", RECT{661, 507, 737, 551}},
  };
  FocusRing::Show();
  ring.Focus("name1");
  EXPECT_EQ(ring.HandleKey(KeyQueue::kLeft, names), FocusRing::Result::kMoved);
  EXPECT_EQ(ring.Focused(), "left");
  ring.Focus("name3");
  EXPECT_EQ(ring.HandleKey(KeyQueue::kRight, names), FocusRing::Result::kMoved);
  EXPECT_EQ(ring.Focused(), "enter");  // not name1, one pixel to the right
  ring.Focus("back");
  EXPECT_EQ(ring.HandleKey(KeyQueue::kUp, names), FocusRing::Result::kMoved);
  EXPECT_EQ(ring.Focused(), "name3");  // over enter, whose middle is level with back's top
  ring.Focus("enter");
  EXPECT_EQ(ring.HandleKey(KeyQueue::kDown, names), FocusRing::Result::kBlocked);
}

TEST_F(FocusRingTest, ASingleTargetIsPressedByTheFirstKeyOthersAreShownFirst) {
  const std::vector<FocusTarget> one = {At("default", 0, 0)};
  EXPECT_EQ(ring.HandleKey(KeyQueue::kSpace, one), FocusRing::Result::kPressed);
  EXPECT_FALSE(FocusRing::Shown());
  EXPECT_EQ(ring.HandleKey(KeyQueue::kRight, one), FocusRing::Result::kShown);
  FocusRing::Hide();
  EXPECT_EQ(Key(KeyQueue::kSpace), FocusRing::Result::kShown);
}

TEST_F(FocusRingTest, TabCyclesInTableOrderAndShiftTabGoesBack) {
  FocusRing::Show();
  ring.Focus("mid");
  EXPECT_EQ(Key(KeyQueue::kTab), FocusRing::Result::kMoved);
  EXPECT_EQ(ring.Focused(), "a");  // wraps after the last
  EXPECT_EQ(Key(KeyQueue::kTab | KeyQueue::kShiftBit), FocusRing::Result::kMoved);
  EXPECT_EQ(ring.Focused(), "mid");
  // A focus that is no target (a button disabled since) starts over on the first.
  ring.Focus("gone");
  EXPECT_EQ(Key(KeyQueue::kTab), FocusRing::Result::kMoved);
  EXPECT_EQ(ring.Focused(), "b");
}

TEST_F(FocusRingTest, MouseMovementHidesEveryRing) {
  FocusRing::Show();
  FocusRing::NoteMouse(10, 10);
  FocusRing::NoteMouse(10, 10);
  EXPECT_TRUE(FocusRing::Shown());
  FocusRing::NoteMouse(11, 10);
  EXPECT_FALSE(FocusRing::Shown());
  EXPECT_EQ(ring.Describe(), "focus -\n");
}

}  // namespace
