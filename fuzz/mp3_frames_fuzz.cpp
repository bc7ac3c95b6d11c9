// The framing of an MP3 as Windows' decoder is fed it, on any bytes: every
// frame inside the data, one after another, of one format, never a crash.
#include <cstddef>
#include <cstdint>

#include "platform/media/mp3_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::Mp3Stream s;
  if (!platform::ScanMp3(data, size, &s)) return 0;
  if (s.channels < 1 || s.channels > 2 || s.rate < 8000 || s.rate > 48000 || s.frames.empty() ||
      (s.samplesPerFrame != 1152 && s.samplesPerFrame != 576))
    __builtin_trap();
  size_t end = s.frames[0].offset;
  for (const platform::Mp3Frame& f : s.frames) {
    if (f.offset != end || f.bytes < 4 || f.offset + f.bytes > size) __builtin_trap();
    end = f.offset + f.bytes;
  }
  if (s.GaplessFrames() > static_cast<uint64_t>(s.frames.size()) * s.samplesPerFrame) __builtin_trap();
  return 0;
}
