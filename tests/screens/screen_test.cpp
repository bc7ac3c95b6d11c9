// The screen base class: images and INI image lists, the per-visit life,
// Flip and its delegate, and a small scene drawn through the whole framework.
#include "screens/screen.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/win/bitmap.h"
#include "platform/device/clock.h"
#include "platform/device/input.h"
#include "platform/automation/script.h"
#include "gx/mouse_cursor.h"
#include "tests/widgets/framework_test_support.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"
#include "widgets/sprite.h"
#include "gx/surface.h"

using namespace fwtest;

namespace {

constexpr uint16_t kGrey = Rgb565(128, 128, 128);
constexpr uint16_t kYellow = Rgb565(255, 255, 0);
constexpr uint16_t kCyan = Rgb565(0, 255, 255);
constexpr uint16_t kMagenta = Rgb565(255, 0, 255);

// Runs a test body inside a fresh folder of the scratch directory.
class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGraphics();
    redrawManager.DropAll();
    old = std::filesystem::current_path();
    dir = std::filesystem::path(ScratchDir()) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
  }
  void TearDown() override {
    std::filesystem::current_path(old);
    redrawManager.DropAll();
    redrawManager.SetTarget(nullptr);
    redrawManager.SetBackground(nullptr);
  }
  static void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
  }
  static size_t ImageCount(Screen& s) { return s.GetImages() ? s.GetImages()->size() : 0; }

  std::filesystem::path old, dir;
};

TEST_F(ScreenTest, IniImageListExample) {
  WriteSolidBmp("art/logo.bmp", 30, 20, 0xFF0000);
  WriteSolidBmp("play.bmp", 12, 8, 0x00FF00);
  WriteText("screen.ini",
            "[images]\nimage01=logo\nimage02=play\n\n"
            "[logo]\nfile=art\\logo.bmp\nx=10\ny=20\n\n"
            "[play]\nx=300\n");
  Screen s;
  s.LoadImages(".\\screen.ini");
  ASSERT_EQ(ImageCount(s), 2u);
  ScreenImage* logo = (*s.GetImages())[0];
  ScreenImage* play = (*s.GetImages())[1];
  EXPECT_STREQ(logo->name, "logo");
  EXPECT_EQ(logo->x, 10);
  EXPECT_EQ(logo->y, 20);
  ASSERT_NE(logo->surface, nullptr);
  EXPECT_EQ(logo->width, 30);
  EXPECT_EQ(logo->height, 20);
  EXPECT_EQ(logo->surface->ColorKey(), 0u);  // black key for screen pictures
  EXPECT_STREQ(play->name, "play");
  EXPECT_EQ(play->x, 300);
  EXPECT_EQ(play->y, 0);
  ASSERT_NE(play->surface, nullptr);  // play.bmp from the current folder
  EXPECT_EQ(play->width, 12);
  EXPECT_EQ(s.FindImage("play"), play);
}

TEST_F(ScreenTest, IniListStopsAtTheFirstGapAndKeepsUnloadableImages) {
  WriteText("gap.ini", "[images]\nimage01=one\nimage03=three\n[one]\nfile=missing.bmp\nx=abc\ny=7\n");
  WriteText("none.ini", "[other]\nimage01=one\n");
  Screen s;
  s.LoadImages("none.ini");
  EXPECT_EQ(ImageCount(s), 0u);
  s.LoadImages("gap.ini");
  ASSERT_EQ(ImageCount(s), 1u);
  ScreenImage* one = (*s.GetImages())[0];
  EXPECT_STREQ(one->name, "one");
  EXPECT_EQ(one->surface, nullptr);
  EXPECT_EQ(one->width, 0);
  EXPECT_EQ(one->height, 0);
  EXPECT_EQ(one->x, 0);  // atoi("abc")
  EXPECT_EQ(one->y, 7);
  // An image without a surface draws nothing but is found.
  EXPECT_EQ(s.DrawImage(BackBuffer(), "one"), 1);
  s.LoadImages("no-such-file.ini");
  EXPECT_EQ(ImageCount(s), 1u);
}

