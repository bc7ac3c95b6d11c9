// Sprite timing, play modes, drawing and loading, and the global sprite list's life cycle.
#include "widgets/sprite.h"

#include <gtest/gtest.h>

#include "gx/frame_clock.h"
#include "tests/widgets/framework_test_support.h"
#include "widgets/redraw_manager.h"

using namespace fwtest;

namespace {

// The clock is driven by hand: ClockTick(ms) moves the tick counter on by ms.
void Advance(int ms) { ClockTick(ms); }

class SpriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGraphics();
    redrawManager.DropAll();
    target = NewSurface(100, 80);
    FillAll(target, kWhite);
    redrawManager.SetTarget(target);
  }
  void TearDown() override {
    spriteList.Clear();
    redrawManager.DropAll();
    redrawManager.SetTarget(nullptr);
    target->Release();
  }
  // A sprite with n solid frames of w x h, frame i filled with Colour(i).
  static void AddFrames(Sprite& s, int n, int w = 6, int h = 4) {
    for (int i = 0; i < n; ++i) {
      IDirectDrawSurface* f = NewSurface(w, h);
      FillAll(f, Colour(i));
      s.AddFrame(f);
    }
  }
  static uint16_t Colour(int i) { return static_cast<uint16_t>(0x8000 + 0x100 * (i + 1)); }
  const std::vector<DirtyRect>& Queued() { return redrawManager.List(redrawManager.CurrentList()); }

  IDirectDrawSurface* target = nullptr;
};

TEST_F(SpriteTest, AnimateNeedsStrictlyMoreThanTheFrameDelay) {
  Sprite s;
  AddFrames(s, 5);
  s.SetPlayMode(kPlayLoop);
  s.SetAnimating(1);
  s.frameTime = GetTicks();
  // Delay 0: never twice within the same millisecond, once per elapsed millisecond.
  s.Animate();
  s.Animate();
  EXPECT_EQ(s.currentFrame, 0);
  Advance(1);
  s.Animate();
  EXPECT_EQ(s.currentFrame, 1);
  s.Animate();
  EXPECT_EQ(s.currentFrame, 1);
  Advance(1);
  s.Animate();
  EXPECT_EQ(s.currentFrame, 2);

  s.SetFrameDelay(30);
  Advance(30);
  s.Animate();
  EXPECT_EQ(s.currentFrame, 2);
  Advance(1);
  s.Animate();
  EXPECT_EQ(s.currentFrame, 3);

  // A sprite without frames ignores Animate.
  Sprite empty;
  empty.SetAnimating(1);
  Advance(5);
  empty.Animate();
  EXPECT_EQ(empty.currentFrame, 0);
  EXPECT_EQ(empty.frameTime, 0);
}

struct ModeCase {
  int mode;
  int step;
  int startFrame;
  int expectFrame;
  int expectAnimating;
};

TEST_F(SpriteTest, PlayModesAtBothEndsOfTheRange) {
  // Frames 0..5, range [1, 4).
  const ModeCase cases[] = {
      {kPlayHold, 1, 3, 3, 0},      {kPlayHold, -1, 0, 1, 0},  {kPlayLoop, 1, 3, 1, 1},
      {kPlayLoop, -1, 0, 3, 1},     {kPlayRewind, 1, 3, 1, 0}, {kPlayRewind, -1, 0, 1, 0},
      {kPlayVanish, 1, 3, -1, 0},   {kPlayVanish, -1, 0, -1, 0},
  };
  for (const ModeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " step " << c.step);
    Sprite s;
    AddFrames(s, 6);
    s.SetFrameRange(1, 4);
    s.SetPlayMode(c.mode);
    s.frameStep = c.step;
    s.SetCurrentFrame(c.startFrame);
    s.SetAnimating(1);
    s.frameTime = GetTicks();
    Advance(10);
    s.Animate();
    EXPECT_EQ(s.currentFrame, c.expectFrame);
    EXPECT_EQ(s.animating, c.expectAnimating);
  }
}

TEST_F(SpriteTest, LoopingBackwardsWrapsFromFrameZeroToTheLastFrame) {
  Sprite s;
  AddFrames(s, 4);
  s.SetPlayMode(kPlayLoop);
  s.frameStep = -1;
  s.SetAnimating(1);
  s.frameTime = GetTicks();
  int seen[6];
  for (int& f : seen) {
    Advance(10);
    s.Animate();
    f = s.currentFrame;
  }
  EXPECT_EQ(seen[0], 3);
  EXPECT_EQ(seen[1], 2);
  EXPECT_EQ(seen[3], 0);
  EXPECT_EQ(seen[4], 3);
}

