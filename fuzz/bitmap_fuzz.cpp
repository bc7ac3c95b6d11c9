// BMP decoding of any bytes (our decoder, platform/media/bmp_decode.h,
// through the loader the programs call): a picture or null, never a crash;
// a decoded picture's every pixel can be read, and it has the size the
// header reader gives from the file's first bytes alone, as the launcher's
// scan reads them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/media/bmp_decode.h"
#include "platform/win/bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::BmpLayout layout;
  const bool taken =
      !platform::ReadBmpLayout(data, std::min(size, platform::kBmpHeadBytes), size, &layout);
  for (int bits : {16, 8}) {
    IDirectDrawSurface* s = platform::LoadBitmapSurfaceFromMemory(data, size, bits);
    if (!s) continue;
    if (!taken || s->Width() != layout.width || s->Height() != layout.height) std::abort();
    unsigned sum = 0;
    const int rowBytes = s->Width() * s->BitsPerPixel() / 8;
    for (int y = 0; y < s->Height(); ++y)
      for (int x = 0; x < rowBytes; ++x) sum += s->Pixels()[y * s->Pitch() + x];
    s->Release();
    if (sum == 0xFFFFFFFFu) return 1;  // keeps the reads from being optimised away
  }
  return 0;
}
