// The frame clock, frame pacing, the screen manager, the mouse cursor and
// the window procedure's own handling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/device/clock.h"
#include "platform/device/input.h"
#include "platform/win/mmtimer.h"
#include "platform/win/window.h"
#include "gx/mouse_cursor.h"
#include "screens/screen.h"
#include "screens/screen_manager.h"
#include "shell/app.h"
#include "gx/frame_clock.h"
#include "gx/gx.h"
#include "window_cleanup.h"

namespace {

// Ticks until the countdown's second boundary has just passed.
void SyncToSecond() {
  SetSecondsLeft(1000000);
  StartCountdown();
  while (GetSecondsLeft() == 1000000) ClockTick(10);
}

TEST(FrameClock, CountdownRunsWholeSecondsAndStopsAtZero) {
  SyncToSecond();
  SetSecondsLeft(3);
  for (int i = 0; i < 99; ++i) ClockTick(10);
  EXPECT_EQ(GetSecondsLeft(), 3);
  ClockTick(10);
  EXPECT_EQ(GetSecondsLeft(), 2);
  for (int i = 0; i < 400; ++i) ClockTick(10);
  EXPECT_EQ(GetSecondsLeft(), 0);
}

TEST(FrameClock, StoppedCountdownKeepsItsPartialSecond) {
  SyncToSecond();
  SetSecondsLeft(5);
  for (int i = 0; i < 50; ++i) ClockTick(10);
  StopCountdown();
  const int64_t stoppedAt = CountdownMs();
  for (int i = 0; i < 230; ++i) ClockTick(10);  // the countdown's clock stands still
  EXPECT_EQ(CountdownMs(), stoppedAt);
  EXPECT_EQ(GetSecondsLeft(), 5);
  StartCountdown();
  for (int i = 0; i < 49; ++i) ClockTick(10);
  EXPECT_EQ(GetSecondsLeft(), 5);
  EXPECT_EQ(CountdownMs() % 1000, 990);
  ClockTick(10);  // the 100th tick the countdown ran: its second is over
  EXPECT_EQ(GetSecondsLeft(), 4);
}

TEST(FrameClock, TicksAdvanceOnTheClockAndCompareAcrossTheWrap) {
  EXPECT_EQ(StopClock(), 0);  // nothing running: only returns 0
  ASSERT_EQ(StartClock(), 0);
  ASSERT_TRUE(ClockRunning());
  int t = GetTicks();
  EXPECT_EQ(TicksSince(GetTicks()), 0);
  Sleep(50);
  EXPECT_EQ(TicksSince(t), 50);
  EXPECT_EQ(StopClock(), 0);
  EXPECT_FALSE(ClockRunning());
  Sleep(50);
  EXPECT_EQ(TicksSince(t), 50);
  EXPECT_EQ(TicksSince(INT32_MAX), static_cast<int>(static_cast<uint32_t>(GetTicks()) - 0x7FFFFFFFu));
}

// About 24.8 days after start the counter passes INT32_MAX; the callback's
// additions and differences must wrap, not overflow (UBSan stops on that).
TEST(FrameClock, CountsAndTimesAcrossTheWrap) {
  SyncToSecond();
  const int before = GetTicks();
  SetTicks(INT32_MAX - 495);  // the wrap falls in the middle of the next second
  const int start = GetTicks();
  EXPECT_EQ(TicksAfter(1000), INT32_MIN + 504);
  SetSecondsLeft(2);
  for (int i = 0; i < 99; ++i) ClockTick(10);
  EXPECT_EQ(GetSecondsLeft(), 2) << "a second is still 100 callbacks across the wrap";
  ClockTick(10);
  EXPECT_EQ(GetSecondsLeft(), 1);
  EXPECT_LT(GetTicks(), 0);
  EXPECT_EQ(TicksSince(start), 1000);
  EXPECT_EQ(TicksAfter(0), GetTicks());
  SetTicks(before);
}

TEST(FramePaceTest, WaitsForTheNextSlotButNeverMakesUpLateFrames) {
  ASSERT_EQ(StartClock(), 0);
  FramePace(100);
  int start = GetTicks();
  FramePace(100);
  EXPECT_EQ(GetTicks() - start, 10);
  EXPECT_EQ(frameRate, 100.0f);
  Sleep(55);  // a late frame: the deadline lies in the past
  int late = GetTicks();
  uint32_t before = platform::NowMs();
  FramePace(100);
  EXPECT_EQ(GetTicks(), late);
  EXPECT_EQ(platform::NowMs(), before);
  FramePace(50);
  EXPECT_EQ(GetTicks() - late, 10);  // the period set by the previous call
  FramePace(50);
  EXPECT_EQ(GetTicks() - late, 30);
  StopClock();
  // Without a clock the pacing still returns, sleeping the period instead.
  before = platform::NowMs();
  FramePace(100);
  EXPECT_EQ(platform::NowMs() - before, 10u);
}

// Nothing breaks where the 32-bit counter wraps: the pacing and its
// deadline cross it like any other 10 ms.
TEST(FramePaceTest, PacesAcrossTheWrapOfTheCounter) {
  const int before = GetTicks();
  SetTicks(INT32_MAX - 15);
  ASSERT_EQ(StartClock(), 0);
  FramePace(100);
  const int start = GetTicks();
  FramePace(100);
  FramePace(100);
  EXPECT_EQ(TicksSince(start), 20);
  EXPECT_LT(GetTicks(), 0);  // past the wrap
  StopClock();
  SetTicks(before);
  // The next frame's slot back from past the wrap, for the tests after this one (without a clock a
  // frame only sleeps its period).
  FramePace(100);
}

class FakeScreen : public Screen {
 public:
  FakeScreen(const char* n, std::vector<std::string>* log) : log_(log) { SetName(n); }
  void Enter(IDirectDraw* dd, IDirectDrawSurface* s) override {
    log_->push_back(std::string("enter ") + GetName());
    Screen::Enter(dd, s);
  }
  void Leave() override {
    log_->push_back(std::string("leave ") + GetName());
    Screen::Leave();
  }
  int Run(int active) override {
    log_->push_back(std::string("run ") + GetName());
    return active ? result : -1;
  }
  int HandleMessage(HWND, UINT message, WPARAM, LPARAM) override {
    log_->push_back("message " + std::to_string(message));
    return 42;
  }
  int result = 1;

