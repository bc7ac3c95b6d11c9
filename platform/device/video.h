// The video backends behind the window and the display: each is one entry in
// a table ({name, create}) chosen by QB_VIDEO. The SDL backend opens a real
// window; the headless one has none and only keeps the presented frames.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/device/device_event.h"
#include "platform/media/frame_diff.h"

namespace platform {

// A frame as a backend sees it: the pixels, their layout, and the region
// drawn since the previous frame (the only places the two can differ).
struct PixelView {
  enum class Format { Rgb565, Indexed8 };
  const uint8_t* pixels = nullptr;
  int width = 0, height = 0;
  int pitch = 0;  // bytes from one row to the next
  Format format = Format::Rgb565;
  using Rect = FrameDiff::Rect;
  std::vector<Rect> dirty;  // the regions drawn; none when nothing was
};

// The window as the user left it, which a backend with real windows opens
// as and keeps up to date.
struct WindowPlacement {
  int width = 0, height = 0;  // the window's size when neither maximised nor full screen; 0 = not known
  bool maximised = false;
  bool fullscreen = false;
  bool operator==(const WindowPlacement&) const = default;
};

struct WindowParams {
  std::string title;
  int x = 0, y = 0, width = 800, height = 600;
  bool fullscreen = false;
  bool borderless = false;
  bool topmost = false;
  // Where the placement is remembered (platform/win/window_memory.h); null
  // for a window that remembers nothing.
  WindowPlacement (*loadPlacement)() = nullptr;
  bool (*savePlacement)(const WindowPlacement& placement) = nullptr;
};

// How a window opens on a desktop of that size: the placement the user left
// (from params.loadPlacement), and the client area's size and position. The
// size is the remembered one where the desktop still holds it (never below
// 400 x 300), else the picture at the largest whole-number scale that leaves
// a tenth of the desktop free, so the pixels stay crisp; either way centred
// where the programs asked for 800 x 600.
struct WindowOpening {
  WindowPlacement remembered;
  int x = 0, y = 0, width = 800, height = 600;
};
WindowOpening PlanWindow(const WindowParams& params, int desktopWidth, int desktopHeight);

class VideoBackend {
 public:
  virtual ~VideoBackend() = default;
  // Brings the backend up far enough to know it works (the start-up probe).
  virtual bool Start(std::string* reason) = 0;
  virtual bool OpenWindow(const WindowParams& params) = 0;
  virtual void CloseWindow() = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetTopmost(bool topmost) = 0;
  // Full screen: the desktop's whole screen, the 800 x 600 picture scaled between black bars.
  virtual void SetFullscreen(bool fullscreen) = 0;
  // Shows an 800 x 600 RGB565 frame in the window.
  virtual void Present(const PixelView& frame) = 0;
  // Appends the device events that arrived since the last call.
  virtual void Poll(std::vector<DeviceEvent>& out) = 0;
  // Blocks until dismissed where a display exists; never blocks headless.
  virtual void ShowMessage(const char* caption, const char* text) = 0;
  virtual void ShowBusyCursor(bool busy) = 0;
  virtual void DesktopSize(int* width, int* height) = 0;
  virtual bool CursorScreenPosition(int* x, int* y) = 0;
  // Screen position of the client area's top-left corner.
  virtual void ClientOrigin(int* x, int* y) = 0;
  // Text input wanted (a text field has focus) or not: the system's text
  // input (an input method, a phone's on-screen keyboard) follows it, and
  // text events arrive only while it is on.
  virtual void SetTextInput(bool on) = 0;
  // How many touches the screen takes at once, 0 for no touch screen: a
  // program shown on one says "tap" where it would say "click".
  virtual int TouchPoints() { return 0; }
};

struct VideoBackendEntry {
  const char* name;
  std::unique_ptr<VideoBackend> (*create)();
};

std::unique_ptr<VideoBackend> CreateSdlVideo();
// A window of Windows' own; defined only in the Windows build (platform/win32/).
std::unique_ptr<VideoBackend> CreateWin32Video();
std::unique_ptr<VideoBackend> CreateHeadlessVideo();
// A browser page's canvas; defined only in the web build (platform/web/).
[[gnu::weak]] std::unique_ptr<VideoBackend> CreateWebVideo();

// The backend chosen by QB_VIDEO, created on first use.
// Whether QB_VIDEO may name this backend.
bool IsVideoBackendName(const std::string& name);
VideoBackend& Video();
const char* VideoBackendName();
// Starts the chosen backend once; false (with the reason) when it cannot start.
bool VideoAvailable(std::string* reason);

}  // namespace platform
