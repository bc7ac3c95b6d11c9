#include "shell/app.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/device/clock.h"
#include "platform/device/config.h"
#include "platform/win/mci.h"
#include "platform/win/mmtimer.h"
#include "platform/win/profile.h"
#include "gx/mouse_cursor.h"
#include "screens/screen.h"
#include "screens/screen_manager.h"
#include "gx/frame_clock.h"
#include "gx/gx.h"
#include "gx/gx_font.h"
#include "gx/random.h"
#include "widgets/redraw_manager.h"
#include "gx/surface.h"
#include "records/shared_files.h"

std::atomic<int> appActive{0};
int fullScreen = 0;
int fpsVisible = 0;
float frameRate = 100.0f;
int nextFrameTick = 0;
int mouseOffsetX = 0, mouseOffsetY = 0;
char commandLine[512] = "";
// The library's DirectDraw object and the two surfaces the frame loop draws
// to and flips; only the shell itself uses them.
static IDirectDraw* directDraw = nullptr;
static IDirectDrawSurface* primarySurface = nullptr;
static IDirectDrawSurface* backSurface = nullptr;

namespace {

const char kWindowClass[] = "DirectX Class";
const char kMusicOpen[] = "open .\\sounds\\music.mp3 alias music";

HINSTANCE instanceHandle = nullptr;
ShellVariant defaultVariant;
const ShellVariant* variant = &defaultVariant;

int ReadSetupInt(const char* key, DWORD size) {
  char value[256] = "";
  GetPrivateProfileStringA(records::kSetupSection, key, "0", value, size, records::kSetup);
  return std::atoi(value);
}

void CopyCommandLine(const char* text) {
  std::snprintf(commandLine, sizeof commandLine, "%s", text ? text : "");
}

void SendMusic(const char* command, HWND callback) {
  if (variant->music) mciSendStringA(command, nullptr, 0, callback);
}

// The readout is printed on the back buffer, under no screen's control:
// switched off, its place gets the screen's picture back with the next
// present. Only a whole-screen picture is in screen coordinates (a pop-up's
// is not), so under a pop-up it stays until the screen is drawn again.
void ClearFrameRateReadout() {
  int w = 0, h = 0;
  GetSurfaceSize(redrawManager.GetTarget(), &w, &h);
  if (w != clientWidth || h != clientHeight) return;
  redrawManager.AddDirtyRect(580, 0, 8 * kPixelFontCellWidth, kPixelFontCellHeight, kDirtyOneShot, kDirtyPresent);
}

// The frame loop: one pass per frame until the quit message or a screen's 7.
int FrameLoop() {
  for (;;) {
    if (PumpMessages()) return 0;
    if (appActive.load()) {
      GXAcquireMouse(1);
      if (variant->paceFrames) FramePace(100);
      if (variant->printFpsInLoop && fpsVisible) {
        char text[32];
        std::snprintf(text, sizeof text, "%5.2f", GXGetFPS());
        GXPrintString(text, 580, 0);
      }
      if (screenManager.Run(appActive.load()) == kScreenQuit) {
        if (variant->quitPauseMs > 0) Sleep(static_cast<DWORD>(variant->quitPauseMs));
        DestroyWindow(mainWindow);
        return 0;
      }
    } else {
      GXAcquireMouse(0);
      // Nothing runs while inactive; wait a tick for messages instead of spinning.
      Sleep(10);
    }
  }
}

}  // namespace

void FramePace(int rate) {
  int period = 1000 / (rate > 0 ? rate : 1);
  // Wait on the clock (never spinning); without a running clock, sleep the period instead.
  if (!platform::WaitForTimer([] { return TicksSince(nextFrameTick) >= 0; })) Sleep(static_cast<DWORD>(period));
  nextFrameTick = TicksAfter(period);
  frameRate = static_cast<float>(rate);
  if (fpsVisible == 1) {
    char text[32];
    std::snprintf(text, sizeof text, "%5.2f", frameRate);
    GXPrintString(text, 580, 0);
  }
}

