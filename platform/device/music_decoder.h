// A music decoder the platform may offer where the music player has no MP3
// library of its own: the web build, where the page fetches the file (it is
// not in the program's package) and the browser decodes it, in the
// background (platform/web/), and Windows, which decodes it itself
// (platform/win32/). Elsewhere it is absent and the player uses libmpg123.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct DecodedMusic {
  uint32_t rate = 0;
  uint32_t channels = 0;
  uint64_t frames = 0;
  std::vector<uint8_t> pcm;  // interleaved 16-bit samples in the machine's order, frames * channels * 2 bytes
};

enum class MusicState { kPending, kReady, kFailed };

// Weak where a build may lack it; Windows' linker has no weak reference that
// resolves to null, and its build always has the decoder.
#ifdef _WIN32
#define QB_MUSIC_DECODER
#else
#define QB_MUSIC_DECODER [[gnu::weak]]
#endif

// Starts getting the music of a file (a path of the program's tree) ready,
// without waiting for it; false when it is already known to be no music.
QB_MUSIC_DECODER bool StartMusicDecode(const std::string& path);
// The music of a started file once it is decoded (kReady, the samples handed
// over), or whether it is still coming or failed. Never waits.
QB_MUSIC_DECODER MusicState TakeDecodedMusic(const std::string& path, DecodedMusic* music);

}  // namespace platform
