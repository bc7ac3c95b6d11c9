// Both button state machines and their edge rules, image choice, pixel hit
// test, ownership of image surfaces, and the button set.
#include "widgets/button.h"

#include <gtest/gtest.h>

#include "tests/widgets/framework_test_support.h"
#include "widgets/redraw_manager.h"

using namespace fwtest;

namespace {

constexpr int kLeft = 1;

class ButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGraphics();
    redrawManager.DropAll();
    back = BackBuffer();
    ASSERT_NE(back, nullptr);
    FillRect(back, 0, 0, 200, 200, kWhite);
  }
  void TearDown() override { redrawManager.DropAll(); }

  // Image i is a solid w x h surface of Colour(i).
  static IDirectDrawSurface* Solid(int i, int w = 20, int h = 10) {
    IDirectDrawSurface* s = NewSurface(w, h);
    FillAll(s, Colour(i));
    return s;
  }
  static uint16_t Colour(int i) { return static_cast<uint16_t>(0x8000 + 0x0800 * (i + 1)); }
  static Button* WithImages(int count, int x = 10, int y = 10) {
    Button* b = new Button(x, y);
    for (int i = 0; i < count; ++i) b->AddImage(i, Solid(i));
    return b;
  }

  IDirectDrawSurface* back = nullptr;
};

TEST_F(ButtonTest, PolledPressWhereverThePressBegan) {
  std::unique_ptr<Button> b(WithImages(3));  // hit rectangle (10, 10, 20, 10)
  // Held outside, moved over while held: pressed; released there: a click.
  EXPECT_EQ(b->UpdateMouse(0, 0, kLeft), kButtonNormal);
  EXPECT_EQ(b->UpdateMouse(15, 15, kLeft), kButtonPressed);
  EXPECT_EQ(Pixel(back, 10, 10), Colour(2));  // redrawn on the change
  EXPECT_EQ(b->WasClicked(), 0);
  EXPECT_EQ(b->UpdateMouse(15, 15, 0), kButtonOver);
  EXPECT_EQ(b->WasClicked(), 1);
  EXPECT_EQ(b->clickKind, 1);
  EXPECT_EQ(Pixel(back, 10, 10), Colour(1));
  // The pulse lasts one update.
  EXPECT_EQ(b->UpdateMouse(15, 15, 0), kButtonOver);
  EXPECT_EQ(b->WasClicked(), 0);
  // Leaving while held returns to normal; coming back while held presses again.
  b->UpdateMouse(15, 15, kLeft);
  EXPECT_EQ(b->UpdateMouse(40, 15, kLeft), kButtonNormal);
  EXPECT_EQ(b->UpdateMouse(29, 19, kLeft), kButtonPressed);
  // Release outside: no click.
  EXPECT_EQ(b->UpdateMouse(30, 19, 0), kButtonNormal);
  EXPECT_EQ(b->WasClicked(), 0);
  EXPECT_EQ(b->IsMouseOver(), 0);
}

TEST_F(ButtonTest, TheRightAndBottomEdgesAreOutside) {
  std::unique_ptr<Button> b(WithImages(1));  // hit x 10..30, y 10..20
  b->SetOffset(5, 0);                         // left = 15
  b->UpdateMouse(35, 20, 0);
  EXPECT_EQ(b->IsMouseOver(), 0);
  b->UpdateMouse(34, 19, 0);
  EXPECT_EQ(b->IsMouseOver(), 1);
  b->UpdateMouse(14, 19, 0);
  EXPECT_EQ(b->IsMouseOver(), 0);
}

TEST_F(ButtonTest, DisabledButtonIgnoresTheMouseAndNeverCountsAsPressed) {
  ButtonSet set;
  Button* b = WithImages(3);
  b->SetName("go");
  set.Add(b);
  set.UpdateAll(12, 12, kLeft);
  set.UpdateAll(12, 12, 0);
  EXPECT_EQ(set.WasPressed("go"), 1);
  b->SetEnabled(0);
  EXPECT_EQ(set.WasPressed("go"), 0);  // clicked, but disabled
  EXPECT_EQ(set.FindClicked(), nullptr);
  set.UpdateAll(100, 100, kLeft);  // ignored: the pulse and state stay
  EXPECT_EQ(b->clicked, 1);
  EXPECT_EQ(b->GetState(), kButtonOver);
  FillRect(back, 0, 0, 50, 50, kWhite);
  set.DrawAll();
  EXPECT_EQ(Pixel(back, 10, 10), kWhite);  // not redrawn
  b->SetEnabled(1);
  b->Reset();
  EXPECT_EQ(b->GetState(), kButtonNormal);
  EXPECT_EQ(Pixel(back, 10, 10), Colour(0));
}

