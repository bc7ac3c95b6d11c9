// The web backend's picture and input: the 800 x 600 frame drawn on the
// page's <canvas> (only the regions that changed since the last frame), scaled by
// the page with its aspect kept; mouse, touch and key events arrive from the
// page's handlers (qb_page.js) through the exported functions below, in
// picture coordinates already, and wait in a queue for the next Poll. Typed
// text comes from the page's hidden text field, focused while the program
// wants text (SetTextInput), so that a phone shows its keyboard and the
// browser's layouts, dead keys, input methods and autocorrect apply.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/device/input.h"
#include "platform/device/keys.h"
#include "platform/device/video.h"
#include "platform/media/frame_diff.h"
#include "platform/web/page_input.h"
#include "platform/web/web_page.h"

namespace platform {
namespace {

// RGB565 to the canvas's RGBA (bytes R, G, B, A), each channel widened to 8 bits.
const std::vector<uint32_t> kRgba = [] {
  std::vector<uint32_t> table(65536);
  for (uint32_t p = 0; p < table.size(); ++p) {
    const uint32_t red = ((p >> 11) & 31) * 255 / 31, green = ((p >> 5) & 63) * 255 / 63, blue = (p & 31) * 255 / 31;
    table[p] = red | green << 8 | blue << 16 | 0xFF000000u;
  }
  return table;
}();

std::vector<DeviceEvent>& Pending() {
  static auto* events = new std::vector<DeviceEvent>();
  return *events;
}

class WebVideo final : public VideoBackend {
 public:
  bool Start(std::string*) override { return true; }
  bool OpenWindow(const WindowParams& params) override {
    qb_page_set_title(params.title.c_str());
    return true;
  }
  void CloseWindow() override {}
  void SetTitle(const std::string& title) override { qb_page_set_title(title.c_str()); }
  void SetTopmost(bool) override {}
  void SetFullscreen(bool) override {}  // the page is the window: the browser's own full screen serves

  void Present(const PixelView& frame) override {
    if (frame.format != PixelView::Format::Rgb565 || frame.width <= 0) return;
    // Only what really changed goes to the canvas, as the window sends it:
    // the regions written since the last frame, compared with what is shown.
    for (const FrameDiff::Rect& r : shown_.Take(frame.pixels, frame.pitch, frame.width, frame.height, 2, frame.dirty)) {
      if (r.w <= 0 || r.h <= 0) continue;
      rgba_.resize(static_cast<size_t>(r.w) * r.h);
      for (int y = 0; y < r.h; ++y) {
        const auto* src =
            reinterpret_cast<const uint16_t*>(frame.pixels + static_cast<size_t>(r.y + y) * frame.pitch) + r.x;
        uint32_t* dst = rgba_.data() + static_cast<size_t>(y) * r.w;
        for (int x = 0; x < r.w; ++x) dst[x] = kRgba[src[x]];
      }
      qb_page_draw(rgba_.data(), frame.width, frame.height, r.x, r.y, r.w, r.h);
    }
  }

  void Poll(std::vector<DeviceEvent>& out) override {
    out.insert(out.end(), Pending().begin(), Pending().end());
    Pending().clear();
  }
  // alert() blocks the page until it is dismissed, as a message box does.
  void ShowMessage(const char* caption, const char* text) override { qb_page_message(caption, text); }
  void ShowBusyCursor(bool busy) override { qb_page_busy(busy); }
  void DesktopSize(int* width, int* height) override { qb_page_size(width, height); }
  bool CursorScreenPosition(int*, int*) override { return false; }
  void ClientOrigin(int* x, int* y) override { *x = *y = 0; }
  void SetTextInput(bool on) override { qb_page_text_input(on); }
  int TouchPoints() override { return qb_page_touch_points(); }

 private:
  FrameDiff shown_;
  std::vector<uint32_t> rgba_;
};

// What the page writes before calling qb_web_key and qb_web_text.
char g_keyCode[32];
char g_keyLabel[32];
char g_text[1024];

}  // namespace

std::unique_ptr<VideoBackend> CreateWebVideo() { return std::make_unique<WebVideo>(); }

}  // namespace platform

// Called by the page's handlers (qb_web.js).
extern "C" {

EMSCRIPTEN_KEEPALIVE void qb_web_mouse(int x, int y, int button, int down) {
  using platform::DeviceEvent;
  DeviceEvent move;
  move.kind = DeviceEvent::Kind::MouseMove;
  move.x = x, move.y = y;
  platform::Pending().push_back(move);
  if (button < 0) return;
  DeviceEvent press = move;
  press.kind = DeviceEvent::Kind::MouseButton;
  press.button = button;
  press.down = down != 0;
  platform::Pending().push_back(press);
}

// The page writes KeyboardEvent.code and .key (as UTF-8) here first.
EMSCRIPTEN_KEEPALIVE char* qb_web_key_code() { return platform::g_keyCode; }
EMSCRIPTEN_KEEPALIVE char* qb_web_key_label() { return platform::g_keyLabel; }

// 1 when the key is one of the layer's, so the page keeps it from the browser.
EMSCRIPTEN_KEEPALIVE int qb_web_key(int down) {
  const platform::Key key = platform::PageKey(platform::g_keyCode, platform::g_keyLabel);
  if (key == platform::Key::None) return 0;
  platform::DeviceEvent e;
  e.kind = platform::DeviceEvent::Kind::Key;
  e.key = key;
  e.down = down != 0;
  platform::Pending().push_back(e);
  return 1;
}

// The page writes typed text here (UTF-8, NUL-terminated, whole characters) first.
EMSCRIPTEN_KEEPALIVE char* qb_web_text_buffer() { return platform::g_text; }
EMSCRIPTEN_KEEPALIVE int qb_web_text_capacity() { return sizeof platform::g_text; }
EMSCRIPTEN_KEEPALIVE void qb_web_text() { platform::AppendPageText(platform::g_text, platform::Pending()); }

EMSCRIPTEN_KEEPALIVE void qb_web_focus(int active) {
  platform::DeviceEvent e;
  e.kind = active ? platform::DeviceEvent::Kind::Activate : platform::DeviceEvent::Kind::Deactivate;
  platform::Pending().push_back(e);
}

// window.qbDump(): the state as the script's "dump" writes it.
EMSCRIPTEN_KEEPALIVE const char* qb_web_state_text() {
  static std::string text;
  text = platform::StateText();
  return text.c_str();
}

}  // extern "C"
