// The one main window, its message queue and the user-interface calls.
#include "platform/win/window.h"

#include <strings.h>

#include <cstdio>
#include <deque>
#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "platform/device/config.h"
#include "platform/device/input.h"
#include "platform/device/video.h"
#include "platform/win/key_codes.h"
#include "platform/win/window_memory.h"

struct WindowObject {
  WNDPROC proc = nullptr;
  std::atomic<bool> alive{false};
  bool destroying = false;
  DWORD style = 0;
  std::string title;
};
struct CursorObject {
  bool busy;
};
struct IconObject {};
struct BrushObject {};
struct DeviceContextObject {};

namespace {

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

struct UserState {
  std::map<std::string, WNDCLASSA, CaseLess> classes;
  WindowObject window;  // the one window; its address stays valid after destruction
  // Messages may be posted from other threads (the music's end notification
  // comes from the audio thread), so the queue has a lock.
  std::mutex queueMutex;
  std::deque<MSG> queue;
  bool quitPosted = false;
  int quitCode = 0;
  CursorObject arrow{false}, hourglass{true};
  HCURSOR currentCursor = nullptr;
  IconObject icon;
  BrushObject brush;
  DeviceContextObject desktopDc;
};

UserState& U() {
  static UserState state;
  return state;
}

void Post(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!U().window.alive) return;
  std::lock_guard<std::mutex> lock(U().queueMutex);
  U().queue.push_back(MSG{&U().window, message, wParam, lParam, 0, {0, 0}});
}

bool QueueEmpty() {
  std::lock_guard<std::mutex> lock(U().queueMutex);
  return U().queue.empty();
}

void ClearQueue() {
  std::lock_guard<std::mutex> lock(U().queueMutex);
  U().queue.clear();
}

// The messages the window procedure itself needs for a device event:
// activation, closing, moves of the window, and keys (Escape, F1). The
// screens take the mouse and the keys from the input queue instead.
void Translate(const platform::DeviceEvent& e) {
  using Kind = platform::DeviceEvent::Kind;
  switch (e.kind) {
    case Kind::Key: {
      const platform::WindowsKeyCodes codes = platform::WindowsCodesOf(e.key);
      LPARAM lp = 1 | (static_cast<LPARAM>(codes.scanCode & 0xFF) << 16);
      if (!e.down) lp |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
      Post(e.down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(codes.virtualKey), static_cast<LPARAM>(static_cast<uint32_t>(lp)));
      break;
    }
    case Kind::Activate:
      Post(WM_ACTIVATEAPP, TRUE, 0);
      Post(WM_ACTIVATE, WA_ACTIVE, 0);
      break;
    case Kind::Deactivate:
      Post(WM_ACTIVATE, WA_INACTIVE, 0);
      Post(WM_ACTIVATEAPP, FALSE, 0);
      break;
    case Kind::Close:
      Post(WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case Kind::Moved:
      Post(WM_MOVE, 0, MAKELPARAM(e.x, e.y));
      break;
    case Kind::MouseMove:
    case Kind::MouseButton:
    case Kind::Text:
      break;
  }
}


}  // namespace

uint16_t RegisterClassA(const WNDCLASSA* wc) {
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) return 0;
  U().classes[wc->lpszClassName] = *wc;
  return static_cast<uint16_t>(U().classes.size());
}

HWND CreateWindowExA(DWORD, const char* className, const char* windowName, DWORD style, int x, int y, int width,
                     int height, HWND, HMENU, HINSTANCE, void*) {
  if (!className) return nullptr;
  auto it = U().classes.find(className);
  if (it == U().classes.end() || U().window.alive) return nullptr;
  std::string reason;
  if (!platform::VideoAvailable(&reason)) return nullptr;
  platform::WindowParams params;
  params.title = windowName ? windowName : "";
  params.x = x;
  params.y = y;
  params.width = width;
  params.height = height;
  params.borderless = (style & WS_POPUP) || !(style & (WS_SYSMENU | WS_CAPTION));
  // Both programs open as the user left either of them.
  params.loadPlacement = platform::LoadWindowPlacement;
  params.savePlacement = platform::SaveWindowPlacement;
  if (!platform::Video().OpenWindow(params)) return nullptr;
  platform::SetDeviceEventSink(Translate);
  WindowObject& w = U().window;
  w.proc = it->second.lpfnWndProc;
  w.alive = true;
  w.destroying = false;
  w.style = style;
  w.title = params.title;
  ClearQueue();
  if (style & WS_VISIBLE) {
    // A newly shown window is active, whether or not a window manager gives it focus.
    int ox, oy;
    platform::Video().ClientOrigin(&ox, &oy);
    Post(WM_MOVE, 0, MAKELPARAM(ox, oy));
    Post(WM_ACTIVATEAPP, TRUE, 0);
    Post(WM_ACTIVATE, WA_ACTIVE, 0);
  }
  return &w;
}

BOOL IsWindow(HWND window) { return window == &U().window && U().window.alive; }