TEST_F(SpriteTest, EndOfRangeRulesApplyEvenWhenNotAnimating) {
  Sprite s;
  AddFrames(s, 3);
  s.SetPlayMode(kPlayRewind);
  s.SetCurrentFrame(7);  // unchecked
  s.frameTime = GetTicks();
  Advance(1);
  s.Animate();
  EXPECT_EQ(s.currentFrame, 0);
}

TEST_F(SpriteTest, AddFrameResetsTheRangeAndTakesTheNewestSize) {
  Sprite s;
  EXPECT_EQ(s.AddFrame(nullptr), 1);
  EXPECT_EQ(s.FrameCount(), 0);
  EXPECT_EQ(s.rangeStart, -1);
  AddFrames(s, 3, 6, 4);
  s.SetFrameRange(1, 2);
  IDirectDrawSurface* big = NewSurface(9, 7);
  s.AddFrame(big);
  EXPECT_EQ(s.rangeStart, 0);
  EXPECT_EQ(s.rangeEnd, 4);
  EXPECT_EQ(s.width, 9);
  EXPECT_EQ(s.height, 7);
  EXPECT_EQ(s.sourceRect.w, 9);
  EXPECT_EQ(big->ColorKey(), kBlue);
  s.SelectFrame(4);
  EXPECT_EQ(s.currentFrame, 0);
  s.SelectFrame(3);
  EXPECT_EQ(s.currentFrame, 3);
  s.SelectFrame(-1);
  EXPECT_EQ(s.currentFrame, 3);
}

TEST_F(SpriteTest, DrawToPlacesTheFrameAndQueuesItsRectangle) {
  Sprite s;
  AddFrames(s, 2, 5, 3);
  s.SetCentred(1);
  s.x = 10.7f;
  s.y = 20.2f;
  s.SetCurrentFrame(1);
  s.Draw();
  // Centred, 5 wide at x = 10.7: left = trunc(10.7 - 2) = 8; top = trunc(20.2 - 1) = 19.
  EXPECT_EQ(Pixel(target, 8, 19), Colour(1));
  EXPECT_EQ(Pixel(target, 12, 21), Colour(1));
  EXPECT_EQ(Pixel(target, 7, 19), kWhite);
  EXPECT_EQ(Pixel(target, 13, 19), kWhite);
  ASSERT_EQ(Queued().size(), 1u);
  EXPECT_EQ(Queued()[0].x, 8);
  EXPECT_EQ(Queued()[0].y, 19);
  EXPECT_EQ(Queued()[0].width, 5);
  EXPECT_EQ(Queued()[0].flags, 0x1001);

  // Not centred, partly off the target: clipped, rectangle queued as drawn.
  redrawManager.DropAll();
  s.SetCentred(0);
  s.SetPosition(97, -1);
  s.DrawTo(target);
  EXPECT_EQ(Pixel(target, 97, 0), Colour(1));
  EXPECT_EQ(Pixel(target, 99, 1), Colour(1));
  ASSERT_EQ(Queued().size(), 1u);
  EXPECT_EQ(Queued()[0].x, 97);
  EXPECT_EQ(Queued()[0].y, -1);

  // Invisible: nothing drawn, still queued. No dirty reporting: drawn, not queued.
  redrawManager.DropAll();
  FillAll(target, kWhite);
  s.SetPosition(0, 0);
  s.SetVisible(0);
  s.Draw();
  EXPECT_EQ(Pixel(target, 0, 0), kWhite);
  EXPECT_EQ(Queued().size(), 1u);
  s.SetVisible(1);
  s.SetDirtyReporting(0);
  s.Draw();
  EXPECT_EQ(Pixel(target, 0, 0), Colour(1));
  EXPECT_EQ(Queued().size(), 1u);

  // A frame index outside the list draws and queues nothing.
  s.SetDirtyReporting(1);
  FillAll(target, kWhite);
  s.SetCurrentFrame(2);
  s.Draw();
  s.SetCurrentFrame(-1);
  s.Draw();
  EXPECT_EQ(Pixel(target, 0, 0), kWhite);
  EXPECT_EQ(Queued().size(), 1u);
}