void SetWindowTitle(const char* text) {
  char title[512];
  std::snprintf(title, sizeof title, "%s - %s", variant->title, text ? text : "");
  SetWindowTextA(mainWindow, title);
}

void SetBusyCursor(int busy) {
  static HCURSOR arrow = nullptr, hourglass = nullptr;
  if (busy) {
    if (!hourglass) hourglass = LoadCursorA(nullptr, IDC_WAIT);
    SetCursor(hourglass);
  } else {
    if (!arrow) arrow = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(arrow);
  }
}

int RegisterMainClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, "");
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = GetStockObject(BLACK_BRUSH);
  wc.lpszClassName = kWindowClass;
  return RegisterClassA(&wc) != 0 ? 1 : 0;
}

int CreateMainWindow(HINSTANCE instance) {
  int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  if (fullScreen) {
    mainWindow = CreateWindowExA(WS_EX_LEFT, kWindowClass, variant->title, WS_VISIBLE, 0, 0, screenW, screenH,
                                 nullptr, nullptr, instance, nullptr);
  } else {
    int x = screenW / 2 - 400, y = screenH / 2 - 300;
    bool borderless = ReadSetupInt("nowindow", 32) == 1;
    if (borderless) {
      mainWindow = CreateWindowExA(WS_EX_LEFT, kWindowClass, nullptr, WS_POPUP | WS_VISIBLE, x, y, 800, 600,
                                   nullptr, nullptr, instance, nullptr);
    } else {
      mainWindow = CreateWindowExA(WS_EX_LEFT, kWindowClass, variant->title,
                                   WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, x, y, 800, 600,
                                   nullptr, nullptr, instance, nullptr);
    }
    if (mainWindow && (borderless || (variant->topmostAt800x600 && screenW == 800 && screenH == 600)))
      SetWindowPos(mainWindow, HWND_TOPMOST, x, y, 800, 600, SWP_SHOWWINDOW);
  }
  if (!mainWindow) return 0;
  ShowWindow(mainWindow, SW_SHOWNORMAL);
  UpdateWindow(mainWindow);
  clientWidth = 800;
  clientHeight = 600;
  return 1;
}

