// The music player's reading of an MP3's headers, on any bytes: a format
// within the limits or a refusal, never a crash or an allocation the
// header asks for.
#include <cstddef>
#include <cstdint>

#include "platform/win/mp3_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::Mp3Format format;
  if (platform::ReadMp3FormatFromMemory(data, size, &format) != platform::Mp3Check::kOk) return 0;
  if (format.channels < 1 || format.channels > 2 || format.rate <= 0 || format.frames == 0 ||
      format.frames * static_cast<uint64_t>(format.channels) * 2 > platform::kMaxMusicBytes)
    __builtin_trap();
  return 0;
}
