// A whole-file music decoder the platform may offer where the music player
// has no MP3 library of its own: the web build, where the browser decodes
// (platform/web/). Elsewhere it is absent and the player uses libmpg123.
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

// Decodes an MP3 held in memory; false when it is no music.
[[gnu::weak]] bool DecodeMusicFile(const std::string& bytes, DecodedMusic* music);

}  // namespace platform