LRESULT MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  screenManager.HandleMessage(window, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY:
      StopClock();
      screenManager.LeaveAll();
      if (variant->shutdownProgram) variant->shutdownProgram();
      GXAcquireMouse(0);
      GXFreeFont();
      GXFreeDirectInput();
      GXFreeDirectX();
      backSurface = primarySurface = nullptr;
      directDraw = nullptr;
      if (variant->shutdownSound) variant->shutdownSound();
      SendMusic("close music", nullptr);
      appActive = 0;
      PostQuitMessage(0);
      break;
    case WM_MOVE:
      if (mainWindow) {
        POINT origin{0, 0};
        ClientToScreen(mainWindow, &origin);
        GXSetWindowXY(origin.x, origin.y);
      }
      break;
    case WM_SIZE:
      if (wParam == SIZE_MAXIMIZED) {
        int w = LOWORD(static_cast<uintptr_t>(lParam)), h = HIWORD(static_cast<uintptr_t>(lParam));
        GXSetWindowXY(w / 2 - 399, h / 2 - 300);
        mouseOffsetX = w / 2 - 399;
        mouseOffsetY = h / 2 - 300 - GetSystemMetrics(SM_CYFRAME) - GetSystemMetrics(SM_CYSMCAPTION);
      } else if (wParam == SIZE_RESTORED) {
        mouseOffsetX = mouseOffsetY = 0;
      }
      mouseCursor.SetOffset(mouseOffsetX, mouseOffsetY);
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        SendMusic("pause music", mainWindow);
        GXAcquireMouse(0);
        appActive = 0;
      } else if (LOWORD(wParam) == WA_ACTIVE) {
        SendMusic("resume music", mainWindow);
        GXAcquireMouse(1);
        appActive = 1;
        SetFocus(mainWindow);
      }
      break;
    case WM_CLOSE:
      DestroyWindow(mainWindow);
      break;
    case WM_ACTIVATEAPP:
      appActive = wParam != 0 ? 1 : 0;
      break;
    case WM_KEYUP:
      if (wParam == VK_ESCAPE && !(variant->takeEscape && variant->takeEscape()))
        PostMessageA(mainWindow, WM_CLOSE, 0, 0);
      if (wParam == VK_F1) {
        fpsVisible = 1 - fpsVisible;
        if (!fpsVisible) ClearFrameRateReadout();
      }
      break;
    case WM_SYSCOMMAND:
      if (wParam == SC_SCREENSAVE) return 0;
      break;
    case MM_MCINOTIFY:
      // The music has ended: start it again from the beginning.
      SendMusic("close music", nullptr);
      SendMusic(kMusicOpen, nullptr);
      SendMusic("play music notify", mainWindow);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int RunShell(const ShellVariant& v, HINSTANCE instance, const char* text) {
  variant = &v;
  if (v.checkDisplayDepth) {
    HDC dc = GetDC(nullptr);
    int bits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    if (bits != 15 && bits != 16) {
      MessageBoxA(nullptr, "Plinkworks need the display set to High Color (16 bit).", nullptr, MB_ICONERROR);
      return 0;
    }
  }
  if (v.requireCommandLine && (!text || !*text)) {
    MessageBoxA(nullptr, "Game must be run from the Lobbo", "ERROR", MB_OK);
    return 0;
  }
  CopyCommandLine(text);

  IDirectDraw* probe = nullptr;
  if (DirectDrawCreate(nullptr, &probe, nullptr) != DD_OK) {
    MessageBoxA(nullptr, "DirectX not installed. Program needs DirectX 7.0a or higher to run", nullptr, MB_ICONERROR);
    return 0;
  }
  void* seven = nullptr;
  if (probe->QueryInterface(IID_IDirectDraw7, &seven) != S_OK || !seven) {
    probe->Release();
    MessageBoxA(nullptr, "DirectX Version 7.0a or greater not installed", nullptr, MB_ICONERROR);
    return 0;
  }
  static_cast<IDirectDraw*>(seven)->Release();
  probe->Release();

  instanceHandle = instance;
  GXSetInstance(instance);
  {
    char value[256] = "";
    GetPrivateProfileStringA(records::kSetupSection, records::kFullscreenKey, "0", value, 256, records::kSetup);
    fullScreen = std::atoi(value);
  }
  if (!RegisterMainClass(instance) || !CreateMainWindow(instance)) return 1;
  GXDebugEnable(0);
  if (fullScreen) {
    if (!GXInitDirectX(mainWindow, 800, 600, 16)) return 1;
    GXSetViewport(0, 0, 800, 600);
  } else {
    if (!GXInitDirectX(mainWindow, clientWidth, clientHeight)) {
      GXPrintError();
      return 1;
    }
    GXSetViewport(0, 0, clientWidth, clientHeight);
  }
  directDraw = GXGetLPDD();
  GXGetDDInfo(&primarySurface, &backSurface);
  Fill(backSurface, 0);
  GXSetInstance(instance);
  GXInitMouse();
  StartClock();
  if (v.startSound) v.startSound(mainWindow);
  POINT cursor{0, 0};
  GetCursorPos(&cursor);
  mouseCursor.SetPosition(cursor.x, cursor.y);
  GXAcquireMouse(1);
  const auto& seed = platform::GetConfig().seed;
  lcg::srand(seed ? *seed : static_cast<uint32_t>(std::time(nullptr)));
  GXInitFont(mainWindow);
  screenManager.SetSurfaces(directDraw, backSurface);
  if (v.registerScreens) v.registerScreens(commandLine);
  GXInitKeyboard();
  return FrameLoop();
}