TEST_F(SpriteTest, DrawRegionIgnoresPositionAndKeysOutBlue) {
  Sprite s;
  IDirectDrawSurface* f = NewSurface(8, 8);
  Pattern(f);
  SetPixel(f, 3, 3, kBlue);
  s.AddFrame(f);
  s.SetCentred(1);
  s.SetPosition(50, 50);
  s.DrawRegion(2, 2, 3, 3, target, 20, 30);
  EXPECT_EQ(Pixel(target, 20, 30), PatternAt(2, 2));
  EXPECT_EQ(Pixel(target, 21, 31), kWhite);  // the blue key pixel
  EXPECT_EQ(Pixel(target, 22, 32), PatternAt(4, 4));
  EXPECT_EQ(Pixel(target, 23, 30), kWhite);
  ASSERT_EQ(Queued().size(), 1u);
  EXPECT_EQ(Queued()[0].x, 20);
  EXPECT_EQ(Queued()[0].width, 3);
}

TEST_F(SpriteTest, StepFrameIsTimedAndNeverWraps) {
  Sprite s;
  AddFrames(s, 3);
  s.SetFrameDelay(20);
  s.frameTime = GetTicks();
  EXPECT_EQ(s.StepFrame(), 0);  // frameTime >= now
  Advance(1);
  EXPECT_EQ(s.StepFrame(), 1);
  EXPECT_EQ(s.currentFrame, 1);
  EXPECT_EQ(s.frameTime, GetTicks() + 20);
  Advance(20);
  EXPECT_EQ(s.StepFrame(), 0);
  Advance(1);
  EXPECT_EQ(s.StepFrame(), 1);
  EXPECT_EQ(s.currentFrame, 2);
  Advance(21);
  EXPECT_EQ(s.StepFrame(), 1);  // due, but frame 3 does not exist
  EXPECT_EQ(s.currentFrame, 2);
  s.frameStep = -1;
  s.SetFrameRange(2, 3);  // the range is not consulted
  Advance(21);
  s.StepFrame();
  EXPECT_EQ(s.currentFrame, 1);
}

TEST_F(SpriteTest, LoadStripKeepsTheWholeWidthUntilDivided) {
  const std::string path = WriteBmp(ScratchDir() + "/strip.bmp", 200, 50, [](int x, int) {
    return static_cast<uint32_t>((x / 50) * 0x400000 + 0x100000);
  });
  Sprite s;
  EXPECT_EQ(s.LoadStrip(path.c_str(), 4, 0), 4);
  ASSERT_EQ(s.FrameCount(), 4);
  EXPECT_EQ(s.frames[3]->Width(), 50);
  EXPECT_EQ(s.frames[3]->Height(), 50);
  EXPECT_EQ(s.width, 200);
  EXPECT_EQ(s.height, 50);
  EXPECT_EQ(s.rangeStart, 0);
  EXPECT_EQ(s.rangeEnd, 4);
  EXPECT_NE(Pixel(s.frames[0], 0, 0), Pixel(s.frames[1], 0, 0));
  EXPECT_EQ(Pixel(s.frames[2], 0, 0), Pixel(s.frames[2], 49, 49));
  s.DivideWidthByFrames();
  EXPECT_EQ(s.width, 50);

  Sprite v;
  EXPECT_EQ(v.LoadStrip(path.c_str(), 5, 1), 5);
  EXPECT_EQ(v.frames[0]->Width(), 200);
  EXPECT_EQ(v.frames[0]->Height(), 10);

  Sprite missing;
  EXPECT_EQ(missing.LoadStrip((ScratchDir() + "/nothing.bmp").c_str(), 4, 0), 0);
  EXPECT_EQ(missing.rangeStart, -1);
}

TEST_F(SpriteTest, LoadGridCutsCellsAndSetsTheCellSize) {
  const std::string path = WriteSolidBmp(ScratchDir() + "/grid.bmp", 45, 20, 0x00FF00);
  Sprite s;
  EXPECT_EQ(s.LoadGrid(path.c_str(), 20, 10), 4);
  EXPECT_EQ(s.width, 20);
  EXPECT_EQ(s.height, 10);
  EXPECT_EQ(s.rangeEnd, 4);
  EXPECT_EQ(Pixel(s.frames[3], 19, 9), kGreen);
  Sprite missing;
  EXPECT_EQ(missing.LoadGrid((ScratchDir() + "/nothing.bmp").c_str(), 20, 10), 0);
  EXPECT_EQ(missing.rangeStart, 0);
  EXPECT_EQ(missing.rangeEnd, 0);
}

TEST_F(SpriteTest, AddFrameFromFileAddsNothingForAMissingFile) {
  Sprite s;
  EXPECT_EQ(s.AddFrameFromFile((ScratchDir() + "/nothing.bmp").c_str()), 1);
  EXPECT_EQ(s.FrameCount(), 0);
  const std::string path = WriteSolidBmp(ScratchDir() + "/one.bmp", 7, 3, 0xFF0000);
  EXPECT_EQ(s.AddFrameFromFile(path.c_str()), 1);
  EXPECT_EQ(s.FrameCount(), 1);
  EXPECT_EQ(s.width, 7);
}

