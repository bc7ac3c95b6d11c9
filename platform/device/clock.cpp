// The real and the virtual clock and their one periodic timer.
#include "platform/device/clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "platform/device/config.h"
#include "platform/device/page_parts.h"

namespace platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct Timer {
  uint32_t id = 0;
  uint32_t delay = 10;
  TimerCallback callback = nullptr;
  uintptr_t user = 0;
};

void CheckMaxTicks(uint32_t now) {
  auto max = GetConfig().maxTicks;
  if (max && TickDiff(now, *max) > 0) {
    std::fprintf(stderr, "%s: QB_MAX_TICKS=%u passed (tick %u); ending the run\n", ProgramName().c_str(), *max, now);
    std::fflush(stderr);
    std::_Exit(3);
  }
}

// What the two clocks share: the one periodic timer's record and its id.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual ClockKind Kind() const = 0;
  virtual uint32_t Now() const = 0;
  virtual void WaitUntil(uint32_t deadline) = 0;
  virtual bool WaitForTimer(const std::function<bool()>& satisfied) = 0;

  uint32_t StartTimer(uint32_t delay, TimerCallback callback, uintptr_t user) {
    if (timerRunning_ || delay == 0 || !callback) return 0;
    timer_.id = ++lastId_;
    timer_.delay = delay;
    timer_.callback = callback;
    timer_.user = user;
    Start();
    return timer_.id;
  }

  bool KillTimer(uint32_t id) {
    if (!timerRunning_ || id != timer_.id) return false;
    Stop();
    return true;
  }

  // Only virtual time has listeners; the real clock keeps them and never calls them.
  int AddListener(std::function<void(uint32_t)> listener) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    listeners_[++lastListener_] = std::move(listener);
    return lastListener_;
  }
  void RemoveListener(int handle) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    listeners_.erase(handle);
  }

 protected:
  // Sets timerRunning_ and whatever the clock needs to call the timer.
  virtual void Start() = 0;
  // Clears timerRunning_; no callback runs after it returns (except when
  // called from the callback itself).
  virtual void Stop() = 0;

  Timer timer_;
  std::atomic<bool> timerRunning_{false};
  // Guards the listeners and, on the virtual clock, advancing (which calls them).
  std::recursive_mutex mutex_;
  std::map<int, std::function<void(uint32_t)>> listeners_;

 private:
  uint32_t lastId_ = 0;
  int lastListener_ = 0;
};

// A timer thread on steady_clock.
class RealClock : public Clock {
 public:
  RealClock() : start_(SteadyClock::now()) {}
  // A process that exits with the timer still running must not trip over a joinable thread.
  ~RealClock() override {
    if (timerRunning_) Stop();
    if (thread_.joinable()) thread_.detach();
  }

  ClockKind Kind() const override { return ClockKind::Real; }

  uint32_t Now() const override {
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start_);
    return static_cast<uint32_t>(elapsed.count());
  }

  void WaitUntil(uint32_t deadline) override {
    int32_t left = TickDiff(deadline, Now());
    if (left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(left));
  }

  bool WaitForTimer(const std::function<bool()>& satisfied) override {
    std::unique_lock<std::mutex> lock(tickMutex_);
    while (!satisfied()) {
      if (!timerRunning_) return false;
      uint64_t seen = tickSequence_;
      // The timeout only guards against a lost wake-up; the tick wakes us.
      cv_.wait_for(lock, std::chrono::milliseconds(50), [&] { return tickSequence_ != seen || !timerRunning_; });
    }
    return true;
  }

 protected:
  void Start() override {
    stopThread_ = false;
    timerRunning_ = true;
    thread_ = std::thread([this] { TimerThread(); });
  }

  void Stop() override {
    {
      std::lock_guard<std::mutex> lock(tickMutex_);
      stopThread_ = true;
      timerRunning_ = false;
    }
    cv_.notify_all();
    if (thread_.joinable()) {
      if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
      else
        thread_.join();
    }
  }

 private:
  void TimerThread() {
    auto next = SteadyClock::now();
    for (;;) {
      next += std::chrono::milliseconds(timer_.delay);
      auto now = SteadyClock::now();
      // After a long stall (a suspended machine) start afresh instead of firing a burst.
      if (now - next > std::chrono::milliseconds(500)) next = now;
      {
        std::unique_lock<std::mutex> lock(tickMutex_);
        if (cv_.wait_until(lock, next, [&] { return stopThread_; })) return;
      }
      timer_.callback(timer_.id, timer_.user);
      {
        std::lock_guard<std::mutex> lock(tickMutex_);
        ++tickSequence_;
      }
      cv_.notify_all();
      CheckMaxTicks(Now());
    }
  }

  const SteadyClock::time_point start_;
  std::thread thread_;
  std::mutex tickMutex_;
  std::condition_variable cv_;
  uint64_t tickSequence_ = 0;
  bool stopThread_ = false;
};

