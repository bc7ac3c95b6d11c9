#include "screens/screen_manager.h"

#include <cstring>

#include "screens/screen.h"

ScreenManager screenManager;

void ScreenManager::SetSurfaces(IDirectDraw* directDraw, IDirectDrawSurface* backSurface) {
  directDraw_ = directDraw;
  backSurface_ = backSurface;
}

void ScreenManager::Add(Screen* screen) { screens_.push_back(screen); }

Screen* ScreenManager::SwitchTo(const char* name) {
  if (!name) return current_;
  for (Screen* screen : screens_) {
    const char* screenName = screen->GetName();
    if (!screenName || std::strcmp(screenName, name) != 0) continue;
    if (current_) current_->Leave();
    current_ = screen;
    current_->Enter(directDraw_, backSurface_);
    break;
  }
  return current_;
}

int ScreenManager::Run(int active) { return current_ ? current_->Run(active) : 0; }

int ScreenManager::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return current_ ? current_->HandleMessage(window, message, wParam, lParam) : 1;
}

int ScreenManager::LeaveAll() {
  int count = 0;
  for (Screen* screen : screens_) {
    screen->Leave();
    ++count;
  }
  return count;
}
