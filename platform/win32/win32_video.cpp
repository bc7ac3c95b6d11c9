// Windows' own window: the picture shown by GDI, the window's messages turned
// into device events. The window procedure only gathers events; Poll pumps
// the thread's messages and hands over what they said.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <imm.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/device/keys.h"
#include "platform/device/video.h"
#include "platform/media/frame_diff.h"
#include "platform/media/picture_scaler.h"
#include "platform/win32/win32_keys.h"
#include "platform/winos/wide.h"

namespace platform {
namespace {

constexpr wchar_t kClassName[] = L"QuibbletonWindow";
constexpr int kMinWidth = 400, kMinHeight = 300;

bool InsidePicture(int x, int y) { return x >= 0 && x < 800 && y >= 0 && y < 600; }

int SignedLow(LPARAM v) { return static_cast<short>(LOWORD(v)); }
int SignedHigh(LPARAM v) { return static_cast<short>(HIWORD(v)); }

class Win32Video final : public VideoBackend {
 public:
  ~Win32Video() override {
    CloseWindow();
    // The system's timer back as it was before this program asked for 1 ms.
    if (started_) timeEndPeriod(1);
  }

  bool Start(std::string* reason) override {
    if (started_) return true;
    instance_ = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &Win32Video::Procedure;
    wc.hInstance = instance_;
    // The program's own icon (resource 1, from the art tool); the system's where a program has none.
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.lpszClassName = kClassName;
    // No cursor and no background brush: WM_SETCURSOR and WM_PAINT do both.
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      if (reason) *reason = "RegisterClassExW failed (" + std::to_string(GetLastError()) + ")";
      return false;
    }
    // The frame clock waits 10 ms at a time; the default timer would make
    // that 15.6.
    timeBeginPeriod(1);
    arrow_ = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    hourglass_ = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
    started_ = true;
    return true;
  }

