// The pop-up screen: placing and centring, and the modal loop ending by
// deadline, hotkey, its own buttons, the default button, a parent's button,
// EndWith, an aborting Update and the quit message.
#include "screens/popup_screen.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/device/input.h"
#include "gx/mouse_cursor.h"
#include "shell/app.h"
#include "gx/frame_clock.h"
#include "tests/widgets/framework_test_support.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"

using namespace fwtest;

namespace {

// A pop-up whose test drives the mouse pass by pass: onPass(n) runs in pass
// n's Update and sets what pass n + 1 reads.
class ScriptedPopup : public PopupScreen {
 public:
  using PopupScreen::Run;
  int Run(char* result, const char* imageName) override {
    passes = 0;
    flips = 0;
    return PopupScreen::Run(result, imageName);
  }
  int Update(int x, int y, int buttons) override {
    const int pass = passes++;
    if (pass > 1000) {  // ten virtual seconds: the loop failed to end
      ADD_FAILURE() << "pop-up did not end";
      return 0;
    }
    if (onPass && onPass(pass) == 0) return 0;
    return PopupScreen::Update(x, y, buttons);
  }
  int Flip() override {
    ++flips;
    return PopupScreen::Flip();
  }
  int OriginX() const { return originX; }
  int OriginY() const { return originY; }
  std::function<int(int)> onPass;  // 0 aborts the pop-up
  int passes = 0;
  int flips = 0;
};

class CountingScreen : public Screen {
 public:
  int Flip() override {
    ++flips;
    return Screen::Flip();
  }
  int flips = 0;
};

// The pointer moves to (x, y), then the left button goes down or up there
// if it changes.
void Mouse(int x, int y, int left) {
  platform::DeviceEvent e;
  e.kind = platform::DeviceEvent::Kind::MouseMove;
  e.x = x;
  e.y = y;
  platform::ApplyDeviceEvent(e);
  if (left == (platform::MouseButtons() & 1)) return;
  e.kind = platform::DeviceEvent::Kind::MouseButton;
  e.down = left != 0;
  platform::ApplyDeviceEvent(e);
}

void Escape(bool down) {
  platform::DeviceEvent e;
  e.kind = platform::DeviceEvent::Kind::Key;
  e.down = down;
  e.key = platform::Key::Escape;
  platform::ApplyDeviceEvent(e);
}

class PopupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGraphics();
    redrawManager.DropAll();
    Mouse(0, 0, 0);
    mouseCursor.DropPresses();
    StartClock();
    picture = WriteSolidBmp(ScratchDir() + "/popup400.bmp", 400, 300, 0xFF0000);
    small = WriteSolidBmp(ScratchDir() + "/popup100.bmp", 100, 50, 0x00FF00);
  }
  void TearDown() override {
    StopClock();
    Mouse(0, 0, 0);
    mouseCursor.DropPresses();
    redrawManager.DropAll();
    redrawManager.SetTarget(nullptr);
  }
  // A button with a 40 x 20 image, named, at (x, y) relative to the picture.
  static Button* NamedButton(const char* name, int x, int y) {
    Button* b = new Button(x, y);
    IDirectDrawSurface* img = NewSurface(40, 20);
    FillAll(img, kWhite);
    b->AddImage(0, img);
    b->SetName(name);
    return b;
  }
  // Press at pass `at`, release at the next pass, over (x, y).
  static std::function<int(int)> ClickAt(int at, int x, int y) {
    return [=](int pass) {
      if (pass == at) Mouse(x, y, 1);
      if (pass == at + 1) Mouse(x, y, 0);
      return 1;
    };
  }

  std::string picture, small;
};

TEST_F(PopupTest, PicturesAreCentredUnlessPlaced) {
  ScriptedPopup p;
  ScreenImage* big = p.AddPopupImage(picture.c_str(), nullptr);
  ASSERT_NE(big->surface, nullptr);
  EXPECT_STREQ(big->name, "");
  EXPECT_EQ(p.GetCurrentImage(), big);
  EXPECT_EQ(p.GetLeft(), 200);
  EXPECT_EQ(p.GetTop(), 150);
  EXPECT_EQ(p.OriginX(), 200);
  // Once placed, a new picture keeps the place.
  ScreenImage* other = p.AddPopupImage(small.c_str(), "small");
  EXPECT_EQ(p.GetCurrentImage(), other);
  EXPECT_EQ(p.GetLeft(), 200);

  ScriptedPopup q;
  q.AddPopupImage(small.c_str(), "small");  // centred: 400 - 50, 300 - 25
  EXPECT_EQ(q.GetLeft(), 350);
  EXPECT_EQ(q.GetTop(), 275);
  Button* b = NamedButton("ok", 10, 5);
  q.AddButton(b);
  EXPECT_EQ(b->offsetX, 350);  // relative to the picture
  q.SetPosition(53, 18);
  EXPECT_EQ(b->offsetX, 53);
  EXPECT_EQ(b->offsetY, 18);
  EXPECT_EQ(q.OriginY(), 18);
  q.SelectImage(q.AddPopupImage(picture.c_str(), "big"));
  EXPECT_EQ(q.GetLeft(), 53);
  EXPECT_EQ(q.GetTop(), 18);
  q.SelectImage(nullptr);
  EXPECT_EQ(q.GetCurrentImage(), q.FindPopupImage("big"));
  q.SelectImageByName("small");
  EXPECT_EQ(q.GetCurrentImage(), q.FindPopupImage("small"));
  q.SelectImageByName("nothing");  // the first picture
  EXPECT_EQ(q.GetCurrentImage(), q.FindPopupImage("small"));
  EXPECT_EQ(q.FindPopupImage("Small"), nullptr);

  // No picture, or one whose bitmap did not load, centres as 0 x 0.
  ScriptedPopup empty;
  empty.SetPosition(-1, -1);
  EXPECT_EQ(empty.GetLeft(), clientWidth / 2);
  EXPECT_EQ(empty.GetTop(), clientHeight / 2);
  ScriptedPopup broken;
  ScreenImage* none = broken.AddPopupImage((ScratchDir() + "/missing.bmp").c_str(), "gone");
  EXPECT_EQ(none->surface, nullptr);
  EXPECT_EQ(broken.PopupImageCount(), 1);
  EXPECT_EQ(broken.GetLeft(), 400);
  EXPECT_EQ(broken.GetTop(), 300);
}

