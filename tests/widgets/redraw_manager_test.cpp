// The two alternating dirty-rectangle lists: what is queued in one frame is
// presented at the end of the next, and rectangles of a replaced target or
// background are dropped.
#include "widgets/redraw_manager.h"

#include <gtest/gtest.h>

#include "tests/widgets/framework_test_support.h"
#include "gx/surface.h"

using namespace fwtest;

namespace {

class RedrawManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGraphics();
    target = NewSurface(64, 48);
    background = NewSurface(64, 48);
    dest = NewSurface(64, 48);
    Pattern(target);
    FillAll(background, kGreen);
    FillAll(dest, kWhite);
    Flush();
    redrawManager.SetTarget(target);
    redrawManager.SetBackground(background);
  }
  void TearDown() override {
    Flush();
    redrawManager.SetTarget(nullptr);
    redrawManager.SetBackground(nullptr);
    target->Release();
    background->Release();
    dest->Release();
  }
  static void Flush() { redrawManager.DropAll(); }
  // The end-of-frame step of a screen.
  void EndFrame() {
    redrawManager.SwapLists();
    redrawManager.Present(dest);
  }
  size_t Queued() const { return redrawManager.List(0).size() + redrawManager.List(1).size(); }

  IDirectDrawSurface* target = nullptr;
  IDirectDrawSurface* background = nullptr;
  IDirectDrawSurface* dest = nullptr;
};

TEST_F(RedrawManagerTest, RectanglesArePresentedAtTheEndOfTheNextFrame) {
  redrawManager.AddDirtyRect(RECT{2, 3, 12, 8}, kDirtyOneShot, kDirtyPresent);
  redrawManager.AddDirtyRect(40, 30, 5, 6, kDirtyOneShot, kDirtyPresent);
  const auto& queued = redrawManager.List(redrawManager.CurrentList());
  ASSERT_EQ(queued.size(), 2u);
  EXPECT_EQ(queued[0].x, 2);
  EXPECT_EQ(queued[0].width, 10);
  EXPECT_EQ(queued[0].height, 5);
  EXPECT_EQ(queued[0].flags, 0x1001);
  EXPECT_EQ(queued[0].target, target);
  EXPECT_EQ(queued[0].background, background);

  EndFrame();  // the frame they were queued in: the other list is presented
  EXPECT_EQ(Pixel(dest, 2, 3), kWhite);
  EXPECT_EQ(Queued(), 2u);

  EndFrame();  // the next frame: both appear and are freed
  EXPECT_EQ(Pixel(dest, 2, 3), PatternAt(2, 3));
  EXPECT_EQ(Pixel(dest, 11, 7), PatternAt(11, 7));
  EXPECT_EQ(Pixel(dest, 12, 7), kWhite);
  EXPECT_EQ(Pixel(dest, 11, 8), kWhite);
  EXPECT_EQ(Pixel(dest, 44, 35), PatternAt(44, 35));
  EXPECT_EQ(Pixel(dest, 45, 35), kWhite);
  EXPECT_EQ(Queued(), 0u);
}

TEST_F(RedrawManagerTest, SetTargetDropsPendingRectanglesOfTheOldTarget) {
  // Queued in the previous frame (now the other list) and in this frame.
  redrawManager.AddDirtyRect(0, 0, 8, 8, kDirtyOneShot, kDirtyPresent);
  redrawManager.SwapLists();
  redrawManager.AddDirtyRect(10, 10, 8, 8, kDirtyOneShot, kDirtyPresent);
  IDirectDrawSurface* other = NewSurface(64, 48);
  FillAll(other, kRed);
  redrawManager.SetTarget(other);
  // This frame's rectangle is gone at once.
  EXPECT_TRUE(redrawManager.List(redrawManager.CurrentList()).empty());
  // Last frame's is presented now but skipped: its target was replaced.
  EndFrame();
  EXPECT_EQ(Pixel(dest, 0, 0), kWhite);
  EXPECT_EQ(Pixel(dest, 10, 10), kWhite);
  EXPECT_EQ(Queued(), 0u);
  redrawManager.SetTarget(target);
  other->Release();
}

