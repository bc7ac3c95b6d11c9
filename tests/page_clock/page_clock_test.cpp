// The browser page's clock, on a page of our own: time passes only in the
// page's sleeps, which are counted, as each is a task of the page and a
// wake of the program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/device/clock.h"

namespace {

uint32_t g_pageMs = 3;
int g_sleeps = 0;
std::vector<uint32_t> g_ticks;

struct OnThePage {
  OnThePage() { setenv("QB_CLOCK", "web", 1); }
} onThePage;

void Tick(uint32_t, uintptr_t) { g_ticks.push_back(platform::NowMs()); }

}  // namespace

namespace platform {
uint32_t HostClockNowMs() { return g_pageMs; }
void HostClockSleepMs(uint32_t ms) {
  ++g_sleeps;
  g_pageMs += ms == 0 ? 1 : ms;  // a page's timeout never returns in the same millisecond
}
}  // namespace platform

// A frame of the programs presents at most once per 10 ms of the clock:
// it waits for the next 10 ms while the timer ticks on for the countdown.
// With the ticks on whole multiples of the period a tick comes with the
// present's wake: one sleep a frame, not one for the tick and one more.
TEST(PageClock, TicksFallOnWholePeriodsSoAFrameWakesThePageOnce) {
  using namespace platform;
  const uint32_t began = NowMs();
  g_pageMs += 4;  // the timer starts a little after the clock
  const uint32_t timer = StartPeriodicTimer(10, Tick, 0);
  ASSERT_NE(timer, 0u);
  const int sleepsBefore = g_sleeps;
  constexpr int kFrames = 50;
  for (int frame = 0; frame < kFrames; ++frame) WaitUntilMs((NowMs() / 10 + 1) * 10);
  EXPECT_EQ(g_sleeps - sleepsBefore, kFrames);
  ASSERT_GE(g_ticks.size(), static_cast<size_t>(kFrames - 1));
  EXPECT_GE(g_ticks[0], began + 4 + 10);  // the first tick a whole period or more after the start
  for (uint32_t at : g_ticks) EXPECT_EQ(at % 10, 0u) << at;
  EXPECT_TRUE(StopPeriodicTimer(timer));
}
