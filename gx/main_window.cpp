#include "gx/main_window.h"

#include "gx/gx.h"

HWND mainWindow = nullptr;
int clientWidth = 800, clientHeight = 600;

bool CloseRequested() {
  return platform::AnyQueuedMessage([](const MSG& msg) {
    return msg.message == WM_CLOSE || (msg.message == WM_SYSCOMMAND && (msg.wParam & 0xFFF0) == SC_CLOSE) ||
           (msg.message == WM_KEYUP && msg.wParam == VK_ESCAPE);
  });
}

namespace {

int Pump(bool stopBeforeClose) {
  MSG msg;
  while (!(stopBeforeClose && CloseRequested()) && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return 1;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

}  // namespace

int PumpMessages() { return Pump(false); }
int PumpMessagesBeforeClose() { return Pump(true); }