TEST_F(RedrawManagerTest, PresentKeepsTheDestinationUnderTheTargetsKeyColour) {
  SetColorKeyRGB(target, 0, 0, 0);
  FillRect(target, 4, 4, 2, 2, kBlack);
  redrawManager.AddDirtyRect(0, 0, 10, 10, kDirtyOneShot, kDirtyPresent);
  EndFrame();
  EndFrame();
  EXPECT_EQ(Pixel(dest, 3, 3), PatternAt(3, 3));
  EXPECT_EQ(Pixel(dest, 4, 4), kWhite);
  EXPECT_EQ(Pixel(dest, 5, 5), kWhite);
}

TEST_F(RedrawManagerTest, RestoreCopiesTheBackgroundAtOnceAndQueuesTheArea) {
  FillRect(background, 20, 20, 1, 1, kBlack);
  SetColorKeyRGB(background, 0, 0, 0);
  redrawManager.RestoreRect(RECT{16, 16, 26, 24});
  EXPECT_EQ(Pixel(target, 16, 16), kGreen);
  EXPECT_EQ(Pixel(target, 25, 23), kGreen);
  EXPECT_EQ(Pixel(target, 26, 23), PatternAt(26, 23));
  // The background's key applies: its black pixel leaves the target as it was.
  EXPECT_EQ(Pixel(target, 20, 20), PatternAt(20, 20));
  const auto& queued = redrawManager.List(redrawManager.CurrentList());
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].width, 10);
  EXPECT_EQ(queued[0].height, 8);
  EXPECT_EQ(queued[0].flags, 0x1001);
  EndFrame();
  EndFrame();
  EXPECT_EQ(Pixel(dest, 16, 16), kGreen);
  EXPECT_EQ(Pixel(dest, 15, 16), kWhite);
}

TEST_F(RedrawManagerTest, RestoreAllAndQueueAllCoverTheWholeTarget) {
  redrawManager.QueueAll();
  EndFrame();
  EndFrame();
  EXPECT_EQ(Pixel(dest, 0, 0), PatternAt(0, 0));
  EXPECT_EQ(Pixel(dest, 63, 47), PatternAt(63, 47));
  redrawManager.RestoreAll();
  EXPECT_EQ(Pixel(target, 63, 47), kGreen);
  EndFrame();
  EndFrame();
  EXPECT_EQ(Pixel(dest, 0, 0), kGreen);
  EXPECT_EQ(Pixel(dest, 63, 47), kGreen);
}

TEST_F(RedrawManagerTest, RestoreFlagAndPersistentAndBothListRectangles) {
  // 0x2000 without 0x1000: background -> target, then target -> destination.
  redrawManager.AddDirtyRect(0, 0, 4, 4, kDirtyOneShot, kDirtyRestore);
  // Not one-shot and in both lists: presented at every frame end.
  redrawManager.AddDirtyRect(30, 30, 4, 4, 0, kDirtyPresent | kDirtyBothLists);
  EXPECT_EQ(redrawManager.List(0).size() + redrawManager.List(1).size(), 3u);
  EndFrame();
  EXPECT_EQ(Pixel(dest, 30, 30), PatternAt(30, 30));
  EXPECT_EQ(Pixel(dest, 0, 0), kWhite);
  EndFrame();
  EXPECT_EQ(Pixel(target, 0, 0), kGreen);
  EXPECT_EQ(Pixel(dest, 0, 0), kGreen);
  EXPECT_EQ(Queued(), 2u);  // the persistent pair stays
  FillAll(dest, kWhite);
  EndFrame();
  EXPECT_EQ(Pixel(dest, 31, 31), PatternAt(31, 31));
  // A restore rectangle whose background was replaced does not restore.
  redrawManager.SetBackground(nullptr);
  FillRect(target, 8, 8, 4, 4, kRed);
  redrawManager.AddDirtyRect(8, 8, 4, 4, kDirtyOneShot, kDirtyRestore);
  redrawManager.SetBackground(background);
  EndFrame();
  EndFrame();
  EXPECT_EQ(Pixel(target, 8, 8), kRed);
  EXPECT_EQ(Pixel(dest, 8, 8), kRed);
}

TEST_F(RedrawManagerTest, BackBufferIsTheLibrarysBackSurface) {
  EXPECT_NE(redrawManager.GetBackBuffer(), nullptr);
  EXPECT_EQ(redrawManager.GetBackBuffer(), BackBuffer());
  EXPECT_EQ(redrawManager.GetBackBuffer()->Width(), 800);
}

}  // namespace
