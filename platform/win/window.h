// Window class, the one main window, its message queue, message boxes,
// cursors and system metrics. One process has at most one window; messages
// come from the video backend's device events and from scripted input, both
// through the same translation (input_translate.cpp).
#pragma once

#include "platform/win/wintypes.h"

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  const char* lpszMenuName;
  const char* lpszClassName;
};

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000u;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000u;
constexpr DWORD WS_EX_LEFT = 0x00000000u;
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// SetWindowPos.
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-1)))
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_SHOWWINDOW = 0x0040;

// PeekMessage.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// MessageBox.
constexpr UINT MB_OK = 0x00000000u;
constexpr UINT MB_ICONERROR = 0x00000010u;
constexpr int IDOK = 1;

// System metrics.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_CYSMCAPTION = 51;
constexpr int SM_MAXIMUMTOUCHES = 95;  // 0: no touch screen

// Device caps.
constexpr int BITSPIXEL = 12;

// Stock cursors and brushes (resource ids as pointer values).
#define IDC_ARROW (reinterpret_cast<const char*>(static_cast<uintptr_t>(32512)))
#define IDC_WAIT (reinterpret_cast<const char*>(static_cast<uintptr_t>(32514)))
constexpr int BLACK_BRUSH = 4;

uint16_t RegisterClassA(const WNDCLASSA* wc);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL SetWindowTextA(HWND window, const char* text);
HWND SetFocus(HWND window);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL IsWindow(HWND window);

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HCURSOR SetCursor(HCURSOR cursor);
HICON LoadIconA(HINSTANCE instance, const char* name);
HBRUSH GetStockObject(int object);
int GetSystemMetrics(int index);
BOOL GetCursorPos(POINT* point);
int16_t GetAsyncKeyState(int virtualKey);

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int GetDeviceCaps(HDC dc, int index);

namespace platform {
// Whether the quit message is posted or a message waiting in the queue
// matches: lets a blocking animation see a close request long before the
// frame loop dispatches it.
bool AnyQueuedMessage(bool (*match)(const MSG& msg));
}  // namespace platform
