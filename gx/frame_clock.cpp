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
// Written by the timer callback only; the game reads it for its replays.
std::atomic<int> secondAccumulator{0};

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
  const int elapsed = static_cast<int32_t>(now - lastSeen);
  lastSeen = now;
  const int intoSecond = secondAccumulator.load(std::memory_order_relaxed) + elapsed;
  secondAccumulator.store(intoSecond >= 999 ? 0 : intoSecond, std::memory_order_relaxed);
  if (intoSecond >= 999) {
    if (countdownRunning.load(std::memory_order_relaxed)) {
      // Never below 0, even when the main thread sets the value meanwhile.
      int s = secondsLeft.load(std::memory_order_relaxed);
      while (s > 0 && !secondsLeft.compare_exchange_weak(s, s - 1, std::memory_order_relaxed)) {
      }
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
  ticks.store(static_cast<uint32_t>(value), std::memory_order_relaxed);
  lastSeen = static_cast<uint32_t>(value);
}
void SetSecondsLeft(int n) { secondsLeft.store(n, std::memory_order_relaxed); }
int GetSecondsLeft() { return secondsLeft.load(std::memory_order_relaxed); }
int CountdownMsIntoSecond() { return secondAccumulator.load(std::memory_order_relaxed); }
void StartCountdown() { countdownRunning.store(1, std::memory_order_relaxed); }
void StopCountdown() { countdownRunning.store(0, std::memory_order_relaxed); }
