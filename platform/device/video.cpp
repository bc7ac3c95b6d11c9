#include "platform/device/video.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/win/bitmap.h"
#include "platform/device/clock.h"
#include "platform/device/config.h"
#include "platform/device/input.h"

namespace platform {
namespace {

constexpr VideoBackendEntry kBackends[] = {
    {"sdl", CreateSdlVideo},
    {"headless", CreateHeadlessVideo},
    {"web", CreateWebVideo},  // null outside the web build
};

struct VideoState {
  std::unique_ptr<VideoBackend> backend;
  const char* name = "sdl";
  int started = -1;  // -1 not tried, 0 failed, 1 running
  std::string failure;
};

VideoState& V() {
  static VideoState state = [] {
    VideoState s;
    const std::string& wanted = GetConfig().video;
    for (const auto& entry : kBackends) {
      if (wanted == entry.name && entry.create) {
        s.name = entry.name;
        s.backend = entry.create();
      }
    }
    if (!s.backend) {
      std::fprintf(stderr, "%s: QB_VIDEO=%s is not a video backend\n", ProgramName().c_str(), wanted.c_str());
      std::fflush(stderr);
      _exit(2);
    }
    return s;
  }();
  return state;
}

}  // namespace

bool IsVideoBackendName(const std::string& name) {
  for (const auto& entry : kBackends)
    if (name == entry.name && entry.create) return true;
  return false;
}

VideoBackend& Video() { return *V().backend; }
const char* VideoBackendName() { return V().name; }

bool VideoAvailable(std::string* reason) {
  VideoState& v = V();
  if (v.started < 0) v.started = v.backend->Start(&v.failure) ? 1 : 0;
  if (!v.started && reason) *reason = v.failure;
  return v.started == 1;
}

PixelView TakeFrameView(IDirectDrawSurface& frame) {
  const RECT written = frame.TakeWritten();
  PixelView view;
  view.pixels = frame.Pixels();
  view.width = frame.Width();
  view.height = frame.Height();
  view.pitch = frame.Pitch();
  view.format = frame.BitsPerPixel() == 8 ? PixelView::Format::Indexed8 : PixelView::Format::Rgb565;
  view.dirty = {written.left, written.top, written.right - written.left, written.bottom - written.top};
  return view;
}

void PresentFrame(IDirectDrawSurface& frame) {
  WriteDueDumps(NowMs());
  for (const std::string& path : TakeDueShots(NowMs())) {
    if (!SaveSurfaceAsBmp24(&frame, path.c_str()))
      std::fprintf(stderr, "%s: cannot write frame dump %s\n", ProgramName().c_str(), path.c_str());
  }
  Video().Present(TakeFrameView(frame));
}

}  // namespace platform
