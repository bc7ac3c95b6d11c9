// BMP decoding of any bytes: a picture or null, never a crash; a decoded
// picture's every pixel can be read.
#include <cstddef>
#include <cstdint>

#include "platform/win/bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int bits : {16, 8}) {
    IDirectDrawSurface* s = platform::LoadBitmapSurfaceFromMemory(data, size, bits);
    if (!s) continue;
    unsigned sum = 0;
    const int rowBytes = s->Width() * s->BitsPerPixel() / 8;
    for (int y = 0; y < s->Height(); ++y)
      for (int x = 0; x < rowBytes; ++x) sum += s->Pixels()[y * s->Pitch() + x];
    s->Release();
    if (sum == 0xFFFFFFFFu) return 1;  // keeps the reads from being optimised away
  }
  return 0;
}
