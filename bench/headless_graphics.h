// The benchmarks' common start: headless, on the virtual clock and silent
// (unless the environment says otherwise), one 800 x 600 window with the
// graphics library up and the clock running. Returns the back buffer.
#pragma once

#include <cstdlib>

#include "platform/win/window.h"
#include "gx/frame_clock.h"
#include "gx/gx.h"

inline IDirectDrawSurface* BringUpHeadlessGraphics() {
  static IDirectDrawSurface* back = nullptr;
  if (back) return back;
  setenv("QB_VIDEO", "headless", 0);
  setenv("QB_CLOCK", "virtual", 0);
  setenv("QB_AUDIO", "null", 0);
  static WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "Bench";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, "Bench", "bench", WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
  GXInitDirectX(window, 800, 600);
  StartClock();
  IDirectDrawSurface* primary = nullptr;
  GXGetDDInfo(&primary, &back);
  return back;
}