TEST_F(PopupTest, DeadlineEndsTheRunWithAnEmptyResult) {
  ScriptedPopup p;
  p.AddPopupImage(small.c_str(), nullptr);
  const int start = GetTicks();
  p.SetDeadline(start + 1000);
  char result[kPopupResultSize] = "junk";
  EXPECT_EQ(p.Run(result, nullptr), 1);
  EXPECT_STREQ(result, "");
  EXPECT_GT(TicksSince(start), 1000);
  EXPECT_LE(TicksSince(start), 1030);
  // The pass that ended it was drawn and presented.
  EXPECT_EQ(p.flips, p.passes);
  // The picture was drawn at its place on the back buffer.
  EXPECT_EQ(Pixel(BackBuffer(), 350, 275), kGreen);
  EXPECT_EQ(Pixel(BackBuffer(), 449, 324), kGreen);
}

TEST_F(PopupTest, ButtonsHotkeyAndThePrecedenceBetweenThem) {
  ScriptedPopup p;
  p.AddPopupImage(small.c_str(), nullptr);  // at (350, 275)
  p.AddButton(NamedButton("ok", 10, 10));
  p.SetHotkey(VK_ESCAPE);
  p.SetDeadline(GetTicks() + 2000);
  char result[kPopupResultSize];

  // A click on its button.
  p.onPass = ClickAt(1, 365, 290);
  EXPECT_EQ(p.Run(result, nullptr), 1);
  EXPECT_STREQ(result, "ok");
  EXPECT_EQ(p.passes, 4);  // click seen in pass 3, loop ends at the next check

  // Holding the hotkey.
  p.onPass = [](int pass) {
    if (pass == 2) Escape(true);
    return 1;
  };
  EXPECT_EQ(p.Run(result, nullptr), 1);
  EXPECT_STREQ(result, "key");
  EXPECT_EQ(p.passes, 3);

  // Holding the hotkey in the pass in which a click completes: the button wins.
  Escape(false);
  p.onPass = [](int pass) {
    if (pass == 1) Mouse(365, 290, 1);
    if (pass == 2) Mouse(365, 290, 0);
    if (pass == 3) Escape(true);  // before pass 3's end check
    return 1;
  };
  EXPECT_EQ(p.Run(result, nullptr), 1);
  EXPECT_STREQ(result, "ok");
  EXPECT_EQ(p.passes, 4);
  Escape(false);
}

TEST_F(PopupTest, DefaultButtonCoversThePicture) {
  ScriptedPopup p;
  p.AddPopupImage(small.c_str(), nullptr);  // (350, 275) - (450, 325)
  p.AddDefaultButton();
  Button* def = p.GetButtons()->Find("default");
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->hitWidth, 100);
  EXPECT_EQ(def->hitHeight, 50);
  char result[kPopupResultSize];
  // A click outside does nothing: the deadline ends it.
  p.SetDeadline(GetTicks() + 200);
  p.onPass = ClickAt(1, 349, 300);
  EXPECT_EQ(p.Run(result, nullptr), 1);
  EXPECT_STREQ(result, "");
  // A click anywhere on it ends with "default".
  p.SetDeadline(GetTicks() + 2000);
  p.onPass = ClickAt(1, 449, 324);
  const int start = GetTicks();
  EXPECT_EQ(p.Run(result, nullptr), 1);
  EXPECT_STREQ(result, "default");
  EXPECT_LT(TicksSince(start), 200);

  // A picture that did not load is 0 x 0; its default button covers the
  // screen, or nothing could end the pop-up. The same without any picture.
  ScriptedPopup missing, none;
  missing.AddPopupImage("no such picture.bmp", nullptr);
  missing.SetPosition(290, 148);
  for (ScriptedPopup* empty : {&missing, &none}) {
    empty->AddDefaultButton();
    empty->SetDeadline(GetTicks() + 2000);
    empty->onPass = ClickAt(1, 3, 597);
    EXPECT_EQ(empty->Run(result, nullptr), 1);
    EXPECT_STREQ(result, "default");
  }
}

