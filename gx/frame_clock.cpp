#include "gx/frame_clock.h"

#include "platform/win/mmtimer.h"
#include "gx/surface.h"

namespace {

constexpr int kStep = 10;

// The tick counter starts at 0 with the process, not with the clock. It is
// kept unsigned so that passing 2^31 ms (about 24.8 days) wraps instead of
// overflowing; readers get it as int and compare by signed difference.
std::atomic<uint32_t> ticks{0};
std::atomic<int> secondsLeft{0};
std::atomic<int> countdownRunning{1};
UINT timerId = 0;
std::atomic<int> clockRate{1};

// Only the timer callback touches these.
uint32_t lastSeen = 0;
// How far the timer's current second has run since the program started.
std::atomic<int> secondAccumulator{0};

// The countdown's clock is read from the tick counter (one atomic read, so
// a frame sees it in step with its ticks): its reading when it last started
// or stopped, and the tick it last started at. Only the main thread writes
// them; the timer callback reads them to turn the countdown's seconds.
std::atomic<int64_t> countdownBase{0};
std::atomic<uint32_t> countdownStart{0};

int64_t CountdownAt(uint32_t now) {
  const int64_t base = countdownBase.load(std::memory_order_relaxed);
  if (!countdownRunning.load(std::memory_order_relaxed)) return base;
  return base + static_cast<int64_t>(now - countdownStart.load(std::memory_order_relaxed));
}

struct CallbackRecord {
  std::atomic<uint32_t>* counter;
  int step;
};
CallbackRecord record{&ticks, kStep};

void TickCallback(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  ClockTick(reinterpret_cast<CallbackRecord*>(user)->step * clockRate.load(std::memory_order_relaxed));
}

}  // namespace

void ClockTick(int step) {
  const uint32_t now = ticks.fetch_add(static_cast<uint32_t>(step), std::memory_order_relaxed) + step;
  const uint32_t previous = lastSeen;
  const int elapsed = static_cast<int32_t>(now - previous);
  lastSeen = now;
  const int intoSecond = secondAccumulator.load(std::memory_order_relaxed) + elapsed;
  secondAccumulator.store(intoSecond >= 999 ? 0 : intoSecond, std::memory_order_relaxed);
  if (!countdownRunning.load(std::memory_order_relaxed)) return;
  // The countdown's clock before this step: where it started, when it
  // started since the previous step.
  const uint32_t start = countdownStart.load(std::memory_order_relaxed);
  const int64_t before = static_cast<int32_t>(previous - start) > 0 ? CountdownAt(previous) : CountdownAt(start);
  for (int64_t turns = CountdownAt(now) / 1000 - before / 1000; turns > 0; --turns) {
    // Never below 0, even when the main thread sets the value meanwhile.
    int s = secondsLeft.load(std::memory_order_relaxed);
    while (s > 0 && !secondsLeft.compare_exchange_weak(s, s - 1, std::memory_order_relaxed)) {
    }
  }
}

int StartClock() {
  TIMECAPS caps;
  if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR || caps.wPeriodMin > kStep || caps.wPeriodMax < kStep) {
    DebugLog("Unable to use timers on this system");
    return 1;
  }
  if (timeBeginPeriod(kStep) != TIMERR_NOERROR) return 1;
  record = {&ticks, kStep};
  timerId = timeSetEvent(kStep, 5, TickCallback, reinterpret_cast<DWORD_PTR>(&record), TIME_PERIODIC);
  if (timerId == 0) timeEndPeriod(kStep);
  return 0;
}

int StopClock() {
  if (timerId != 0) {
    timeKillEvent(timerId);
    timeEndPeriod(kStep);
  }
  timerId = 0;
  return 0;
}

void SetClockRate(int rate) { clockRate.store(rate < 0 ? 0 : rate, std::memory_order_relaxed); }
int ClockRate() { return clockRate.load(std::memory_order_relaxed); }
bool ClockRunning() { return timerId != 0; }
int GetTicks() { return static_cast<int>(ticks.load(std::memory_order_relaxed)); }
int TicksSince(int t) {
  return static_cast<int>(static_cast<uint32_t>(GetTicks()) - static_cast<uint32_t>(t));
}
int TicksAfter(int ms) { return static_cast<int>(static_cast<uint32_t>(GetTicks()) + static_cast<uint32_t>(ms)); }
void SetTicks(int value) {
  // The countdown's clock stays where it was.
  const uint32_t shift = static_cast<uint32_t>(value) - ticks.load(std::memory_order_relaxed);
  countdownStart.store(countdownStart.load(std::memory_order_relaxed) + shift, std::memory_order_relaxed);
  ticks.store(static_cast<uint32_t>(value), std::memory_order_relaxed);
  lastSeen = static_cast<uint32_t>(value);
}
void SetSecondsLeft(int n) { secondsLeft.store(n, std::memory_order_relaxed); }
int GetSecondsLeft() { return secondsLeft.load(std::memory_order_relaxed); }
int64_t CountdownMs() { return CountdownAt(ticks.load(std::memory_order_relaxed)); }
void ResetCountdownClock() {
  countdownStart.store(ticks.load(std::memory_order_relaxed), std::memory_order_relaxed);
  countdownBase.store(secondAccumulator.load(std::memory_order_relaxed), std::memory_order_relaxed);
}
void StartCountdown() {
  if (countdownRunning.load(std::memory_order_relaxed)) return;
  countdownStart.store(ticks.load(std::memory_order_relaxed), std::memory_order_relaxed);
  countdownRunning.store(1, std::memory_order_relaxed);
}
void StopCountdown() {
  if (!countdownRunning.load(std::memory_order_relaxed)) return;
  countdownBase.store(CountdownMs(), std::memory_order_relaxed);
  countdownRunning.store(0, std::memory_order_relaxed);
}
