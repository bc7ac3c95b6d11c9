// The bitmap font's column scan over arbitrary pictures: whatever the
// columns hold, the scan must stay inside the pixels it is given (the
// buffer is exactly that size, so a stray read trips the sanitizer) and any
// glyph it reports must lie inside the picture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "launcher/bitmap_font.h"

namespace {
constexpr uint16_t kKey = 0x001F;
}

// Bytes 0-1: width - 1 (up to 512), byte 2: height - 1 (up to 8), byte 3:
// extra pitch (0-3); then one bit a pixel, row by row: 1 = ink, 0 = the key.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const int width = 1 + (data[0] | (data[1] << 8)) % 512;
  const int height = 1 + data[2] % 8;
  const int pitch = width + data[3] % 4;
  std::vector<uint16_t> pixels(static_cast<size_t>(pitch) * static_cast<size_t>(height), kKey);
  size_t bit = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, ++bit) {
      const size_t byte = 4 + bit / 8;
      if (byte < size && ((data[byte] >> (bit % 8)) & 1)) pixels[static_cast<size_t>(y) * pitch + x] = 0xFFFF;
    }
  FontGlyph glyphs[kFontGlyphs];
  const bool found = ScanFontColumns(pixels.data(), pitch, width, height, kKey, glyphs);
  int previousEnd = -1;
  for (const FontGlyph& glyph : glyphs) {
    if (glyph.start == -1 || glyph.end == -1) {
      if (found) std::abort();  // a whole scan leaves no glyph unfound
      continue;
    }
    if (glyph.start <= previousEnd || glyph.end <= glyph.start || glyph.end >= width ||
        glyph.width != glyph.end - glyph.start)
      std::abort();
    previousEnd = glyph.end;
  }
  return 0;
}
