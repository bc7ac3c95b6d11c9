// Placeholder until the Windows window lands (win32_video.cpp replaces it).
#include "platform/device/video.h"
namespace platform {
std::unique_ptr<VideoBackend> CreateWin32Video() { return nullptr; }
}  // namespace platform