TEST_F(ScreenTest, LoadAddFindRemoveAndDrawImages) {
  WriteBmp("pic.bmp", 6, 4, [](int x, int) { return x == 0 ? 0x000000u : 0xFF0000u; });
  Screen s;
  EXPECT_EQ(s.LoadImage("nothing.bmp"), nullptr);
  EXPECT_EQ(ImageCount(s), 0u);
  ScreenImage* a = s.LoadImage("pic.bmp");
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a->name, "pic.bmp");
  ScreenImage* b = s.AddImage("pic.bmp", "twin");
  ScreenImage* c = s.AddImage("nothing.bmp", "ghost");
  ScreenImage* d = s.AddImage("nothing.bmp", nullptr);
  ASSERT_EQ(ImageCount(s), 4u);
  EXPECT_STREQ(b->name, "twin");
  EXPECT_EQ(c->surface, nullptr);
  EXPECT_STREQ(c->name, "ghost");
  EXPECT_STREQ(d->name, "");  // never loaded, never named: empty
  b->x = 3;
  b->y = 2;
  ScreenImage* e = s.AddImage("pic.bmp", "twin");
  EXPECT_EQ(s.FindImage("twin"), b);  // the first of the same name
  EXPECT_EQ(s.FindImage("Twin"), nullptr);

  IDirectDrawSurface* target = NewSurface(20, 10);
  FillAll(target, kWhite);
  EXPECT_EQ(s.DrawImage(target, "twin"), 1);
  EXPECT_EQ(Pixel(target, 3, 2), kWhite);  // black column keyed out
  EXPECT_EQ(Pixel(target, 4, 2), kRed);
  EXPECT_EQ(Pixel(target, 8, 5), kRed);
  EXPECT_EQ(Pixel(target, 9, 5), kWhite);
  EXPECT_EQ(Pixel(target, 8, 6), kWhite);
  EXPECT_EQ(s.DrawImageAt(target, "twin", 15, 8), 1);
  EXPECT_EQ(Pixel(target, 16, 8), kRed);
  EXPECT_EQ(Pixel(target, 19, 9), kRed);
  EXPECT_EQ(s.DrawImage(target, "nobody"), 0);
  EXPECT_EQ(s.DrawImageAt(target, "nobody", 0, 0), 0);
  target->Release();

  s.RemoveImageByName("twin");
  EXPECT_EQ(s.FindImage("twin"), e);
  EXPECT_STREQ(b->name, "twin");  // taken out, still valid
  s.RemoveImage(a);
  EXPECT_EQ(ImageCount(s), 3u);
  delete a;  // RemoveImage hands the image to the caller
}

TEST_F(ScreenTest, LeaveThenEnterStartsEmpty) {
  WriteSolidBmp("pic.bmp", 4, 4, 0xFF0000);
  Screen never;
  never.Leave();  // harmless on a screen that never entered
  EXPECT_EQ(never.GetButtons(), nullptr);
  EXPECT_EQ(never.GetImages(), nullptr);
  never.Leave();

  Screen s;
  s.SetName("title");
  EXPECT_STREQ(s.GetName(), "title");
  s.Enter(GXGetLPDD(), BackBuffer());
  s.LoadImage("pic.bmp");
  s.AddButton(new Button(0, 0, 5, 5));
  EXPECT_EQ(ImageCount(s), 1u);
  EXPECT_EQ(s.GetButtons()->Count(), 1);
  s.Leave();
  EXPECT_EQ(s.GetButtons(), nullptr);
  EXPECT_EQ(s.GetImages(), nullptr);
  s.Enter(GXGetLPDD(), BackBuffer());
  ASSERT_NE(s.GetButtons(), nullptr);
  EXPECT_EQ(s.GetButtons()->Count(), 0);
  EXPECT_EQ(ImageCount(s), 0u);
  EXPECT_NE(s.GetImages(), nullptr);
  EXPECT_EQ(s.HandleMessage(nullptr, WM_MOUSEMOVE, 0, 0), 1);
  EXPECT_EQ(s.Run(1), 1);
}

