// What the music player learns from an MP3 before decoding it: the sample
// rate, the channels and the length. The length only sets where the music
// ends; the samples are kept as they are decoded, so no header can make the
// player allocate more than the music really holds, and music longer than
// kMaxMusicBytes decoded is refused.
#pragma once

#include <cstddef>
#include <cstdint>

struct mpg123_handle_struct;

namespace platform {

// 64 MB of 16-bit samples: six minutes of stereo at 44.1 kHz.
constexpr uint64_t kMaxMusicBytes = uint64_t{64} << 20;
// An MP3 file larger than this is not music the programs play.
constexpr size_t kMaxMusicFile = size_t{64} << 20;

struct Mp3Format {
  long rate = 0;
  int channels = 0;     // 1 or 2
  uint64_t frames = 0;  // sample frames, from the encoder's header or a scan
};

enum class Mp3Check { kOk, kUnreadable, kTooLong };

// On a decoder handle just opened on the file: fixes the output at 16-bit
// signed and reads the format and length.
Mp3Check ReadMp3Format(mpg123_handle_struct* decoder, Mp3Format* format);

// The same on MP3 bytes in memory (the fuzzer's way in).
Mp3Check ReadMp3FormatFromMemory(const void* data, size_t size, Mp3Format* format);

// Sets the library up once; false when it cannot run.
bool Mp3LibraryReady();

}  // namespace platform