TEST_F(SpriteTest, CopiesShareFramesAndLeaveThemToTheSource) {
  Sprite* source = new Sprite();
  AddFrames(*source, 2);
  source->SetName("guy");
  source->x = 3.5f;
  source->vx = 1.25f;
  source->SetFrameDelay(40);
  source->SetPlayMode(kPlayVanish);
  source->SetFrameRange(1, 2);
  IDirectDrawSurface* frame0 = source->frames[0];
  {
    Sprite copy(*source);
    EXPECT_EQ(copy.sharedFrames, 1);
    EXPECT_EQ(source->sharedFrames, 0);
    ASSERT_EQ(copy.FrameCount(), 2);
    EXPECT_EQ(copy.frames[0], frame0);
    EXPECT_STREQ(copy.name, "guy");
    EXPECT_FLOAT_EQ(copy.x, 3.5f);
    EXPECT_FLOAT_EQ(copy.vx, 1.25f);
    EXPECT_EQ(copy.frameDelay, 40);
    EXPECT_EQ(copy.playMode, kPlayVanish);
    EXPECT_EQ(copy.rangeStart, 1);  // copied after the frames were added
    EXPECT_EQ(copy.rangeEnd, 2);
    copy.Move();
    EXPECT_FLOAT_EQ(copy.x, 4.75f);
  }
  // The copy is gone; the frames are still the source's alone.
  EXPECT_EQ(frame0->AddRef(), 2u);
  EXPECT_EQ(frame0->Release(), 1u);
  delete source;
}

TEST_F(SpriteTest, SpriteListLifeCycle) {
  Sprite source;
  AddFrames(source, 3, 4, 4);
  source.SetName("crumble");
  source.SetPlayMode(kPlayVanish);
  source.SetAnimating(1);
  source.SetFrameDelay(10);
  source.SetPosition(5, 5);
  source.SetCurrentFrame(2);

  EXPECT_FALSE(spriteList.HasList());
  Sprite* first = spriteList.Add(source);
  EXPECT_TRUE(spriteList.HasList());
  EXPECT_EQ(source.currentFrame, 0);  // restarted at rangeStart
  EXPECT_EQ(source.frameTime, GetTicks());
  EXPECT_EQ(first->currentFrame, 0);
  EXPECT_EQ(first->sharedFrames, 1);
  source.SetPosition(50, 5);
  Sprite* second = spriteList.Add(source);
  EXPECT_EQ(spriteList.Find("crumble"), first);  // the oldest of the same name
  EXPECT_EQ(spriteList.Find("Crumble"), nullptr);

  // Each DrawAll animates then draws; the vanish mode ends after the last frame.
  spriteList.DrawAll(target);
  EXPECT_EQ(Pixel(target, 5, 5), Colour(0));
  for (int frame = 1; frame < 3; ++frame) {
    Advance(11);
    spriteList.DrawAll(target);
    EXPECT_EQ(Pixel(target, 5, 5), Colour(frame));
    EXPECT_EQ(Pixel(target, 50, 5), Colour(frame));
  }
  EXPECT_EQ(spriteList.Count(), 2);
  FillAll(target, kWhite);
  Advance(11);
  spriteList.DrawAll(target);
  EXPECT_EQ(Pixel(target, 5, 5), kWhite);  // not drawn
  EXPECT_EQ(spriteList.Count(), 0);        // both taken out ...
  EXPECT_EQ(first->currentFrame, -1);      // ... but still valid until Clear
  EXPECT_EQ(second->animating, 0);
  EXPECT_EQ(spriteList.Find("crumble"), nullptr);

  // Remove takes a clone out by name; the pointer stays valid.
  source.SetPlayMode(kPlayLoop);
  source.SetName("guy");
  Sprite* guy = spriteList.Add(source);
  spriteList.Remove("nobody");
  EXPECT_EQ(spriteList.Count(), 1);
  spriteList.Remove("guy");
  EXPECT_EQ(spriteList.Count(), 0);
  EXPECT_STREQ(guy->name, "guy");

  spriteList.Clear();
  EXPECT_FALSE(spriteList.HasList());
  Sprite* again = spriteList.Add(source);
  EXPECT_TRUE(spriteList.Contains(again));
  spriteList.Clear();
  // The source kept its frames through all of it.
  EXPECT_EQ(source.frames[0]->AddRef(), 2u);
  source.frames[0]->Release();
}

}  // namespace