// Counts its Flip calls and does what a screen's Flip does.
class CountingScreen : public Screen {
 public:
  int Flip() override {
    ++flips;
    return Screen::Flip();
  }
  int flips = 0;
};

TEST_F(ScreenTest, FlipWithADelegateLeavesEverythingToIt) {
  IDirectDrawSurface* target = NewSurface(10, 10);
  redrawManager.SetTarget(target);
  redrawManager.AddDirtyRect(0, 0, 5, 5, kDirtyOneShot, kDirtyPresent);
  CountingScreen parent;
  parent.SetFlipDelegate(nullptr);
  Screen child;
  child.SetFlipDelegate(&parent);
  EXPECT_EQ(child.GetFlipDelegate(), &parent);

  // The delegate's own Flip is an ordinary one; the child adds nothing to it.
  const int list = redrawManager.CurrentList();
  EXPECT_EQ(child.Flip(), 1);
  EXPECT_EQ(parent.flips, 1);
  EXPECT_NE(redrawManager.CurrentList(), list);  // swapped exactly once
  EXPECT_EQ(redrawManager.List(list).size(), 1u);

  // Without a delegate: GXFlip, swap, present.
  Screen plain;
  EXPECT_EQ(plain.Flip(), 1);
  EXPECT_EQ(redrawManager.CurrentList(), list);
  EXPECT_TRUE(redrawManager.List(list).empty());  // presented and freed
  redrawManager.SetTarget(nullptr);
  target->Release();
}

// A small screen as the programs write them: artwork from an INI list on
// a target/background pair, a moving sprite and one button.
class SceneScreen : public Screen {
 public:
  void Enter(IDirectDraw* dd, IDirectDrawSurface* back) override {
    Screen::Enter(dd, back);
    LoadImages("scene.ini");
    target = CreateOffscreenSurface(800, 600);
    background = CreateOffscreenSurface(800, 600);
    for (IDirectDrawSurface* s : {target, background}) {
      DrawImage(s, "backdrop");
      DrawImage(s, "logo");
    }
    SetRedrawTarget(target);
    SetRedrawBackground(background);
    DrawSurfaceAt(target, back, 0, 0, DDBLT_WAIT);  // the first full picture
    dot.AddFrameFromFile("dot.bmp");
    dot.SetPosition(300, 200);
    dot.vx = 5;
    Button* play = new Button(500, 400);
    play->LoadImageStrip("playbutton.bmp", 3, 0);
    play->SetName("play");
    AddButton(play);
  }
  void Leave() override {
    Screen::Leave();
    SetRedrawTarget(nullptr);
    SetRedrawBackground(nullptr);
    target->Release();
    background->Release();
  }
  int Run(int) override {
    int x = 0, y = 0, mouseButtons = 0;
    mouseCursor.GetState(&x, &y, &mouseButtons);
    buttons->UpdateAll(x, y, mouseButtons);
    buttons->DrawAll();
    if (frames > 0) redrawManager.RestoreRect(static_cast<int>(dot.x), static_cast<int>(dot.y), 10, 10);
    if (frames > 0) dot.Move();
    dot.Draw();
    ++frames;
    return Flip();
  }
  Sprite dot;
  IDirectDrawSurface* target = nullptr;
  IDirectDrawSurface* background = nullptr;
  int frames = 0;
};

