// Our own BMP decoder: plain loops over bytes already in memory.
#include "platform/media/bmp_decode.h"

#include <cstring>

namespace platform {
namespace {

uint32_t U16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

constexpr uint32_t kUncompressed = 0;
constexpr uint32_t kBitFields = 3;

uint16_t To565(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

// One row of blue, green, red (and, at 32 bits, an unused byte). The step as
// a constant lets the compiler keep the whole pixel in registers: start-up
// and the launcher's scan pay for this loop on every picture.
template <int Step>
void RowTo565(const uint8_t* src, uint16_t* dst, int width) {
  for (int x = 0; x < width; ++x, src += Step) dst[x] = To565(src[2], src[1], src[0]);
}

}  // namespace

const char* ReadBmpLayout(const uint8_t* h, size_t got, uint64_t fileSize, BmpLayout* layout) {
  if (got < 18 || h[0] != 'B' || h[1] != 'M') return "not a BMP file";
  const uint32_t headerSize = U32(h + 14);
  if (headerSize == 12) return "the short (OS/2) picture header is not supported";
  // The Windows header and its later, longer versions share their first 40 bytes.
  if (headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
    return "unknown picture header size";
  if (got < 54) return "the picture header is cut short";
  const int64_t width = static_cast<int32_t>(U32(h + 18));
  int64_t height = static_cast<int32_t>(U32(h + 22));
  const int bitCount = static_cast<int>(U16(h + 28));
  const uint32_t compression = U32(h + 30);
  const uint32_t coloursUsed = U32(h + 46);
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0) return "the picture has no pixels";
  if (width > kMaxBmpSide || height > kMaxBmpSide || width * height > kMaxBmpPixels) return "the picture is too large";
  if (bitCount != 8 && bitCount != 24 && bitCount != 32) return "only 8-, 24- and 32-bit pictures are supported";
  if (compression == kBitFields && bitCount == 32) {
    // Colour masks are taken only where they say what an uncompressed file
    // means anyway: one byte each for red, green and blue.
    if (got < 66 || U32(h + 54) != 0x00FF0000u || U32(h + 58) != 0x0000FF00u || U32(h + 62) != 0x000000FFu)
      return "only colour masks of one byte per channel are supported";
  } else if (compression != kUncompressed) {
    return "compressed pictures are not supported";
  }
  BmpLayout l;
  l.width = static_cast<int>(width);
  l.height = static_cast<int>(height);
  l.topDown = topDown;
  l.bitCount = bitCount;
  l.pixelOffset = U32(h + 10);
  l.rowBytes = static_cast<uint64_t>((width * bitCount + 31) / 32 * 4);
  if (l.pixelOffset + l.rowBytes * l.height > fileSize) return "the file is shorter than the rows it announces";
  if (bitCount == 8) {
    l.colours = coloursUsed ? coloursUsed : 256;
    if (l.colours > 256) return "the palette holds more than 256 colours";
    l.paletteOffset = 14 + uint64_t{headerSize};
    if (l.paletteOffset + uint64_t{4} * l.colours > fileSize) return "the file is shorter than its palette";
  }
  if (layout) *layout = l;
  return nullptr;
}

const char* DecodeBmp(const uint8_t* file, size_t size, const BmpLayout& l, int bits, uint8_t* pixels, size_t pitch) {
  if (bits == 8 && l.bitCount != 8) return "only a palette picture loads as 8-bit";
  if (l.pixelOffset + l.rowBytes * l.height > size) return "the file is shorter than the rows it announces";
  uint16_t palette[256] = {};
  if (l.bitCount == 8) {
    if (l.paletteOffset + uint64_t{4} * l.colours > size) return "the file is shorter than its palette";
    for (uint32_t i = 0; i < l.colours; ++i) {
      const uint8_t* entry = file + l.paletteOffset + 4 * i;
      palette[i] = To565(entry[2], entry[1], entry[0]);
    }
  }
  for (int y = 0; y < l.height; ++y) {
    const uint8_t* src = file + l.pixelOffset + l.rowBytes * static_cast<uint64_t>(l.topDown ? y : l.height - 1 - y);
    uint8_t* dst = pixels + pitch * static_cast<size_t>(y);
    if (l.bitCount == 8) {
      for (int x = 0; x < l.width; ++x)
        if (src[x] >= l.colours) return "a pixel names a colour beyond the palette";
      if (bits == 8) {
        std::memcpy(dst, src, static_cast<size_t>(l.width));
      } else {
        uint16_t* out = reinterpret_cast<uint16_t*>(dst);
        for (int x = 0; x < l.width; ++x) out[x] = palette[src[x]];
      }
    } else if (l.bitCount == 24) {
      RowTo565<3>(src, reinterpret_cast<uint16_t*>(dst), l.width);
    } else {
      RowTo565<4>(src, reinterpret_cast<uint16_t*>(dst), l.width);
    }
  }
  return nullptr;
}

}  // namespace platform
