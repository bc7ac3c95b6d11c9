// The web build has no SDL: the tables' "sdl" entries create nothing there
// (the video table then refuses the name, the audio table falls back to
// silence). The page always names its own backends.
#include "platform/device/audio_output.h"
#include "platform/device/video.h"

namespace platform {

std::unique_ptr<VideoBackend> CreateSdlVideo() { return nullptr; }
std::unique_ptr<AudioOutput> CreateSdlAudioOutput() { return nullptr; }

}  // namespace platform
