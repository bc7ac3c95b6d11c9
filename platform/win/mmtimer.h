// Multimedia timer, Sleep and GetTickCount, on the layer's clock
// (platform/device/clock.h): real time, or virtual time that passes only while the
// program waits.
#pragma once

#include "platform/win/wintypes.h"

struct TIMECAPS {
  UINT wPeriodMin;
  UINT wPeriodMax;
};
using MMRESULT = UINT;
using LPTIMECALLBACK = void (*)(UINT timerId, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2);

constexpr MMRESULT TIMERR_NOERROR = 0;
constexpr MMRESULT TIMERR_NOCANDO = 97;
constexpr UINT TIME_ONESHOT = 0x0000;
constexpr UINT TIME_PERIODIC = 0x0001;

MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size);
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);
// Returns the timer id, 0 on failure. One periodic timer at a time is supported,
// which is all the programs use.
UINT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags);
MMRESULT timeKillEvent(UINT id);

void Sleep(DWORD milliseconds);
DWORD GetTickCount();
