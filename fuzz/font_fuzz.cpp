// The bitmap font's column scan over arbitrary pictures, and its drawing of
// arbitrary bytes: whatever the columns hold, the scan must stay inside the
// pixels it is given (the buffer is exactly that size, so a stray read trips
// the sanitizer) and any glyph it reports must lie inside the picture; and
// whatever the text, measuring and drawing it with the glyphs found must
// index no glyph outside the table and agree on the width.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "launcher/bitmap_font.h"

namespace {
constexpr uint16_t kKey = 0x001F;
}

// Bytes 0-1: width - 1 (up to 2048, room for every glyph), byte 2: height -
// 1 (up to 8), byte 3: extra pitch (0-3), byte 4: how many of the last bytes
// are text; then one bit a pixel, row by row: 1 = ink, 0 = the key.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const int width = 1 + (data[0] | (data[1] << 8)) % 2048;
  const int height = 1 + data[2] % 8;
  const int pitch = width + data[3] % 4;
  const size_t textSize = data[4] < size - 5 ? data[4] : size - 5;
  const size_t pictureEnd = size - textSize;
  std::vector<uint16_t> pixels(static_cast<size_t>(pitch) * static_cast<size_t>(height), kKey);
  size_t bit = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x, ++bit) {
      const size_t byte = 5 + bit / 8;
      if (byte < pictureEnd && ((data[byte] >> (bit % 8)) & 1)) pixels[static_cast<size_t>(y) * pitch + x] = 0xFFFF;
    }
  BitmapFont font;
  const int count = ScanFontColumns(pixels.data(), pitch, width, height, kKey, font.glyphs);
  if (count != 0 && (count < kFontGlyphs || count > kFontMaxGlyphs)) std::abort();
  int previousEnd = -1;
  for (int i = 0; i < kFontMaxGlyphs; ++i) {
    const FontGlyph& glyph = font.glyphs[i];
    if (glyph.start == -1 || glyph.end == -1) {
      if (i < count) std::abort();  // every glyph counted was found
      continue;
    }
    if (count != 0 && i >= count) std::abort();
    if (glyph.start <= previousEnd || glyph.end <= glyph.start || glyph.end >= width ||
        glyph.width != glyph.end - glyph.start)
      std::abort();
    previousEnd = glyph.end;
  }
  if (count == 0) return 0;
  // The font as loading would leave it, without a picture: drawing walks the
  // text and its glyphs but blits nothing.
  font.glyphCount = count;
  font.spacing = 1;
  font.spaceWidth = 3;
  const std::string text(reinterpret_cast<const char*>(data + pictureEnd), textSize);
  const int width0 = font.TextWidth(text.c_str());
  if (width0 < 0) std::abort();
  font.DrawString(nullptr, text.c_str(), 0, 0, 0, width0 / 2 + 1);
  font.DrawString(nullptr, text.c_str(), width0, 0, 1, -1);
  return 0;
}