// No thread: time passes only while the program waits, and a wait jumps to
// its deadline, running every timer callback due on the way.
class VirtualClock : public Clock {
 public:
  ClockKind Kind() const override { return ClockKind::Virtual; }
  uint32_t Now() const override { return now_.load(std::memory_order_acquire); }
  void WaitUntil(uint32_t deadline) override { Advance(deadline); }

  bool WaitForTimer(const std::function<bool()>& satisfied) override {
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    while (!satisfied()) {
      if (!timerRunning_) return false;
      Advance(nextDue_);
    }
    return true;
  }

 protected:
  void Start() override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    nextDue_ = Now() + timer_.delay;
    timerRunning_ = true;
  }
  void Stop() override {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    timerRunning_ = false;
  }

 private:
  void SetNow(uint32_t t) {
    now_.store(t, std::memory_order_release);
    for (auto& [handle, listener] : listeners_) listener(t);
    CheckMaxTicks(t);
  }

  // Runs every timer callback due up to the deadline, in time order.
  void Advance(uint32_t deadline) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    while (timerRunning_ && TickDiff(deadline, nextDue_) >= 0) {
      uint32_t due = nextDue_;
      nextDue_ += timer_.delay;
      if (TickDiff(due, Now()) > 0) SetNow(due);
      timer_.callback(timer_.id, timer_.user);
    }
    if (TickDiff(deadline, Now()) > 0) SetNow(deadline);
  }

  std::atomic<uint32_t> now_{0};
  uint32_t nextDue_ = 0;
};

#if QB_PAGE_PARTS
// The browser page's clock: time from the page, and no thread. As on the
// virtual clock, the timer's callbacks run on the program's own thread
// while it waits; a wait yields to the page until the next callback or its
// deadline, whichever is first (the web backend's HostClockSleepMs).
class PageClock : public Clock {
 public:
  PageClock() : start_(HostClockNowMs()) {}
  ClockKind Kind() const override { return ClockKind::Real; }
  uint32_t Now() const override { return HostClockNowMs() - start_; }

  void WaitUntil(uint32_t deadline) override {
    for (;;) {
      RunDue();
      const uint32_t now = Now();
      if (TickDiff(deadline, now) <= 0) return;
      const uint32_t wake = timerRunning_ && TickDiff(nextDue_, deadline) < 0 ? nextDue_ : deadline;
      HostClockSleepMs(static_cast<uint32_t>(std::max<int32_t>(0, TickDiff(wake, now))));
    }
  }

  bool WaitForTimer(const std::function<bool()>& satisfied) override {
    while (!satisfied()) {
      if (!timerRunning_) return false;
      WaitUntil(nextDue_);
    }
    return true;
  }

 protected:
  // The callbacks fall on whole multiples of their period of the page's
  // clock: the frame waits for the timer's tick and the present for the
  // next 10 ms of the clock, and when the two coincide a frame wakes the
  // page once instead of twice (each wake of a page costs its own task).
  void Start() override {
    nextDue_ = OnPeriod(Now() + timer_.delay, true);
    timerRunning_ = true;
  }
  void Stop() override { timerRunning_ = false; }

