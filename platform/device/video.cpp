#include "platform/device/video.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/device/config.h"
#include "platform/device/page_parts.h"

namespace platform {
namespace {

constexpr VideoBackendEntry kBackends[] = {
#ifdef _WIN32
    {"win32", CreateWin32Video},
#else
    {"sdl", CreateSdlVideo},
#endif
    {"headless", CreateHeadlessVideo},
#if QB_PAGE_PARTS
    {"web", CreateWebVideo},  // null outside the web build
#endif
};

struct VideoState {
  std::unique_ptr<VideoBackend> backend;
  const char* name = kBackends[0].name;
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
      std::_Exit(2);
    }
    return s;
  }();
  return state;
}

}  // namespace

WindowOpening PlanWindow(const WindowParams& params, int desktopWidth, int desktopHeight) {
  WindowOpening o;
  o.remembered = params.loadPlacement ? params.loadPlacement() : WindowPlacement{};
  const WindowPlacement& r = o.remembered;
  if (r.width > 0 && r.width <= desktopWidth && r.height <= desktopHeight) {
    o.width = std::max(r.width, 400);
    o.height = std::max(r.height, 300);
  } else {
    int scale = 1;
    while (800 * (scale + 1) <= desktopWidth * 9 / 10 && 600 * (scale + 1) <= desktopHeight * 9 / 10) ++scale;
    o.width = 800 * scale;
    o.height = 600 * scale;
  }
  o.x = params.x - (o.width - params.width) / 2;
  o.y = params.y - (o.height - params.height) / 2;
  return o;
}

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

}  // namespace platform
