// Placeholder until Windows' sound output and music decoder land.
#include "platform/device/audio_output.h"
#include "platform/device/music_decoder.h"
namespace platform {
std::unique_ptr<AudioOutput> CreateWin32AudioOutput() { return nullptr; }
bool StartMusicDecode(const std::string&) { return false; }
MusicState TakeDecodedMusic(const std::string&, DecodedMusic*) { return MusicState::kFailed; }
}  // namespace platform