TEST_F(PopupTest, ParentButtonsAndFlipsThroughTheParent) {
  CountingScreen parent;
  Button* menu = NamedButton("menu", 0, 0);
  parent.AddButton(menu);
  ScriptedPopup p;
  p.AddPopupImage(small.c_str(), nullptr);
  p.SetFlipDelegate(&parent);
  p.SetDeadline(GetTicks() + 300);
  p.onPass = ClickAt(1, 5, 5);
  char result[kPopupResultSize];
  // Not watching: the parent's button is not looked at.
  EXPECT_EQ(p.Run(result, nullptr), 1);
  EXPECT_STREQ(result, "");
  EXPECT_EQ(parent.flips, p.flips);
  EXPECT_EQ(menu->GetState(), kButtonNormal);
  // Watching.
  p.SetWatchParent(1);
  p.SetDeadline(GetTicks() + 300);
  EXPECT_EQ(p.Run(result, nullptr), 1);
  EXPECT_STREQ(result, "menu");
  EXPECT_EQ(p.passes, 4);  // ends in the pass that reads the release
}

TEST_F(PopupTest, EndWithAbortAndExclusiveTarget) {
  IDirectDrawSurface* screenTarget = NewSurface(800, 600);
  redrawManager.SetTarget(screenTarget);
  ScriptedPopup p;
  ScreenImage* pic = p.AddPopupImage(small.c_str(), "pic");
  IDirectDrawSurface* seen = nullptr;
  p.onPass = [&](int pass) {
    seen = redrawManager.GetTarget();
    if (pass == 2) p.EndWith("play");
    return 1;
  };
  char result[kPopupResultSize];
  EXPECT_EQ(p.Run(result, "pic"), 1);
  EXPECT_STREQ(result, "play");
  EXPECT_EQ(seen, pic->surface);  // the picture is the target while it runs
  EXPECT_EQ(redrawManager.GetTarget(), screenTarget);
  EXPECT_EQ(p.flips, 3);

  // Update returning 0 aborts with 0; the target is restored too.
  p.onPass = [](int pass) { return pass == 1 ? 0 : 1; };
  EXPECT_EQ(p.Run(result, nullptr), 0);
  EXPECT_EQ(redrawManager.GetTarget(), screenTarget);

  // Not exclusive: the target stays.
  p.SetExclusiveTarget(0);
  p.onPass = [&](int pass) {
    seen = redrawManager.GetTarget();
    if (pass == 0) p.EndWith(nullptr);  // keeps the result text
    return 1;
  };
  EXPECT_EQ(p.Run(result, nullptr), 1);
  EXPECT_EQ(seen, screenTarget);
  EXPECT_STREQ(result, "");
  redrawManager.SetTarget(nullptr);
  screenTarget->Release();
}

TEST_F(PopupTest, QuitMessageEndsTheRunAndStaysQueued) {
  IDirectDrawSurface* screenTarget = NewSurface(800, 600);
  redrawManager.SetTarget(screenTarget);
  ScriptedPopup p;
  p.AddPopupImage(small.c_str(), nullptr);
  p.SetDeadline(GetTicks() + 1000);
  p.onPass = [](int pass) {
    if (pass == 3) PostQuitMessage(0);
    return 1;
  };
  char result[kPopupResultSize] = "untouched";
  EXPECT_EQ(p.Run(result, nullptr), 0);
  EXPECT_STREQ(result, "untouched");
  EXPECT_EQ(p.passes, 4);
  EXPECT_EQ(redrawManager.GetTarget(), screenTarget);
  // The quit message is posted again for the main loop.
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  redrawManager.SetTarget(nullptr);
  screenTarget->Release();
}

TEST_F(PopupTest, LeaveAndSetupRenewTheLists) {
  ScriptedPopup p;
  p.AddPopupImage(small.c_str(), "a");
  p.AddButton(NamedButton("ok", 0, 0));
  p.Leave();
  EXPECT_EQ(p.PopupImageCount(), 0);
  EXPECT_EQ(p.GetCurrentImage(), nullptr);
  EXPECT_EQ(p.GetButtons(), nullptr);
  p.Setup();
  EXPECT_EQ(p.PopupImageCount(), 0);
  ASSERT_NE(p.GetButtons(), nullptr);
  p.AddPopupImage(small.c_str(), "b");
  EXPECT_EQ(p.PopupImageCount(), 1);
  // Run with no picture at all still ends (here by the deadline) and draws nothing.
  ScriptedPopup empty;
  empty.SetDeadline(GetTicks() + 50);
  char result[kPopupResultSize];
  EXPECT_EQ(empty.Run(result, "any"), 1);
  EXPECT_EQ(empty.GetCurrentImage(), nullptr);
}

}  // namespace
