// The headless backend: no window and no display. Events come only from the
// script; presented frames are kept only for the scripted frame dumps.
#include "platform/device/video.h"

namespace platform {
namespace {

class HeadlessVideo final : public VideoBackend {
 public:
  bool Start(std::string*) override { return true; }
  bool OpenWindow(const WindowParams& params) override {
    x_ = params.x;
    y_ = params.y;
    return true;
  }
  void CloseWindow() override {}
  void SetTitle(const std::string&) override {}
  void SetTopmost(bool) override {}
  void SetFullscreen(bool fullscreen) override {
    if (fullscreen) x_ = y_ = 0;
  }
  void Present(const PixelView&) override {}
  void Poll(std::vector<DeviceEvent>&) override {}
  void ShowMessage(const char*, const char*) override {}
  void ShowBusyCursor(bool) override {}
  void SetTextInput(bool) override {}
  void DesktopSize(int* width, int* height) override {
    *width = 1024;
    *height = 768;
  }
  bool CursorScreenPosition(int*, int*) override { return false; }
  void ClientOrigin(int* x, int* y) override {
    *x = x_;
    *y = y_;
  }

 private:
  int x_ = 0, y_ = 0;
};

}  // namespace

std::unique_ptr<VideoBackend> CreateHeadlessVideo() { return std::make_unique<HeadlessVideo>(); }

}  // namespace platform
