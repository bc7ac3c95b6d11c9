// The real and the virtual clock, and the multimedia timer on top of them.
#include "platform/clock.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "platform/config.h"
#include "platform/mmtimer.h"

namespace platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct Timer {
  UINT id = 0;
  UINT delay = 10;
  LPTIMECALLBACK callback = nullptr;
  DWORD_PTR user = 0;
};

class Clock {
 public:
  Clock() : kind_(GetConfig().clock == "virtual" ? ClockKind::Virtual : ClockKind::Real), start_(SteadyClock::now()) {}

  // A process that exits with the timer still running must not trip over a joinable thread.
  ~Clock() {
    if (timerRunning_) KillTimer(timer_.id);
    if (thread_.joinable()) thread_.detach();
  }

  ClockKind Kind() const { return kind_; }

  uint32_t Now() const {
    if (kind_ == ClockKind::Virtual) return virtualNow_.load(std::memory_order_acquire);
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start_);
    return static_cast<uint32_t>(elapsed.count());
  }

  void WaitUntil(uint32_t deadline) {
    if (kind_ == ClockKind::Virtual) {
      AdvanceVirtual(deadline);
      return;
    }
    int32_t left = TickDiff(deadline, Now());
    if (left > 0) std::this_thread::sleep_until(start_ + std::chrono::milliseconds(deadline));
  }

  bool WaitForTimer(const std::function<bool()>& satisfied) {
    if (kind_ == ClockKind::Virtual) {
      std::unique_lock<std::recursive_mutex> lock(virtualMutex_);
      while (!satisfied()) {
        if (!timerRunning_) return false;
        AdvanceVirtual(nextDue_);
      }
      return true;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    while (!satisfied()) {
      if (!timerRunning_) return false;
      uint64_t seen = tickSequence_;
      // The timeout only guards against a lost wake-up; the tick wakes us.
      cv_.wait_for(lock, std::chrono::milliseconds(50), [&] { return tickSequence_ != seen || !timerRunning_; });
    }
    return true;
  }

  UINT StartTimer(UINT delay, LPTIMECALLBACK callback, DWORD_PTR user) {
    if (timerRunning_ || delay == 0 || !callback) return 0;
    timer_.id = ++lastId_;
    timer_.delay = delay;
    timer_.callback = callback;
    timer_.user = user;
    if (kind_ == ClockKind::Virtual) {
      std::lock_guard<std::recursive_mutex> lock(virtualMutex_);
      nextDue_ = Now() + delay;
      timerRunning_ = true;
      return timer_.id;
    }
    stopThread_ = false;
    timerRunning_ = true;
    thread_ = std::thread([this] { TimerThread(); });
    return timer_.id;
  }

  bool KillTimer(UINT id) {
    if (!timerRunning_ || id != timer_.id) return false;
    if (kind_ == ClockKind::Virtual) {
      std::lock_guard<std::recursive_mutex> lock(virtualMutex_);
      timerRunning_ = false;
      return true;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
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
    return true;
  }

  int AddListener(std::function<void(uint32_t)> listener) {
    std::lock_guard<std::recursive_mutex> lock(virtualMutex_);
    listeners_[++lastListener_] = std::move(listener);
    return lastListener_;
  }
  void RemoveListener(int handle) {
    std::lock_guard<std::recursive_mutex> lock(virtualMutex_);
    listeners_.erase(handle);
  }

 private:
  void CheckMaxTicks(uint32_t now) {
    auto max = GetConfig().maxTicks;
    if (max && TickDiff(now, *max) > 0) {
      std::fprintf(stderr, "%s: QB_MAX_TICKS=%u passed (tick %u); ending the run\n", ProgramName().c_str(), *max,
                   now);
      std::fflush(stderr);
      _exit(3);
    }
  }

  void SetVirtualNow(uint32_t t) {
    virtualNow_.store(t, std::memory_order_release);
    for (auto& [handle, listener] : listeners_) listener(t);
    CheckMaxTicks(t);
  }

  // Runs every timer callback due up to the deadline, in time order.
  void AdvanceVirtual(uint32_t deadline) {
    std::lock_guard<std::recursive_mutex> lock(virtualMutex_);
    while (timerRunning_ && TickDiff(deadline, nextDue_) >= 0) {
      uint32_t due = nextDue_;
      nextDue_ += timer_.delay;
      if (TickDiff(due, Now()) > 0) SetVirtualNow(due);
      timer_.callback(timer_.id, 0, timer_.user, 0, 0);
    }
    if (TickDiff(deadline, Now()) > 0) SetVirtualNow(deadline);
  }

  void TimerThread() {
    auto next = SteadyClock::now();
    for (;;) {
      next += std::chrono::milliseconds(timer_.delay);
      auto now = SteadyClock::now();
      // After a long stall (a suspended machine) start afresh instead of firing a burst.
      if (now - next > std::chrono::milliseconds(500)) next = now;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (cv_.wait_until(lock, next, [&] { return stopThread_; })) return;
      }
      timer_.callback(timer_.id, 0, timer_.user, 0, 0);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++tickSequence_;
      }
      cv_.notify_all();
      CheckMaxTicks(Now());
    }
  }

  const ClockKind kind_;
  const SteadyClock::time_point start_;
  std::atomic<uint32_t> virtualNow_{0};

  Timer timer_;
  UINT lastId_ = 0;
  std::atomic<bool> timerRunning_{false};

  // Real clock.
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable cv_;
  uint64_t tickSequence_ = 0;
  bool stopThread_ = false;

  // Virtual clock: advancing may be asked from more than one thread.
  std::recursive_mutex virtualMutex_;
  uint32_t nextDue_ = 0;
  std::map<int, std::function<void(uint32_t)>> listeners_;
  int lastListener_ = 0;
};

Clock& TheClock() {
  static Clock clock;
  return clock;
}

}  // namespace

ClockKind GetClockKind() { return TheClock().Kind(); }
uint32_t NowMs() { return TheClock().Now(); }
void WaitUntilMs(uint32_t deadline) { TheClock().WaitUntil(deadline); }
bool WaitForTimer(const std::function<bool()>& satisfied) { return TheClock().WaitForTimer(satisfied); }
int AddVirtualTimeListener(std::function<void(uint32_t)> listener) {
  return TheClock().AddListener(std::move(listener));
}
void RemoveVirtualTimeListener(int handle) { TheClock().RemoveListener(handle); }

}  // namespace platform

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size) {
  if (!caps || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
  caps->wPeriodMin = 1;
  caps->wPeriodMax = 1000000;
  return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT period) { return period == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR; }
MMRESULT timeEndPeriod(UINT period) { return period == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR; }

UINT timeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
  if (!(flags & TIME_PERIODIC)) return 0;  // one-shot timers are not used by the programs
  return platform::TheClock().StartTimer(delay, callback, user);
}

MMRESULT timeKillEvent(UINT id) { return platform::TheClock().KillTimer(id) ? TIMERR_NOERROR : TIMERR_NOCANDO; }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    if (platform::GetClockKind() == platform::ClockKind::Real) std::this_thread::yield();
    return;
  }
  platform::WaitUntilMs(platform::NowMs() + milliseconds);
}

DWORD GetTickCount() { return platform::NowMs(); }
