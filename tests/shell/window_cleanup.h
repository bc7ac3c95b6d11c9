// The window, its message queue and the scripted input exist once per
// process. A test that opens the window closes it again and takes the quit
// message it leaves behind, so the next test in the same process starts as
// a fresh program would.
#pragma once

#include "platform/device/input.h"
#include "platform/automation/script.h"
#include "platform/win/window.h"
#include "shell/app.h"

inline void CloseWindowAndDrainMessages() {
  if (IsWindow(mainWindow)) DestroyWindow(mainWindow);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
  platform::SetScript(platform::Script{});
}
