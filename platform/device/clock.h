// The layer's time base, behind the multimedia timer (platform/win/mmtimer.h).
// Clocks chosen by QB_CLOCK: "real" (a timer thread on steady_clock), "web" (a
// browser page's, below) and "virtual" (no thread: time passes only while the
// program waits, and a wait jumps to its deadline at once, running every timer
// callback due on the way).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

enum class ClockKind { Real, Virtual };

// Whether QB_CLOCK may name this clock.
bool IsClockName(const std::string& name);
ClockKind GetClockKind();

// Milliseconds since the process started (real) or virtual milliseconds.
uint32_t NowMs();

// Blocks until NowMs() has reached deadline (signed comparison, so the
// 32-bit wrap does not matter). Virtual: advances the clock to the deadline.
void WaitUntilMs(uint32_t deadline);

// Blocks until satisfied() holds, re-checking it after each timer callback.
// Returns false at once when no periodic timer is running (the caller then
// needs another way to wait). Never spins: real time sleeps on a condition
// variable signalled by the timer thread; virtual time jumps to the next
// callback.
bool WaitForTimer(const std::function<bool()>& satisfied);

// The one periodic timer: callback(timerId, user) every periodMs, from the
// timer thread (real) or from inside a wait (virtual). Returns its id, never
// 0; 0 when a timer runs already, periodMs is 0 or callback is null.
using TimerCallback = void (*)(uint32_t timerId, uintptr_t user);
uint32_t StartPeriodicTimer(uint32_t periodMs, TimerCallback callback, uintptr_t user);
// False for an id that is not the running timer. No callback runs after it
// returns, except when called from the callback itself.
bool StopPeriodicTimer(uint32_t timerId);

// Called with the new time whenever virtual time advances (the audio mixer
// renders up to it). Real time never calls them. Returns a handle for removal.
int AddVirtualTimeListener(std::function<void(uint32_t nowMs)> listener);
void RemoveVirtualTimeListener(int handle);

// The page's time base, defined only by the web backend (platform/web/):
// milliseconds of the page's clock, and a wait that hands control back to
// the page for that long. Where they are absent, QB_CLOCK=web names no clock.
[[gnu::weak]] uint32_t HostClockNowMs();
[[gnu::weak]] void HostClockSleepMs(uint32_t ms);

// Long work (a program loading its pictures) calls this between its steps:
// where the program shares its thread with a page (the web build), the
// page gets a turn once the program has worked a while without one, so that
// it stays responsive while the program starts. Elsewhere it does nothing.
void BreakLongWork();
[[gnu::weak]] void HostClockBreak();

// A frame's word that nothing it shows changes by time alone for the next
// ms, unless input comes: the page's clock may let its waits last that long
// (platform/web/web_clock.cpp). Elsewhere the frames keep their pace.
void NothingDueForMs(uint32_t ms);
[[gnu::weak]] void HostClockNothingDueForMs(uint32_t ms);

// Signed tick difference a - b; robust across the 32-bit wrap.
inline int32_t TickDiff(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b); }

}  // namespace platform