 private:
  // The multiple of the timer's period at or after (or at or before) t.
  uint32_t OnPeriod(uint32_t t, bool after) const {
    const uint32_t period = std::max<uint32_t>(1, timer_.delay);
    const uint32_t below = t - t % period;
    return after && below != t ? below + period : below;
  }

  // The callbacks due by now, then the listeners (the audio output renders
  // up to now). After a stall (a hidden tab) it starts afresh instead of
  // firing a burst.
  void RunDue() {
    const uint32_t now = Now();
    if (timerRunning_ && TickDiff(now, nextDue_) > 500) nextDue_ = OnPeriod(now, false);
    while (timerRunning_ && TickDiff(now, nextDue_) >= 0) {
      nextDue_ += timer_.delay;
      timer_.callback(timer_.id, timer_.user);
    }
    for (auto& [handle, listener] : listeners_) listener(now);
    CheckMaxTicks(now);
  }

  const uint32_t start_;
  uint32_t nextDue_ = 0;
};

#endif  // QB_PAGE_PARTS

struct ClockEntry {
  const char* name;
  std::unique_ptr<Clock> (*create)();
};
constexpr ClockEntry kClocks[] = {
    {"real", [] { return std::unique_ptr<Clock>(new RealClock()); }},
    {"virtual", [] { return std::unique_ptr<Clock>(new VirtualClock()); }},
#if QB_PAGE_PARTS
    {"web", [] { return std::unique_ptr<Clock>(new PageClock()); }},
#endif
};

// The page's clock exists only where a web backend gives it its time.
bool Available(const ClockEntry& entry) {
#if QB_PAGE_PARTS
  return std::string_view(entry.name) != "web" || (&HostClockNowMs && &HostClockSleepMs);
#else
  (void)entry;
  return true;
#endif
}

Clock& TheClock() {
  // Destroyed at exit, which stops a timer thread still running.
  static std::unique_ptr<Clock> clock = [] {
    for (const ClockEntry& entry : kClocks)
      if (GetConfig().clock == entry.name && Available(entry)) return entry.create();
    std::fprintf(stderr, "%s: QB_CLOCK=%s is not a clock\n", ProgramName().c_str(), GetConfig().clock.c_str());
    std::fflush(stderr);
    std::_Exit(2);
  }();
  return *clock;
}

}  // namespace

bool IsClockName(const std::string& name) {
  for (const ClockEntry& entry : kClocks)
    if (name == entry.name && Available(entry)) return true;
  return false;
}

ClockKind GetClockKind() { return TheClock().Kind(); }
uint32_t NowMs() { return TheClock().Now(); }
void WaitUntilMs(uint32_t deadline) { TheClock().WaitUntil(deadline); }
bool WaitForTimer(const std::function<bool()>& satisfied) { return TheClock().WaitForTimer(satisfied); }
int AddVirtualTimeListener(std::function<void(uint32_t)> listener) {
  return TheClock().AddListener(std::move(listener));
}
void RemoveVirtualTimeListener(int handle) { TheClock().RemoveListener(handle); }
uint32_t StartPeriodicTimer(uint32_t periodMs, TimerCallback callback, uintptr_t user) {
  return TheClock().StartTimer(periodMs, callback, user);
}
bool StopPeriodicTimer(uint32_t timerId) { return TheClock().KillTimer(timerId); }

void NothingDueForMs([[maybe_unused]] uint32_t ms) {
#if QB_PAGE_PARTS
  if (&HostClockNothingDueForMs) HostClockNothingDueForMs(ms);
#endif
}

void BreakLongWork() {
#if QB_PAGE_PARTS
  if (&HostClockBreak) HostClockBreak();
#endif
}

}  // namespace platform
