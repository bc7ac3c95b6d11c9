// The SDL2 backend: a real window, its renderer, and SDL events turned into
// device events.
#include <SDL.h>

#include <algorithm>
#include <cstdlib>

#include "platform/frame_diff.h"
#include "platform/keys.h"
#include "platform/video.h"

namespace platform {
namespace {

int ScanCodeFromSdl(SDL_Scancode sc) {
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return 0x02 + (sc - SDL_SCANCODE_1);
  switch (sc) {
    case SDL_SCANCODE_ESCAPE: return 0x01;
    case SDL_SCANCODE_0: return 0x0B;
    case SDL_SCANCODE_MINUS: return 0x0C;
    case SDL_SCANCODE_EQUALS: return 0x0D;
    case SDL_SCANCODE_BACKSPACE: return 0x0E;
    case SDL_SCANCODE_TAB: return 0x0F;
    case SDL_SCANCODE_Q: return 0x10;
    case SDL_SCANCODE_W: return 0x11;
    case SDL_SCANCODE_E: return 0x12;
    case SDL_SCANCODE_R: return 0x13;
    case SDL_SCANCODE_T: return 0x14;
    case SDL_SCANCODE_Y: return 0x15;
    case SDL_SCANCODE_U: return 0x16;
    case SDL_SCANCODE_I: return 0x17;
    case SDL_SCANCODE_O: return 0x18;
    case SDL_SCANCODE_P: return 0x19;
    case SDL_SCANCODE_LEFTBRACKET: return 0x1A;
    case SDL_SCANCODE_RIGHTBRACKET: return 0x1B;
    case SDL_SCANCODE_RETURN: return 0x1C;
    case SDL_SCANCODE_KP_ENTER: return 0x1C;
    case SDL_SCANCODE_A: return 0x1E;
    case SDL_SCANCODE_S: return 0x1F;
    case SDL_SCANCODE_D: return 0x20;
    case SDL_SCANCODE_F: return 0x21;
    case SDL_SCANCODE_G: return 0x22;
    case SDL_SCANCODE_H: return 0x23;
    case SDL_SCANCODE_J: return 0x24;
    case SDL_SCANCODE_K: return 0x25;
    case SDL_SCANCODE_L: return 0x26;
    case SDL_SCANCODE_SEMICOLON: return 0x27;
    case SDL_SCANCODE_APOSTROPHE: return 0x28;
    case SDL_SCANCODE_GRAVE: return 0x29;
    case SDL_SCANCODE_LSHIFT: return 0x2A;
    case SDL_SCANCODE_BACKSLASH: return 0x2B;
    case SDL_SCANCODE_Z: return 0x2C;
    case SDL_SCANCODE_X: return 0x2D;
    case SDL_SCANCODE_C: return 0x2E;
    case SDL_SCANCODE_V: return 0x2F;
    case SDL_SCANCODE_B: return 0x30;
    case SDL_SCANCODE_N: return 0x31;
    case SDL_SCANCODE_M: return 0x32;
    case SDL_SCANCODE_COMMA: return 0x33;
    case SDL_SCANCODE_PERIOD: return 0x34;
    case SDL_SCANCODE_SLASH: return 0x35;
    case SDL_SCANCODE_RSHIFT: return 0x36;
    case SDL_SCANCODE_SPACE: return 0x39;
    case SDL_SCANCODE_F1: return 0x3B;
    default: return 0;
  }
}

bool InsidePicture(int x, int y) { return x >= 0 && x < 800 && y >= 0 && y < 600; }

bool HasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}

class SdlVideo final : public VideoBackend {
 public:
  ~SdlVideo() override {
    CloseWindow();
    if (arrow_) SDL_FreeCursor(arrow_);
    if (hourglass_) SDL_FreeCursor(hourglass_);
    if (started_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  bool Start(std::string* reason) override {
    if (started_) return true;
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      if (reason) *reason = SDL_GetError();
      return false;
    }
    started_ = true;
    return true;
  }

  bool OpenWindow(const WindowParams& params) override {
    if (!started_ && !Start(nullptr)) return false;
    int dw = 800, dh = 600;
    DesktopSize(&dw, &dh);
    // A whole-number scale where the desktop has room for it, so the pixels stay crisp.
    int scale = 1;
    while (800 * (scale + 1) <= dw * 9 / 10 && 600 * (scale + 1) <= dh * 9 / 10) ++scale;
    int w = 800 * scale, h = 600 * scale;
    int x = params.x - (w - params.width) / 2, y = params.y - (h - params.height) / 2;
    // A captioned window can be resized and maximised; the picture is scaled
    // to fit between black bars and the pointer mapped back by the renderer's
    // logical size, so the programs keep seeing an 800 x 600 client area.
    Uint32 flags = SDL_WINDOW_SHOWN;
    if (params.borderless) flags |= SDL_WINDOW_BORDERLESS;
    else flags |= SDL_WINDOW_RESIZABLE;
    if (params.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    window_ = SDL_CreateWindow(params.title.c_str(), x, y, w, h, flags);
    if (!window_) return false;
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) {
      CloseWindow();
      return false;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    SDL_RenderSetLogicalSize(renderer_, 800, 600);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, 800, 600);
    if (!texture_) {
      CloseWindow();
      return false;
    }
    SDL_SetWindowMinimumSize(window_, 400, 300);
    FitScaleMode();
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
    return true;
  }

  void CloseWindow() override {
    shown_.Invalidate();
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
  }

  void SetTitle(const std::string& title) override {
    if (window_) SDL_SetWindowTitle(window_, title.c_str());
  }

  void SetTopmost(bool topmost) override {
    if (window_) SDL_SetWindowAlwaysOnTop(window_, topmost ? SDL_TRUE : SDL_FALSE);
  }

  void SetFullscreen(bool fullscreen) override {
    if (window_) SDL_SetWindowFullscreen(window_, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  }

  bool IsFullscreen() const {
    return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
  }

  // Whole-number scales keep crisp pixels; any other scale is smoothed, as
  // nearest-neighbour at 1.6x would draw every third row and column twice.
  void FitScaleMode() {
    int w = 0, h = 0;
    if (!renderer_ || !texture_ || SDL_GetRendererOutputSize(renderer_, &w, &h) != 0) return;
    const float scale = std::min(w / 800.0f, h / 600.0f);
    const bool whole = scale >= 1.0f && scale == static_cast<float>(static_cast<int>(scale));
    SDL_SetTextureScaleMode(texture_, whole ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
  }

  // Only the rows that changed go to the texture, and an unchanged frame is
  // not presented at all: an idle screen costs next to nothing in a window.
  void Present(const IDirectDrawSurface& frame) override {
    if (!renderer_ || frame.BitsPerPixel() != 16) return;
    const FrameDiff::Rows rows = shown_.Take(frame.Pixels(), frame.Pitch(), frame.Height());
    if (rows.count == 0) return;
    const SDL_Rect changed{0, rows.first, frame.Width(), rows.count};
    SDL_UpdateTexture(texture_, &changed, frame.Pixels() + static_cast<size_t>(rows.first) * frame.Pitch(),
                      frame.Pitch());
    ShowTexture();
  }

  void ShowTexture() {
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

  void Poll(std::vector<DeviceEvent>& out) override {
    if (!started_) return;
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) Translate(ev, out);
  }

  void ShowMessage(const char* caption, const char* text) override {
    if (HasDisplay()) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, window_);
  }

  void SetBusyCursor(bool busy) override {
    if (!started_) return;
    SDL_Cursor*& c = busy ? hourglass_ : arrow_;
    if (!c) c = SDL_CreateSystemCursor(busy ? SDL_SYSTEM_CURSOR_WAIT : SDL_SYSTEM_CURSOR_ARROW);
    if (c) SDL_SetCursor(c);
  }

  void DesktopSize(int* width, int* height) override {
    SDL_DisplayMode mode;
    if (started_ && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
      *width = mode.w;
      *height = mode.h;
    } else {
      *width = 800;
      *height = 600;
    }
  }

  bool CursorScreenPosition(int* x, int* y) override {
    if (!started_) return false;
    SDL_GetGlobalMouseState(x, y);
    return true;
  }

  void ClientOrigin(int* x, int* y) override {
    *x = *y = 0;
    if (window_) SDL_GetWindowPosition(window_, x, y);
  }

 private:
  void Translate(const SDL_Event& ev, std::vector<DeviceEvent>& out) {
    DeviceEvent e;
    switch (ev.type) {
      case SDL_MOUSEMOTION:
        e.kind = DeviceEvent::Kind::MouseMove;
        e.x = ev.motion.x;
        e.y = ev.motion.y;
        out.push_back(e);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (ev.button.button != SDL_BUTTON_LEFT && ev.button.button != SDL_BUTTON_RIGHT) break;
        // A press on the black bars is outside the client area the programs
        // know; a release always goes through so no button stays held.
        if (ev.type == SDL_MOUSEBUTTONDOWN && !InsidePicture(ev.button.x, ev.button.y)) break;
        e.kind = DeviceEvent::Kind::MouseMove;
        e.x = ev.button.x;
        e.y = ev.button.y;
        out.push_back(e);
        e.kind = DeviceEvent::Kind::MouseButton;
        e.button = ev.button.button == SDL_BUTTON_LEFT ? 0 : 1;
        e.down = ev.type == SDL_MOUSEBUTTONDOWN;
        out.push_back(e);
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        if (ev.key.repeat) break;
        if (ev.key.keysym.scancode == SDL_SCANCODE_RETURN && (ev.key.keysym.mod & KMOD_ALT)) {
          // Alt+Enter belongs to the window, not to the programs.
          if (ev.type == SDL_KEYDOWN) SetFullscreen(!IsFullscreen());
          break;
        }
        int code = ScanCodeFromSdl(ev.key.keysym.scancode);
        const KeyInfo* key = KeyByScanCode(code);
        if (!key) break;
        e.kind = DeviceEvent::Kind::Key;
        e.scanCode = code;
        e.virtualKey = key->virtualKey;
        e.down = ev.type == SDL_KEYDOWN;
        out.push_back(e);
        break;
      }
      case SDL_WINDOWEVENT:
        switch (ev.window.event) {
          case SDL_WINDOWEVENT_FOCUS_GAINED:
            e.kind = DeviceEvent::Kind::Activate;
            out.push_back(e);
            break;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            e.kind = DeviceEvent::Kind::Deactivate;
            out.push_back(e);
            break;
          case SDL_WINDOWEVENT_CLOSE:
            e.kind = DeviceEvent::Kind::Close;
            out.push_back(e);
            break;
          case SDL_WINDOWEVENT_SIZE_CHANGED:
            FitScaleMode();
            [[fallthrough]];
          case SDL_WINDOWEVENT_EXPOSED:
            // The window needs its picture again, whether or not frames are
            // running: the texture always holds the whole last frame.
            if (renderer_) ShowTexture();
            break;
          case SDL_WINDOWEVENT_MOVED:
            e.kind = DeviceEvent::Kind::Moved;
            e.x = ev.window.data1;
            e.y = ev.window.data2;
            out.push_back(e);
            break;
          default:
            break;
        }
        break;
      case SDL_QUIT:
        e.kind = DeviceEvent::Kind::Close;
        out.push_back(e);
        break;
      default:
        break;
    }
  }

  bool started_ = false;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  FrameDiff shown_;
  SDL_Cursor* arrow_ = nullptr;
  SDL_Cursor* hourglass_ = nullptr;
};

}  // namespace

std::unique_ptr<VideoBackend> CreateSdlVideo() { return std::make_unique<SdlVideo>(); }

}  // namespace platform
