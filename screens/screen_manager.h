// Knows every screen of a program by name, keeps one current, and is the
// shell's only path to a screen.
#pragma once

#include <vector>

#include "platform/win/ddraw.h"
#include "platform/win/wintypes.h"

class Screen;

class ScreenManager {
 public:
  void SetSurfaces(IDirectDraw* directDraw, IDirectDrawSurface* backSurface);
  // Names need not be unique; the first added wins.
  void Add(Screen* screen);
  // Leaves the current screen and enters the named one; returns the current screen.
  Screen* SwitchTo(const char* name);
  int Run(int active);
  int HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  int LeaveAll();
  Screen* Current() const { return current_; }

 private:
  std::vector<Screen*> screens_;  // not owned: the programs' static screens
  Screen* current_ = nullptr;
  IDirectDraw* directDraw_ = nullptr;
  IDirectDrawSurface* backSurface_ = nullptr;
};

extern ScreenManager screenManager;
