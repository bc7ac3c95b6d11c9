// The whole shell in-process: start-up, frame loop and shutdown around a screen.
#include <gtest/gtest.h>

#include "platform/device/clock.h"
#include "platform/device/input.h"
#include "platform/automation/script.h"
#include "screens/screen.h"
#include "screens/screen_manager.h"
#include "shell/app.h"
#include "gx/frame_clock.h"
#include "window_cleanup.h"

namespace {

struct Counts {
  int frames = 0, enters = 0, leaves = 0, inactiveFrames = 0;
  int firstFrameTick = -1, lastFrameTick = -1;
} counts;
int quitAtFrame = 0;
bool programShutDown = false;

class CountingScreen : public Screen {
 public:
  CountingScreen() { SetName("balloon"); }
  void Enter(IDirectDraw* dd, IDirectDrawSurface* s) override {
    ++counts.enters;
    Screen::Enter(dd, s);
  }
  void Leave() override {
    ++counts.leaves;
    Screen::Leave();
  }
  int Run(int) override {
    if (!appActive.load()) ++counts.inactiveFrames;
    if (counts.firstFrameTick < 0) counts.firstFrameTick = GetTicks();
    counts.lastFrameTick = GetTicks();
    ++counts.frames;
    if (counts.frames == quitAtFrame) return 7;
    return Flip();
  }
} countingScreen;

void Register(const char*) {
  screenManager.Add(&countingScreen);
  screenManager.SwitchTo("balloon");
}

// The shell keeps the variant it ran with after RunShell returns (the window
// procedure reads it), so it lives as long as the process, as a program's does.
const ShellVariant& TestVariant() {
  static ShellVariant v;
  v.registerScreens = Register;
  v.shutdownProgram = [] { programShutDown = true; };
  v.music = false;
  return v;
}

class RunShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    counts = {};
    programShutDown = false;
  }
  // A run that ends on the quit message leaves the window open and the message
  // posted; every run leaves its screen registered and current.
  void TearDown() override {
    CloseWindowAndDrainMessages();
    screenManager = ScreenManager();
  }
};

TEST_F(RunShellTest, AScreenReturning7EndsTheProgramInTheSamePass) {
  quitAtFrame = 50;
  const ShellVariant& v = TestVariant();
  EXPECT_EQ(RunShell(v, nullptr, "/launcher"), 0);
  EXPECT_EQ(counts.frames, 50);
  EXPECT_EQ(counts.enters, 1);
  EXPECT_EQ(counts.leaves, 1);  // every screen leaves on destruction
  EXPECT_TRUE(programShutDown);
  EXPECT_STREQ(commandLine, "/launcher");
  // 100 frames a second: 49 periods of 10 ms between the first and the last frame.
  EXPECT_EQ(counts.lastFrameTick - counts.firstFrameTick, 490);
  EXPECT_FALSE(ClockRunning());
}

TEST_F(RunShellTest, NoFramesWhileInactiveAndTheClockKeepsRunning) {
  quitAtFrame = 40;
  platform::Script script;
  std::string error;
  // Script ticks are clock times; an earlier test in this process has moved the clock on.
  const uint32_t now = platform::NowMs();
  const std::string text =
      std::to_string(now + 100) + " deactivate\n" + std::to_string(now + 600) + " activate\n";
  ASSERT_TRUE(platform::ParseScript(text, "", &script, &error));
  platform::SetScript(script);
  const ShellVariant& v = TestVariant();
  EXPECT_EQ(RunShell(v, nullptr, "x"), 0);
  EXPECT_EQ(counts.inactiveFrames, 0);
  EXPECT_EQ(counts.frames, 40);
  // About ten frames before the pause, the rest after it: the clock ran on meanwhile.
  EXPECT_GE(counts.lastFrameTick - counts.firstFrameTick, 500 + 290);
}

TEST_F(RunShellTest, TheGameRefusesAnEmptyCommandLine) {
  const ShellVariant& v = TestVariant();
  EXPECT_EQ(RunShell(v, nullptr, ""), 0);
  EXPECT_EQ(counts.enters, 0);
}

}  // namespace
