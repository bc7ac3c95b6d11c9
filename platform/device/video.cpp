#include "platform/device/video.h"

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