TEST_F(ButtonTest, ImageChoiceFollowsStateBaseForcedAndFixed) {
  std::unique_ptr<Button> two(WithImages(2));
  two->SetState(kButtonPressed);
  two->DrawTo(back);
  EXPECT_EQ(Pixel(back, 10, 10), Colour(1));  // state 2 past two images: the last

  std::unique_ptr<Button> three(WithImages(3, 50, 50));
  three->SetState(kButtonPressed);
  three->SetImageBase(1);  // redraws: 2 + 1 = 3 is past the list: the last, the third
  EXPECT_EQ(Pixel(back, 50, 50), Colour(2));
  three->SetState(kButtonOver);
  three->Redraw();  // 1 + 1 = 2
  EXPECT_EQ(Pixel(back, 50, 50), Colour(2));
  three->SetState(kButtonNormal);
  three->Redraw();
  EXPECT_EQ(Pixel(back, 50, 50), Colour(1));
  three->SetFixedFirstImage(1);
  three->Redraw();
  EXPECT_EQ(Pixel(back, 50, 50), Colour(0));
  three->SetForcedImage(2);
  EXPECT_EQ(three->GetForcedImage(), 2);
  three->Redraw();
  EXPECT_EQ(Pixel(back, 50, 50), Colour(2));
  // A forced index outside the list draws nothing.
  FillRect(back, 50, 50, 20, 10, kWhite);
  three->SetForcedImage(7);
  three->Redraw();
  EXPECT_EQ(Pixel(back, 50, 50), kWhite);

  // No images: nothing drawn, nothing queued.
  Button none(0, 0, 10, 10);
  none.SetDirtyReporting(1);
  none.Redraw();
  EXPECT_EQ(Pixel(back, 0, 0), kWhite);
  EXPECT_TRUE(redrawManager.List(redrawManager.CurrentList()).empty());

  // SwapFirstTwoImages exchanges the records and redraws.
  two->SetState(kButtonNormal);
  two->SwapFirstTwoImages();
  EXPECT_EQ(Pixel(back, 10, 10), Colour(1));
}

TEST_F(ButtonTest, DrawingStretchesIntoTheRectangleAndReportsIt) {
  Button b(5, 100, 40, 20);
  IDirectDrawSurface* img = NewSurface(4, 2);
  FillAll(img, kRed);
  SetPixel(img, 0, 0, kBlue);
  b.AddImage(0, img);  // the image sets the size: 4 x 2
  EXPECT_EQ(b.width, 4);
  EXPECT_EQ(b.hitHeight, 2);
  b.width = 8;  // a drawing size larger than the image stretches it
  b.height = 4;
  b.SetOffset(10, 0);
  b.SetDirtyReporting(1);
  b.Draw(nullptr);
  EXPECT_EQ(Pixel(back, 15, 100), kWhite);  // keyed blue, stretched 2 x 2
  EXPECT_EQ(Pixel(back, 16, 101), kWhite);
  EXPECT_EQ(Pixel(back, 17, 100), kRed);
  EXPECT_EQ(Pixel(back, 22, 103), kRed);
  EXPECT_EQ(Pixel(back, 23, 103), kWhite);
  const auto& queued = redrawManager.List(redrawManager.CurrentList());
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].x, 15);
  EXPECT_EQ(queued[0].width, 8);
  EXPECT_EQ(queued[0].flags, 0x1001);
}

TEST_F(ButtonTest, ALargerSecondImageGrowsTheSizeButNotTheHitOrigin) {
  Button b(30, 40);
  b.SetHitRect(32, 44, 5, 5);
  b.AddImage(0, Solid(0, 10, 6));
  b.AddImage(1, Solid(1, 16, 12));
  EXPECT_EQ(b.width, 16);
  EXPECT_EQ(b.height, 12);
  EXPECT_EQ(b.hitWidth, 16);
  EXPECT_EQ(b.hitHeight, 12);
  EXPECT_EQ(b.hitX, 32);
  EXPECT_EQ(b.hitY, 44);
  EXPECT_EQ(b.images[1].number, 1);
  EXPECT_EQ(b.images[1].surface->ColorKey(), kBlue);
}

TEST_F(ButtonTest, PixelHitTestIgnoresKeyPixelsOfTheFirstImage) {
  Button b(0, 0);
  IDirectDrawSurface* img = NewSurface(10, 10);
  FillAll(img, kRed);
  FillRect(img, 0, 0, 5, 10, kBlue);  // left half transparent
  b.AddImage(0, img);
  b.SetPixelHitTest(1);
  b.SetHitRect(0, 0, 20, 10);  // wider than image 0
  // Held over a key pixel: no press.
  EXPECT_EQ(b.UpdateMouse(2, 2, kLeft), kButtonNormal);
  EXPECT_EQ(b.UpdateMouse(7, 2, kLeft), kButtonPressed);
  // Released over an opaque pixel: a click.
  EXPECT_EQ(b.UpdateMouse(7, 2, 0), kButtonOver);
  EXPECT_EQ(b.WasClicked(), 1);
  // Released over a key pixel: back to normal, no click.
  b.UpdateMouse(7, 2, kLeft);
  EXPECT_EQ(b.UpdateMouse(2, 2, 0), kButtonNormal);
  EXPECT_EQ(b.WasClicked(), 0);
  // Inside the hit rectangle but outside image 0: transparent, never read.
  EXPECT_EQ(b.UpdateMouse(15, 5, kLeft), kButtonNormal);
  EXPECT_EQ(b.UpdateMouse(15, 5, 0), kButtonNormal);
  EXPECT_EQ(b.IsMouseOver(), 1);

  // Without an image 0 nothing changes.
  Button bare(0, 0, 10, 10);
  bare.SetPixelHitTest(1);
  bare.SetState(kButtonOver);
  EXPECT_EQ(bare.UpdateMouse(5, 5, kLeft), kButtonOver);
  EXPECT_EQ(bare.UpdateMouse(5, 5, 0), kButtonOver);
}

