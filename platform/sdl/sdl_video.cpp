// The SDL2 backend: a real window, its pixels, and SDL events turned into
// device events.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "platform/media/frame_diff.h"
#include "platform/device/keys.h"
#include "platform/sdl/sdl_keys.h"
#include "platform/media/picture_scaler.h"
#include "platform/device/video.h"

namespace platform {
namespace {

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
    // The window's own pixels, sent region by region (shared memory on X),
    // instead of a GL texture that presents the whole window every time.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
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
    // As the user left the window last, in this program or the other.
    const WindowOpening opening = PlanWindow(params, dw, dh);
    placement_ = saved_ = opening.remembered;
    savePlacement_ = params.savePlacement;
    fullscreenOnOpen_ = placement_.fullscreen;
    // A captioned window can be resized and maximised; the picture is scaled
    // to fit between black bars and the pointer mapped back, so the programs
    // keep seeing an 800 x 600 client area.
    Uint32 flags = SDL_WINDOW_SHOWN;
    if (params.borderless) flags |= SDL_WINDOW_BORDERLESS;
    else flags |= SDL_WINDOW_RESIZABLE;
    if (params.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    window_ = SDL_CreateWindow(params.title.c_str(), opening.x, opening.y, opening.width, opening.height, flags);
    if (!window_) return false;
    SDL_SetWindowMinimumSize(window_, 400, 300);
    if (placement_.width == 0) SDL_GetWindowSize(window_, &placement_.width, &placement_.height);
    if (placement_.maximised && !params.borderless) SDL_MaximizeWindow(window_);
    if (!SDL_GetWindowSurface(window_)) {
      CloseWindow();
      return false;
    }
    // SDL starts with text input on; it is on only while a text field is focused.
    SDL_StopTextInput();
    RedrawWindow();
    return true;
  }

  void CloseWindow() override {
    shown_.Invalidate();
    paletteFormat_ = 0;
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
  }

  void SetTitle(const std::string& title) override {
    if (window_) SDL_SetWindowTitle(window_, title.c_str());
  }

  void SetTopmost(bool topmost) override {
    if (window_) SDL_SetWindowAlwaysOnTop(window_, topmost ? SDL_TRUE : SDL_FALSE);
  }

  // The first call, as the window opens, also takes the remembered full
  // screen; leaving full screen gives back a maximised window maximised.
  void SetFullscreen(bool fullscreen) override {
    if (!window_) return;
    fullscreen = fullscreen || fullscreenOnOpen_;
    fullscreenOnOpen_ = false;
    SDL_SetWindowFullscreen(window_, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    if (!fullscreen && placement_.maximised) SDL_MaximizeWindow(window_);
    placement_.fullscreen = fullscreen;
    Remember();
  }

  // Notes the window's state after a size event; the maximised state is
  // the windowed one, so full screen leaves it as it was.
  void NoteWindowState() {
    if (!window_ || IsFullscreen()) return;
    const Uint32 flags = SDL_GetWindowFlags(window_);
    placement_.maximised = (flags & SDL_WINDOW_MAXIMIZED) != 0;
    if (!placement_.maximised) SDL_GetWindowSize(window_, &placement_.width, &placement_.height);
    Remember();
  }

  void Remember() {
    if (placement_ == saved_) return;
    saved_ = placement_;
    if (savePlacement_) savePlacement_(placement_);
  }

  bool IsFullscreen() const {
    return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
  }

  // Only the regions that changed are converted and sent to the window, and
  // an unchanged frame sends nothing: an idle screen costs next to nothing,
  // and a frame where only the score moved costs a sliver of a whole one.
  void Present(const PixelView& frame) override {
    if (!window_ || frame.format != PixelView::Format::Rgb565 || frame.width != 800 || frame.height != 600) return;
    SDL_Surface* surface = WindowSurface();
    if (!surface) return;
    const std::vector<FrameDiff::Rect> changed = shown_.Take(frame.pixels, frame.pitch, 800, 600, 2, frame.dirty);
    if (changed.empty()) return;
    std::vector<SDL_Rect> sent;
    sent.reserve(changed.size());
    for (const FrameDiff::Rect& region : changed) {
      const FrameDiff::Rect r =
          scaler_.Draw(frame.pixels, frame.pitch, region, static_cast<uint8_t*>(surface->pixels), surface->pitch);
      if (r.w > 0 && r.h > 0) sent.push_back({r.x, r.y, r.w, r.h});
    }
    if (!sent.empty()) SDL_UpdateWindowSurfaceRects(window_, sent.data(), static_cast<int>(sent.size()));
  }

  // The whole window again from the last frame (uncovered, resized, full
  // screen): the bars black, the picture as last shown.
  void RedrawWindow() {
    SDL_Surface* surface = WindowSurface();
    if (!surface) return;
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    if (const uint8_t* shown = shown_.Shown())
      scaler_.Draw(shown, shown_.ShownPitch(), {0, 0, 800, 600}, static_cast<uint8_t*>(surface->pixels),
                   surface->pitch);
    SDL_UpdateWindowSurface(window_);
  }

  // The window's own pixels, laid out for its current size; 32-bit only
  // (every X and Wayland desktop of the depths the programs accept).
  SDL_Surface* WindowSurface() {
    SDL_Surface* surface = window_ ? SDL_GetWindowSurface(window_) : nullptr;
    if (!surface || surface->format->BytesPerPixel != 4) return nullptr;
    if (surface->w != surfaceW_ || surface->h != surfaceH_) {
      surfaceW_ = surface->w;
      surfaceH_ = surface->h;
      scaler_.Place(surface->w, surface->h);
    }
    const SDL_PixelFormat* f = surface->format;
    if (f->format != paletteFormat_ && f->Rloss == 0 && f->Gloss == 0 && f->Bloss == 0) {
      scaler_.SetPacked(f->Rshift, f->Gshift, f->Bshift, f->Amask);
      paletteFormat_ = f->format;
    } else if (f->format != paletteFormat_) {
      // Each channel widened by repeating its top bits, so white stays white.
      auto wide = [](uint32_t p) {
        const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
        return std::array<Uint8, 3>{static_cast<Uint8>(r << 3 | r >> 2), static_cast<Uint8>(g << 2 | g >> 4),
                                    static_cast<Uint8>(b << 3 | b >> 2)};
      };
      std::vector<uint32_t> low(256), high(256);
      for (uint32_t v = 0; v < 256; ++v) {
        // Green's low bits sit in the low byte and its high bits (with
        // their repeat) in the high byte: the two halves never overlap.
        const auto l = wide(v), h = wide(v << 8);
        low[v] = SDL_MapRGB(surface->format, 0, static_cast<Uint8>(l[1] & 0x1C), l[2]);
        high[v] = SDL_MapRGB(surface->format, h[0], static_cast<Uint8>(h[1] & 0xE3), 0);
      }
      scaler_.SetPalette(std::move(low), std::move(high));
      paletteFormat_ = surface->format->format;
    }
    return surface;
  }

  void Poll(std::vector<DeviceEvent>& out) override {
    if (!started_) return;
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) Translate(ev, out);
  }