BOOL DestroyWindow(HWND window) {
  if (!IsWindow(window) || window->destroying) return FALSE;
  window->destroying = true;
  window->proc(window, WM_DESTROY, 0, 0);
  window->alive = false;
  // Messages still queued for the window die with it; the quit message does not.
  ClearQueue();
  platform::Video().CloseWindow();
  return TRUE;
}

BOOL ShowWindow(HWND window, int) { return IsWindow(window); }
BOOL UpdateWindow(HWND window) { return IsWindow(window); }

BOOL SetWindowPos(HWND window, HWND insertAfter, int, int, int, int, UINT) {
  if (!IsWindow(window)) return FALSE;
  if (insertAfter == HWND_TOPMOST) platform::Video().SetTopmost(true);
  return TRUE;
}

BOOL SetWindowTextA(HWND window, const char* text) {
  if (!IsWindow(window)) return FALSE;
  // Each new game sets the player's name again; the system is told only of a change.
  const std::string title = text ? text : "";
  if (title == window->title) return TRUE;
  window->title = title;
  platform::Video().SetTitle(window->title);
  return TRUE;
}

HWND SetFocus(HWND window) { return IsWindow(window) ? window : nullptr; }

BOOL ClientToScreen(HWND window, POINT* point) {
  if (!IsWindow(window) || !point) return FALSE;
  int x, y;
  platform::Video().ClientOrigin(&x, &y);
  point->x += x;
  point->y += y;
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  if (!IsWindow(window) || !rect) return FALSE;
  *rect = {0, 0, 800, 600};
  return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND, UINT, UINT, UINT removeFlags) {
  if (!msg) return FALSE;
  if (QueueEmpty()) platform::GatherDeviceEvents();
  std::lock_guard<std::mutex> lock(U().queueMutex);
  if (!U().queue.empty()) {
    *msg = U().queue.front();
    if (removeFlags & PM_REMOVE) U().queue.pop_front();
    return TRUE;
  }
  if (U().quitPosted) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(U().quitCode), 0, 0, {0, 0}};
    if (removeFlags & PM_REMOVE) U().quitPosted = false;
    return TRUE;
  }
  return FALSE;
}

namespace platform {
bool AnyQueuedMessage(bool (*match)(const MSG& msg)) {
  std::lock_guard<std::mutex> lock(U().queueMutex);
  if (U().quitPosted) return true;
  for (const MSG& msg : U().queue)
    if (match(msg)) return true;
  return false;
}
}  // namespace platform

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg || !IsWindow(msg->hwnd)) return 0;
  return msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(window)) return FALSE;
  Post(message, wParam, lParam);
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(window)) return 0;
  return window->proc(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  std::lock_guard<std::mutex> lock(U().queueMutex);
  U().quitPosted = true;
  U().quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

int MessageBoxA(HWND, const char* text, const char* caption, UINT) {
  const char* shownCaption = caption ? caption : "Error";
  std::fprintf(stderr, "%s: %s\n", shownCaption, text ? text : "");
  std::fflush(stderr);
  platform::Video().ShowMessage(shownCaption, text ? text : "");
  return IDOK;
}

HCURSOR LoadCursorA(HINSTANCE, const char* name) {
  if (name == IDC_ARROW) return &U().arrow;
  if (name == IDC_WAIT) return &U().hourglass;
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = U().currentCursor;
  U().currentCursor = cursor;
  if (cursor) platform::Video().ShowBusyCursor(cursor->busy);
  return old;
}

HICON LoadIconA(HINSTANCE, const char*) { return &U().icon; }
HBRUSH GetStockObject(int) { return &U().brush; }

int GetSystemMetrics(int index) {
  int w = 0, h = 0;
  switch (index) {
    case SM_CXSCREEN:
      platform::Video().DesktopSize(&w, &h);
      return w;
    case SM_CYSCREEN:
      platform::Video().DesktopSize(&w, &h);
      return h;
    case SM_CYCAPTION:
      return 23;
    case SM_CXFRAME:
    case SM_CYFRAME:
      return 4;
    case SM_CYSMCAPTION:
      return 18;
    case SM_MAXIMUMTOUCHES:
      return platform::Video().TouchPoints();
    default:
      return 0;
  }
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  int x = 0, y = 0;
  if (!platform::Video().CursorScreenPosition(&x, &y)) platform::MousePosition(&x, &y);
  point->x = x;
  point->y = y;
  return TRUE;
}

int16_t GetAsyncKeyState(int virtualKey) {
  return platform::VirtualKeyHeld(virtualKey) ? static_cast<int16_t>(0x8000) : 0;
}

HDC GetDC(HWND) { return &U().desktopDc; }
int ReleaseDC(HWND, HDC) { return 1; }
// The layer's display is 16-bit, whatever the desktop underneath uses
// (QB_DEPTH lets a test pretend otherwise).
int GetDeviceCaps(HDC, int index) {
  return index == BITSPIXEL ? static_cast<int>(platform::GetConfig().desktopDepth) : 0;
}