TEST_F(ButtonTest, LoadsImagesAndStrips) {
  const std::string strip = WriteBmp(ScratchDir() + "/buttonstrip.bmp", 30, 8, [](int x, int) {
    return x < 10 ? 0xFF0000u : x < 20 ? 0x00FF00u : 0xFFFFFFu;
  });
  Button b(0, 0);
  b.LoadImageStrip(strip.c_str(), 3, 0);
  ASSERT_EQ(b.images.size(), 3u);
  EXPECT_EQ(b.width, 10);
  EXPECT_EQ(b.height, 8);
  EXPECT_EQ(Pixel(b.images[1].surface, 0, 0), kGreen);
  EXPECT_EQ(b.images[2].number, 2);
  // Integer cell widths: 4 asked of 30 columns gives 7-wide cells, 4 of them.
  b.LoadImageStrip(strip.c_str(), 4, 0);
  EXPECT_EQ(b.images.size(), 7u);
  // 8 asked gives 3-wide cells, 10 of them: a strip that does not give the
  // asked number of cells adds nothing.
  b.LoadImageStrip(strip.c_str(), 8, 0);
  EXPECT_EQ(b.images.size(), 7u);
  Button c(0, 0);
  c.LoadImageStrip(strip.c_str(), 4, 1);  // 8 / 4 = 2 high: 4 cells, ok
  EXPECT_EQ(c.images.size(), 4u);
  Button d(0, 0);
  d.LoadImageStrip(strip.c_str(), 0, 0);
  d.LoadImageStrip(strip.c_str(), 40, 0);  // 0-wide cells: refused
  d.LoadImageStrip((ScratchDir() + "/none.bmp").c_str(), 3, 0);
  EXPECT_TRUE(d.images.empty());
  EXPECT_EQ(d.LoadImage(0, (ScratchDir() + "/none.bmp").c_str()), 0);
  EXPECT_EQ(d.LoadImage(0, strip.c_str()), 1);
  EXPECT_EQ(d.width, 30);
}

TEST_F(ButtonTest, TheButtonReleasesItsImageSurfaces) {
  IDirectDrawSurface* img = Solid(0);
  EXPECT_EQ(img->AddRef(), 2u);  // one reference kept by the test
  {
    Button b(0, 0);
    b.AddImage(0, img);
  }
  EXPECT_EQ(img->Release(), 0u);
}

TEST_F(ButtonTest, ButtonSetFindsPressesOffsetsAndRemoves) {
  ButtonSet set;
  Button* a = WithImages(3, 0, 0);
  a->SetName("newgame");
  Button* b = WithImages(3, 0, 0);  // the same place: both get the click
  b->SetName("help");
  set.Add(a);
  set.Add(b);
  set.Add(nullptr);
  EXPECT_EQ(set.Count(), 2);
  set.UpdateAll(5, 5, kLeft);
  set.UpdateAll(5, 5, 0);
  // Only the first clicked button counts.
  EXPECT_EQ(set.FindClicked(), a);
  EXPECT_EQ(set.WasPressed("newgame"), 1);
  EXPECT_EQ(set.WasPressed("help"), 0);
  EXPECT_EQ(set.WasPressed("NewGame"), 0);
  // The next update clears it.
  set.UpdateAll(5, 5, 0);
  EXPECT_EQ(set.WasPressed("newgame"), 0);

  set.SetOffsetAll(100, 50);
  EXPECT_EQ(set.offsetX, 100);
  EXPECT_EQ(b->offsetX, 100);
  EXPECT_EQ(b->offsetY, 50);
  set.UpdateAll(5, 5, kLeft);
  EXPECT_EQ(a->GetState(), kButtonNormal);
  set.UpdateAll(105, 55, kLeft);
  EXPECT_EQ(a->GetState(), kButtonPressed);

  EXPECT_EQ(set.Find("help"), b);
  EXPECT_EQ(set.Find("exit"), nullptr);
  set.Remove("newgame");
  EXPECT_EQ(set.Count(), 1);
  EXPECT_EQ(set.Find("newgame"), nullptr);
  set.Remove("newgame");
  set.Clear();
  EXPECT_EQ(set.Count(), 0);
}

}  // namespace