TEST_F(ScreenTest, SceneDrawnThroughTheFrameworkIsPresented) {
  WriteSolidBmp("art/backdrop.bmp", 800, 600, 0x808080);
  WriteBmp("logo.bmp", 40, 20, [](int x, int y) {
    return (x >= 10 && x < 14 && y >= 5 && y < 9) ? 0x000000u : 0xFF0000u;  // a black, keyed hole
  });
  WriteBmp("dot.bmp", 10, 10, [](int x, int y) { return x == 0 && y == 0 ? 0x0000FFu : 0x00FF00u; });
  WriteBmp("playbutton.bmp", 90, 20, [](int x, int) {
    return x < 30 ? 0xFFFF00u : x < 60 ? 0x00FFFFu : 0xFF00FFu;
  });
  WriteText("scene.ini",
            "[images]\nimage01=backdrop\nimage02=logo\n"
            "[backdrop]\nfile=art\\backdrop.bmp\n"
            "[logo]\nx=100\ny=50\n");
  IDirectDrawSurface* back = BackBuffer();
  FillAll(back, kBlack);
  mouseCursor.SetPosition(510, 405);  // over the button, no mouse button held

  SceneScreen scene;
  scene.Enter(GXGetLPDD(), back);
  ASSERT_NE(scene.FindImage("logo"), nullptr);
  ASSERT_EQ(scene.dot.FrameCount(), 1);

  EXPECT_EQ(scene.Run(1), 1);  // frame 1: the dot at (300, 200) is queued
  EXPECT_EQ(Pixel(back, 302, 202), kGrey);
  EXPECT_EQ(Pixel(back, 500, 400), kCyan);  // the button, over

  EXPECT_EQ(scene.Run(1), 1);  // frame 2: frame 1's rectangle is presented
  // The picture: backdrop, logo with its keyed hole, button.
  EXPECT_EQ(Pixel(back, 0, 0), kGrey);
  EXPECT_EQ(Pixel(back, 799, 599), kGrey);
  EXPECT_EQ(Pixel(back, 100, 50), kRed);
  EXPECT_EQ(Pixel(back, 139, 69), kRed);
  EXPECT_EQ(Pixel(back, 140, 69), kGrey);
  EXPECT_EQ(Pixel(back, 111, 56), kGrey);
  EXPECT_EQ(Pixel(back, 529, 419), kCyan);
  EXPECT_EQ(Pixel(back, 530, 419), kGrey);
  // Frame 1's rectangle (300..309) shows the target as it is now: the dot
  // has moved to 305, so 300..304 are erased and 305..309 hold the dot; its
  // part beyond 309 waits for the next frame.
  EXPECT_EQ(Pixel(back, 302, 205), kGrey);
  EXPECT_EQ(Pixel(back, 305, 200), kGrey);  // the dot's blue-keyed corner
  EXPECT_EQ(Pixel(back, 306, 200), kGreen);
  EXPECT_EQ(Pixel(back, 309, 209), kGreen);
  EXPECT_EQ(Pixel(back, 310, 205), kGrey);
  EXPECT_EQ(Pixel(back, 306, 210), kGrey);

  // What the window shows at the next present is that back buffer.
  const std::string shot = (dir / "frame3.bmp").string();
  platform::Script script;
  script.shots.push_back(platform::ScriptShot{platform::NowMs(), shot});
  platform::SetScript(script);
  mouseCursor.SetPosition(0, 0);  // the button goes back to normal
  EXPECT_EQ(scene.Run(1), 1);
  IDirectDrawSurface* shown = platform::LoadBitmapSurface(shot.c_str(), 16);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(Pixel(shown, 100, 50), kRed);
  EXPECT_EQ(Pixel(shown, 111, 56), kGrey);
  EXPECT_EQ(Pixel(shown, 306, 200), kGreen);
  EXPECT_EQ(Pixel(shown, 310, 205), kGrey);
  EXPECT_EQ(Pixel(shown, 500, 400), kYellow);  // redrawn normal before the present
  EXPECT_EQ(Pixel(back, 312, 205), kGreen);    // frame 2's rectangles now presented
  EXPECT_EQ(Pixel(back, 306, 205), kGrey);
  shown->Release();
  scene.Leave();
  platform::SetScript(platform::Script{});
}

}  // namespace