  void ShowMessage(const char* caption, const char* text) override {
    if (HasDisplay()) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, window_);
  }

  void ShowBusyCursor(bool busy) override {
    if (!started_) return;
    SDL_Cursor*& c = busy ? hourglass_ : arrow_;
    if (!c) c = SDL_CreateSystemCursor(busy ? SDL_SYSTEM_CURSOR_WAIT : SDL_SYSTEM_CURSOR_ARROW);
    if (c) SDL_SetCursor(c);
  }

  void SetTextInput(bool on) override {
    if (!started_) return;
    if (on) SDL_StartTextInput();
    else SDL_StopTextInput();
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
        scaler_.ToPicture(&e.x, &e.y);
        out.push_back(e);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (ev.button.button != SDL_BUTTON_LEFT && ev.button.button != SDL_BUTTON_RIGHT) break;
        e.kind = DeviceEvent::Kind::MouseMove;
        e.x = ev.button.x;
        e.y = ev.button.y;
        scaler_.ToPicture(&e.x, &e.y);
        // A press on the black bars is outside the client area the programs
        // know; a release always goes through so no button stays held.
        if (ev.type == SDL_MOUSEBUTTONDOWN && !InsidePicture(e.x, e.y)) break;
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
        e.key = KeyOfSdlKey(ev.key.keysym.scancode, ev.key.keysym.sym);
        if (e.key == Key::None) break;
        e.kind = DeviceEvent::Kind::Key;
        e.down = ev.type == SDL_KEYDOWN;
        out.push_back(e);
        break;
      }
      case SDL_TEXTINPUT:
        // Whole characters (any layout, dead keys, input methods); SDL
        // fills its buffer with whole characters, NUL-terminated.
        e.kind = DeviceEvent::Kind::Text;
        static_assert(sizeof e.text == sizeof ev.text.text);
        std::memcpy(e.text, ev.text.text, sizeof e.text);
        e.text[sizeof e.text - 1] = '\0';
        if (e.text[0] != '\0') out.push_back(e);
        break;
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
          case SDL_WINDOWEVENT_MAXIMIZED:
          case SDL_WINDOWEVENT_RESTORED:
            NoteWindowState();
            RedrawWindow();
            break;
          case SDL_WINDOWEVENT_EXPOSED:
            // The window needs its picture again, whether or not frames are running.
            RedrawWindow();
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
  WindowPlacement placement_, saved_;
  bool (*savePlacement_)(const WindowPlacement&) = nullptr;
  bool fullscreenOnOpen_ = false;
  FrameDiff shown_;
  PictureScaler scaler_;
  int surfaceW_ = 0, surfaceH_ = 0;
  Uint32 paletteFormat_ = 0;
  SDL_Cursor* arrow_ = nullptr;
  SDL_Cursor* hourglass_ = nullptr;
};

}  // namespace

std::unique_ptr<VideoBackend> CreateSdlVideo() { return std::make_unique<SdlVideo>(); }

}  // namespace platform
