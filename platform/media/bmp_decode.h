// BMP decoding from bytes in memory into RGB565 or 8-bit pixels. No file is
// read here: the caller reads the file (platform/win/bitmap.cpp) and owns the
// pixels. Taken are the uncompressed pictures that painting programs and our
// own art generator write: 8-bit with a palette, 24-bit and 32-bit, bottom-up
// or top-down. Everything else is refused with a reason, never guessed at.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// What the header says about a picture the decoder takes.
struct BmpLayout {
  int width = 0;
  int height = 0;          // rows, always positive
  bool topDown = false;    // a negative height in the file: first row first
  int bitCount = 0;        // 8, 24 or 32
  uint64_t pixelOffset = 0;
  uint64_t rowBytes = 0;   // with the padding to four bytes
  uint64_t paletteOffset = 0;
  uint32_t colours = 0;    // palette entries of an 8-bit picture
};

// No picture the programs show needs more: the shipped ones are 800 x 600 at most.
constexpr int kMaxBmpSide = 16384;
constexpr int64_t kMaxBmpPixels = int64_t{8} << 20;
// Enough of the file's start for ReadBmpLayout: the file header, the
// picture header up to its palette size, and the colour masks after it.
constexpr size_t kBmpHeadBytes = 66;

// Reads the layout from head, the first got bytes of a file fileSize bytes
// long. Returns null when the decoder takes the picture (its size is
// plausible and its rows and palette lie inside the file), else why not.
const char* ReadBmpLayout(const uint8_t* head, size_t got, uint64_t fileSize, BmpLayout* layout);

// Decodes the whole file (size bytes, read with ReadBmpLayout's layout) into
// pixels, layout.height rows of pitch bytes. bits 16: RGB565, keeping each
// channel's high bits; bits 8: the palette indices of an 8-bit picture as
// they are. Returns null on success, else why not (pixels then undefined).
const char* DecodeBmp(const uint8_t* file, size_t size, const BmpLayout& layout, int bits, uint8_t* pixels,
                      size_t pitch);

}  // namespace platform