 private:
  std::vector<std::string>* log_;
};

TEST(ScreenManagerTest, SwitchingRunningAndLeaving) {
  std::vector<std::string> log;
  ScreenManager manager;
  EXPECT_EQ(manager.Run(1), 0);
  EXPECT_EQ(manager.HandleMessage(nullptr, WM_USER, 0, 0), 1);
  FakeScreen a("a", &log), b("b", &log), twin("a", &log), never("n", &log);
  manager.Add(&a);
  manager.Add(&b);
  manager.Add(&twin);
  manager.Add(&never);
  EXPECT_EQ(manager.SwitchTo("a"), &a);
  EXPECT_EQ(manager.SwitchTo("A"), &a);  // case-sensitive: unknown, nothing changes
  EXPECT_EQ(manager.SwitchTo("b"), &b);
  EXPECT_EQ(manager.SwitchTo("b"), &b);  // its own name: leave, then enter again
  EXPECT_EQ(manager.SwitchTo("a"), &a);  // the first of two screens with one name
  b.result = 7;
  EXPECT_EQ(manager.Run(1), 1);
  EXPECT_EQ(manager.HandleMessage(nullptr, WM_USER, 0, 0), 42);
  EXPECT_EQ(manager.LeaveAll(), 4);  // also screens that never entered
  std::vector<std::string> expected{"enter a", "leave a", "enter b", "leave b", "enter b", "leave b", "enter a",
                                    "run a",   "message 1024", "leave a", "leave b", "leave a", "leave n"};
  EXPECT_EQ(log, expected);
}

namespace {

void Pointer(platform::DeviceEvent::Kind kind, int a, int b, bool down = false) {
  platform::DeviceEvent e;
  e.kind = kind;
  e.x = a;
  e.y = b;
  e.button = a;
  e.down = down;
  platform::ApplyDeviceEvent(e);
}

void Move(int x, int y) { Pointer(platform::DeviceEvent::Kind::MouseMove, x, y); }
void Button(int which, bool down) { Pointer(platform::DeviceEvent::Kind::MouseButton, which, 0, down); }

// One frame's read: "buttons at x,y".
std::string Read(MouseCursor& cursor) {
  int x = 0, y = 0, b = 0;
  cursor.GetState(&x, &y, &b);
  return std::to_string(b) + " at " + std::to_string(x) + "," + std::to_string(y);
}

}  // namespace

// Each read of the buttons takes one press or release, with the place it
// happened: a press and its release within one frame read as pressed, then
// released, where the pointer was then, and two taps as two clicks, however
// long the frames take. With nothing queued a read gives the buttons held.
TEST(MouseCursorTest, EachReadTakesOnePressOrReleaseWhereItHappened) {
  MouseCursor cursor;
  cursor.DropPresses();
  EXPECT_EQ(Read(cursor), "0 at 0,0");
  cursor.SetPosition(-5, 700);  // not clamped
  EXPECT_EQ(Read(cursor), "0 at -5,700");
  Move(100, 100);
  Move(200, 150);
  Button(0, true);
  Move(210, 160);
  Button(0, false);
  Button(0, true);
  Button(0, false);
  Move(300, 300);
  EXPECT_EQ(Read(cursor), "1 at 200,150");
  EXPECT_EQ(Read(cursor), "0 at 210,160");
  EXPECT_EQ(Read(cursor), "1 at 210,160");
  EXPECT_EQ(Read(cursor), "0 at 210,160");
  EXPECT_EQ(Read(cursor), "0 at 300,300");
  // Both buttons changing at one place read together; a held button reads
  // held until its release.
  Button(1, true);
  Button(0, true);
  EXPECT_EQ(Read(cursor), "3 at 300,300");
  EXPECT_EQ(Read(cursor), "3 at 300,300");
  // A press dragged elsewhere and released there: the press where it went
  // down, the release where it went up (a button under the release alone is
  // not clicked).
  Button(0, false);
  Button(1, false);
  Read(cursor);
  Button(0, true);
  Move(320, 300);
  Move(340, 300);
  Button(0, false);
  EXPECT_EQ(Read(cursor), "1 at 300,300");
  EXPECT_EQ(Read(cursor), "0 at 340,300");
  Button(0, true);
  EXPECT_EQ(Read(cursor), "1 at 340,300");
  // A read of the position alone takes the moves before the next button only.
  Move(1, 2);
  Button(0, false);
  Move(3, 4);
  int x = 0, y = 0;
  cursor.GetState(&x, &y, nullptr);
  EXPECT_EQ(x * 10 + y, 12);
  EXPECT_EQ(Read(cursor), "0 at 1,2");
  EXPECT_EQ(Read(cursor), "0 at 3,4");
  // A maximised window's offsets are taken off the device's positions.
  cursor.SetOffset(100, 50);
  Move(150, 80);
  EXPECT_EQ(Read(cursor), "0 at 50,30");
  Button(1, true);
  Move(170, 90);
  EXPECT_EQ(Read(cursor), "2 at 50,30");
  Button(1, false);
  EXPECT_EQ(Read(cursor), "0 at 70,40");
  cursor.SetOffset(0, 0);
}

// The game's blocking animations drop the presses of each step: a held
// button stays held, a tap before the drop is gone.
TEST(MouseCursorTest, DroppingPressesKeepsHeldButtons) {
  MouseCursor cursor;
  cursor.DropPresses();
  Button(0, true);
  cursor.DropPresses();
  EXPECT_EQ(Read(cursor).substr(0, 1), "1");
  Button(0, false);
  EXPECT_EQ(Read(cursor).substr(0, 1), "0");
  Button(0, true);
  Button(0, false);
  cursor.DropPresses();
  EXPECT_EQ(Read(cursor).substr(0, 1), "0");
}

class WindowProcedure : public ::testing::Test {
 protected:
  void TearDown() override { CloseWindowAndDrainMessages(); }
};

TEST_F(WindowProcedure, KeysSizesAndActivation) {
  ASSERT_TRUE(RegisterMainClass(nullptr));
  ASSERT_TRUE(CreateMainWindow(nullptr));
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(appActive.load(), 1);  // shown, therefore active

  // F1 toggles on release only.
  EXPECT_EQ(fpsVisible, 0);
  MainWndProc(mainWindow, WM_KEYDOWN, VK_F1, 0);
  EXPECT_EQ(fpsVisible, 0);
  MainWndProc(mainWindow, WM_KEYUP, VK_F1, 0);
  EXPECT_EQ(fpsVisible, 1);
  MainWndProc(mainWindow, WM_KEYUP, VK_F1, 0);
  EXPECT_EQ(fpsVisible, 0);

  // A maximised 1024 x 768 client.
  MainWndProc(mainWindow, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(1024, 768));
  EXPECT_EQ(mouseOffsetX, 113);
  EXPECT_EQ(mouseOffsetY, 84 - GetSystemMetrics(SM_CYFRAME) - GetSystemMetrics(SM_CYSMCAPTION));
  Move(213, 184);
  int x, y;
  mouseCursor.GetState(&x, &y, nullptr);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 184 - mouseOffsetY);
  MainWndProc(mainWindow, WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600));
  EXPECT_EQ(mouseOffsetX, 0);

  // Inactive: mouse moves do not change the position.
  platform::DeviceEvent focus;
  focus.kind = platform::DeviceEvent::Kind::Deactivate;
  platform::ApplyDeviceEvent(focus);
  MainWndProc(mainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(appActive.load(), 0);
  Move(5, 6);
  mouseCursor.GetState(&x, &y, nullptr);
  EXPECT_NE(x, 5);
  focus.kind = platform::DeviceEvent::Kind::Activate;
  platform::ApplyDeviceEvent(focus);
  MainWndProc(mainWindow, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(appActive.load(), 1);

  // Escape posts the close on release; the screen saver is refused.
  EXPECT_EQ(MainWndProc(mainWindow, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
  MainWndProc(mainWindow, WM_KEYUP, VK_ESCAPE, 0);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_CLOSE);
  DispatchMessageA(&msg);
  EXPECT_FALSE(IsWindow(mainWindow));
  EXPECT_EQ(PumpMessages(), 1);  // the shutdown posted the quit message
  EXPECT_EQ(PumpMessages(), 1);  // and it stays posted for an outer loop
}

}  // namespace