  bool OpenWindow(const WindowParams& params) override {
    if (!started_ && !Start(nullptr)) return false;
    if (window_) CloseWindow();
    int dw = 800, dh = 600;
    DesktopSize(&dw, &dh);
    // As the user left the window last, in this program or the other.
    const WindowOpening opening = PlanWindow(params, dw, dh);
    placement_ = saved_ = opening.remembered;
    savePlacement_ = params.savePlacement;
    fullscreenOnOpen_ = placement_.fullscreen;
    fullscreen_ = false;
    // A captioned window can be resized and maximised; the picture is scaled
    // to fit between black bars and the pointer mapped back, so the programs
    // keep seeing an 800 x 600 client area.
    windowedStyle_ = params.borderless ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    const DWORD exStyle = params.topmost ? WS_EX_TOPMOST : 0;
    // The programs place the client area; the frame goes around it.
    RECT outer{opening.x, opening.y, opening.x + opening.width, opening.y + opening.height};
    AdjustWindowRectEx(&outer, windowedStyle_, FALSE, exStyle);
    window_ = CreateWindowExW(exStyle, kClassName, Wide(params.title).c_str(), windowedStyle_, outer.left, outer.top,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance_, this);
    if (!window_) return false;
    // Text input is on only while a text field has focus.
    ImmAssociateContextEx(window_, nullptr, 0);
    textInput_ = false;
    ShowWindow(window_, placement_.maximised && !params.borderless ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    opened_ = true;
    NoteWindowState();
    Resize();
    return true;
  }

  void CloseWindow() override {
    opened_ = false;
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    shown_.Invalidate();
    pixels_.clear();
    pixelsW_ = pixelsH_ = 0;
    pending_.clear();
    heldKeys_.clear();
    heldButtons_ = 0;
  }

  void SetTitle(const std::string& title) override {
    if (window_) SetWindowTextW(window_, Wide(title).c_str());
  }

  void SetTopmost(bool topmost) override {
    if (window_)
      SetWindowPos(window_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  // Full screen is a borderless window over the whole monitor; leaving it
  // puts the window back where and as it was (maximised or not). The first
  // call, as the window opens, also takes the remembered full screen.
  void SetFullscreen(bool fullscreen) override {
    if (!window_) return;
    fullscreen = fullscreen || fullscreenOnOpen_;
    fullscreenOnOpen_ = false;
    if (fullscreen && !fullscreen_) {
      windowed_ = WINDOWPLACEMENT{};
      windowed_.length = sizeof windowed_;
      GetWindowPlacement(window_, &windowed_);
      MONITORINFO monitor{};
      monitor.cbSize = sizeof monitor;
      GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor);
      const RECT& r = monitor.rcMonitor;
      fullscreen_ = true;  // before the size messages, which must not be noted as the windowed size
      const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
      SetWindowLongPtrW(window_, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_OVERLAPPEDWINDOW)) | WS_POPUP);
      SetWindowPos(window_, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
    } else if (!fullscreen && fullscreen_) {
      const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
      SetWindowLongPtrW(window_, GWL_STYLE,
                        (style & ~static_cast<LONG_PTR>(WS_OVERLAPPEDWINDOW | WS_POPUP)) | windowedStyle_);
      fullscreen_ = false;
      SetWindowPlacement(window_, &windowed_);
      SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    }
    placement_.fullscreen = fullscreen;
    Remember();
  }

  // Only the regions that changed are converted into the window's pixels
  // and sent, and an unchanged frame sends nothing: an idle screen costs
  // next to nothing.
  void Present(const PixelView& frame) override {
    if (!window_ || frame.format != PixelView::Format::Rgb565 || frame.width != 800 || frame.height != 600) return;
    const std::vector<FrameDiff::Rect> changed = shown_.Take(frame.pixels, frame.pitch, 800, 600, 2, frame.dirty);
    if (changed.empty() || pixels_.empty()) return;  // a minimised window is drawn again when restored
    HDC dc = GetDC(window_);
    if (!dc) return;
    for (const FrameDiff::Rect& region : changed) {
      const FrameDiff::Rect r = scaler_.Draw(frame.pixels, frame.pitch, region, Pixels(), pixelsW_ * 4);
      Send(dc, r);
    }
    ReleaseDC(window_, dc);
  }

  void Poll(std::vector<DeviceEvent>& out) override {
    if (!started_) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      // The programs end by their own window's WM_CLOSE; a stray quit
      // message has nothing to stop here.
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    out.insert(out.end(), pending_.begin(), pending_.end());
    pending_.clear();
  }

  void ShowMessage(const char* caption, const char* text) override {
    MessageBoxW(window_, Wide(text ? text : "").c_str(), Wide(caption ? caption : "").c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  }

  void ShowBusyCursor(bool busy) override {
    busy_ = busy;
    if (!window_) return;
    POINT p;
    if (GetCursorPos(&p) && WindowFromPoint(p) == window_) SetCursor(busy_ ? hourglass_ : arrow_);
  }

  void SetTextInput(bool on) override {
    textInput_ = on;
    // The input method (a CJK layout's composition) follows the text field.
    if (window_) ImmAssociateContextEx(window_, nullptr, on ? IACE_DEFAULT : 0);
    text_ = Utf16Text{};
  }

  void DesktopSize(int* width, int* height) override {
    *width = GetSystemMetrics(SM_CXSCREEN);
    *height = GetSystemMetrics(SM_CYSCREEN);
    if (*width <= 0 || *height <= 0) {
      *width = 800;
      *height = 600;
    }
  }

  bool CursorScreenPosition(int* x, int* y) override {
    POINT p;
    if (!GetCursorPos(&p)) return false;
    *x = p.x;
    *y = p.y;
    return true;
  }

  void ClientOrigin(int* x, int* y) override {
    POINT p{0, 0};
    if (window_) ClientToScreen(window_, &p);
    *x = p.x;
    *y = p.y;
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* self = static_cast<Win32Video*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Video*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(window, message, wParam, lParam);
  }

  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DeviceEvent e;
    switch (message) {
      case WM_MOUSEMOVE:
        e.kind = DeviceEvent::Kind::MouseMove;
        e.x = SignedLow(lParam);
        e.y = SignedHigh(lParam);
        scaler_.ToPicture(&e.x, &e.y);
        pending_.push_back(e);
        return 0;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
      case WM_RBUTTONDOWN:
      case WM_RBUTTONDBLCLK:
      case WM_LBUTTONUP:
      case WM_RBUTTONUP: {
        const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_LBUTTONUP;
        const bool down = message != WM_LBUTTONUP && message != WM_RBUTTONUP;
        MouseButton(left ? 0 : 1, down, SignedLow(lParam), SignedHigh(lParam));
        return 0;
      }
      case WM_CAPTURECHANGED:
        // Another window took the pointer (a message box, say): what this
        // window pressed is let go.
        if (reinterpret_cast<HWND>(lParam) != window) ReleaseButtons();
        return 0;
      case WM_KEYDOWN:
      case WM_KEYUP:
      case WM_SYSKEYDOWN:
      case WM_SYSKEYUP:
        return KeyMessage(window, message, wParam, lParam);
      case WM_CHAR: {
        const std::string typed = text_.Take(static_cast<uint16_t>(wParam));
        if (textInput_) PushText(typed);
        return 0;
      }
      case WM_SYSCHAR:
      case WM_SYSDEADCHAR:
        // Alt with a key: no beep and no menu.
        return 0;
      case WM_SYSCOMMAND:
        // The menu by keyboard (Alt alone, F10) has nothing to open.
        if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;
        break;
      case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
          // Keys and buttons let go elsewhere never come back here.
          ReleaseKeys();
          ReleaseButtons();
          e.kind = DeviceEvent::Kind::Deactivate;
        } else {
          e.kind = DeviceEvent::Kind::Activate;
        }
        pending_.push_back(e);
        break;  // DefWindowProc gives the window the keyboard
      case WM_CLOSE:
        // The program decides; DefWindowProc would destroy the window.
        e.kind = DeviceEvent::Kind::Close;
        pending_.push_back(e);
        return 0;
      case WM_MOVE:
        if (IsIconic(window)) return 0;  // a minimised window's place is none
        e.kind = DeviceEvent::Kind::Moved;
        e.x = SignedLow(lParam);
        e.y = SignedHigh(lParam);
        pending_.push_back(e);
        return 0;
      case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) {
          NoteWindowState();
          Resize();
        }
        return 0;
      case WM_GETMINMAXINFO: {
        RECT outer{0, 0, kMinWidth, kMinHeight};
        AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = outer.right - outer.left;
        info->ptMinTrackSize.y = outer.bottom - outer.top;
        return 0;
      }
      case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
          SetCursor(busy_ ? hourglass_ : arrow_);
          return TRUE;
        }
        break;
      case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel, the bars included
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        if (dc && !pixels_.empty()) {
          const RECT& p = ps.rcPaint;
          const int x0 = std::clamp<int>(p.left, 0, pixelsW_), x1 = std::clamp<int>(p.right, 0, pixelsW_);
          const int y0 = std::clamp<int>(p.top, 0, pixelsH_), y1 = std::clamp<int>(p.bottom, 0, pixelsH_);
          Send(dc, {x0, y0, x1 - x0, y1 - y0});
        }
        EndPaint(window, &ps);
        return 0;
      }
      default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  LRESULT KeyMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const bool system = message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
    const bool alt = (lParam & (LPARAM{1} << 29)) != 0;
    const bool repeat = down && (lParam & (LPARAM{1} << 30)) != 0;
    if (wParam == VK_RETURN && alt && down) {
      // Alt+Enter belongs to the window, not to the programs (an Enter
      // pressed before Alt is still let go below).
      if (!repeat) SetFullscreen(!fullscreen_);
      return 0;
    }
    // Alt+F4 closes, as everywhere (DefWindowProc makes it WM_CLOSE).
    if (system && wParam == VK_F4 && alt) return DefWindowProcW(window, message, wParam, lParam);
    if (!repeat) {
      unsigned scanCode = (static_cast<uint32_t>(lParam) >> 16) & 0xFF;
      const bool extended = (lParam & (LPARAM{1} << 24)) != 0;
      // Keys sent by other programs may come without their scan code.
      if (scanCode == 0) scanCode = MapVirtualKeyW(static_cast<UINT>(wParam), MAPVK_VK_TO_VSC);
      const Key key = KeyOfWindowsKey(scanCode, extended, static_cast<unsigned>(wParam),
                                      MapVirtualKeyW(static_cast<UINT>(wParam), MAPVK_VK_TO_CHAR));
      if (key != Key::None) PushKey(key, down);
    }
    // Nothing of Alt reaches the system menu; the rest are the programs' keys.
    return 0;
  }

  void PushKey(Key key, bool down) {
    const auto held = std::find(heldKeys_.begin(), heldKeys_.end(), key);
    if (down && held == heldKeys_.end()) heldKeys_.push_back(key);
    if (!down) {
      if (held == heldKeys_.end()) return;  // pressed while another window had the keyboard
      heldKeys_.erase(held);
    }
    DeviceEvent e;
    e.kind = DeviceEvent::Kind::Key;
    e.key = key;
    e.down = down;
    pending_.push_back(e);
  }

  void ReleaseKeys() {
    while (!heldKeys_.empty()) PushKey(heldKeys_.back(), false);
  }

  void PushText(const std::string& typed) {
    if (typed.empty()) return;
    DeviceEvent e;
    e.kind = DeviceEvent::Kind::Text;
    std::memcpy(e.text, typed.data(), std::min(typed.size(), sizeof e.text - 1));
    pending_.push_back(e);
  }

  void MouseButton(int button, bool down, int x, int y) {
    const int bit = 1 << button;
    DeviceEvent e;
    e.kind = DeviceEvent::Kind::MouseMove;
    e.x = x;
    e.y = y;
    scaler_.ToPicture(&e.x, &e.y);
    // A press on the black bars is outside the client area the programs
    // know; a release always goes through so no button stays held.
    if (down && !InsidePicture(e.x, e.y)) return;
    pending_.push_back(e);
    e.kind = DeviceEvent::Kind::MouseButton;
    e.button = button;
    e.down = down;
    pending_.push_back(e);
    if (down) {
      // Held, the pointer stays this window's even outside it, so the release comes here.
      heldButtons_ |= bit;
      SetCapture(window_);
    } else {
      heldButtons_ &= ~bit;
      if (!heldButtons_ && GetCapture() == window_) ReleaseCapture();
    }
  }

  void ReleaseButtons() {
    for (int button = 0; button < 2; ++button) {
      if (!(heldButtons_ & (1 << button))) continue;
      heldButtons_ &= ~(1 << button);
      DeviceEvent e;
      e.kind = DeviceEvent::Kind::MouseButton;
      e.button = button;
      e.down = false;
      int x = 0, y = 0;
      if (POINT p; GetCursorPos(&p) && ScreenToClient(window_, &p)) {
        x = p.x;
        y = p.y;
      }
      scaler_.ToPicture(&x, &y);
      e.x = x;
      e.y = y;
      pending_.push_back(e);
    }
  }

  // Notes the window's state after a change of size; the maximised state is
  // the windowed one, so full screen leaves it as it was.
  void NoteWindowState() {
    if (!window_ || !opened_ || fullscreen_ || IsIconic(window_)) return;
    placement_.maximised = IsZoomed(window_) != 0;
    if (!placement_.maximised) {
      RECT client;
      GetClientRect(window_, &client);
      placement_.width = client.right;
      placement_.height = client.bottom;
    }
    Remember();
  }

  void Remember() {
    if (placement_ == saved_) return;
    saved_ = placement_;
    if (savePlacement_) savePlacement_(placement_);
  }

  // The window's pixels for its new size: black bars, the last frame
  // scaled between them, all of it painted again.
  void Resize() {
    if (!window_) return;
    RECT client;
    GetClientRect(window_, &client);
    if (client.right <= 0 || client.bottom <= 0) return;
    if (client.right == pixelsW_ && client.bottom == pixelsH_ && !pixels_.empty()) return;
    pixelsW_ = client.right;
    pixelsH_ = client.bottom;
    pixels_.assign(static_cast<size_t>(pixelsW_) * pixelsH_, 0);
    scaler_.Place(pixelsW_, pixelsH_);
    // A 32-bit DIB is blue, green, red and an unused byte, in that order.
    scaler_.SetPacked(16, 8, 0, 0);
    if (const uint8_t* shown = shown_.Shown())
      scaler_.Draw(shown, shown_.ShownPitch(), {0, 0, 800, 600}, Pixels(), pixelsW_ * 4);
    InvalidateRect(window_, nullptr, FALSE);
  }

  uint8_t* Pixels() { return reinterpret_cast<uint8_t*>(pixels_.data()); }

  // Sends a region of the window's pixels: the rows of the region alone,
  // as a top-down DIB as tall as the region, so no GDI object is made.
  void Send(HDC dc, FrameDiff::Rect r) {
    if (r.w <= 0 || r.h <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixelsW_;
    info.bmiHeader.biHeight = -r.h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, r.x, r.y, static_cast<DWORD>(r.w), static_cast<DWORD>(r.h), r.x, 0, 0,
                      static_cast<UINT>(r.h), pixels_.data() + static_cast<size_t>(r.y) * pixelsW_, &info,
                      DIB_RGB_COLORS);
  }

  bool started_ = false;
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  bool opened_ = false;  // shown; size changes from here on are the user's
  DWORD windowedStyle_ = WS_OVERLAPPEDWINDOW;
  bool fullscreen_ = false;
  WINDOWPLACEMENT windowed_{};  // where the window was before full screen
  WindowPlacement placement_, saved_;
  bool (*savePlacement_)(const WindowPlacement&) = nullptr;
  bool fullscreenOnOpen_ = false;
  FrameDiff shown_;
  PictureScaler scaler_;
  std::vector<uint32_t> pixels_;  // the whole client area, top row first
  int pixelsW_ = 0, pixelsH_ = 0;
  std::vector<DeviceEvent> pending_;
  std::vector<Key> heldKeys_;
  int heldButtons_ = 0;  // bit 0 left, bit 1 right
  Utf16Text text_;
  bool textInput_ = false;
  bool busy_ = false;
  HCURSOR arrow_ = nullptr, hourglass_ = nullptr;
};

}  // namespace

std::unique_ptr<VideoBackend> CreateWin32Video() { return std::make_unique<Win32Video>(); }

}  // namespace platform
