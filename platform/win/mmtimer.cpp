// The multimedia timer over the layer's periodic timer: each timer's
// callback and user value are kept here and handed over in the Windows
// callback's shape.
#include "platform/win/mmtimer.h"

#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/device/clock.h"

namespace {

struct MmTimer {
  LPTIMECALLBACK callback;
  DWORD_PTR user;
};

// The records of running timers. The clock reads a record only while its
// timer runs, and stopping it waits for a callback under way.
std::mutex& TimersLock() {
  static std::mutex lock;
  return lock;
}
std::map<uint32_t, std::unique_ptr<MmTimer>>& Timers() {
  static std::map<uint32_t, std::unique_ptr<MmTimer>> timers;
  return timers;
}

void Call(uint32_t timerId, uintptr_t user) {
  const MmTimer& timer = *reinterpret_cast<const MmTimer*>(user);
  timer.callback(timerId, 0, timer.user, 0, 0);
}

}  // namespace

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size) {
  if (!caps || size < sizeof(TIMECAPS)) return TIMERR_NOCANDO;
  caps->wPeriodMin = 1;
  caps->wPeriodMax = 1000000;
  return TIMERR_NOERROR;
}

MMRESULT timeBeginPeriod(UINT period) { return period == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR; }
MMRESULT timeEndPeriod(UINT period) { return period == 0 ? TIMERR_NOCANDO : TIMERR_NOERROR; }

UINT timeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
  if (!(flags & TIME_PERIODIC) || !callback) return 0;  // one-shot timers are not used by the programs
  auto timer = std::make_unique<MmTimer>(MmTimer{callback, user});
  std::lock_guard<std::mutex> lock(TimersLock());
  const uint32_t id = platform::StartPeriodicTimer(delay, Call, reinterpret_cast<uintptr_t>(timer.get()));
  if (id) Timers()[id] = std::move(timer);
  return id;
}

MMRESULT timeKillEvent(UINT id) {
  if (!platform::StopPeriodicTimer(id)) return TIMERR_NOCANDO;
  std::lock_guard<std::mutex> lock(TimersLock());
  Timers().erase(id);
  return TIMERR_NOERROR;
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    if (platform::GetClockKind() == platform::ClockKind::Real) std::this_thread::yield();
    return;
  }
  platform::WaitUntilMs(platform::NowMs() + milliseconds);
}

DWORD GetTickCount() { return platform::NowMs(); }
