// The 800 x 600 picture in a window of any size: scaled to fit with its
// aspect kept and centred between black bars, nearest pixel (a whole-number
// scale stays crisp). Converts changed regions of the 16-bit picture into
// the window's 32-bit pixels and maps pointer positions back.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/frame_diff.h"

namespace platform {

class PictureScaler {
 public:
  static constexpr int kWidth = 800, kHeight = 600;

  // Lays the picture out in a window of that size.
  void Place(int windowWidth, int windowHeight);
  // Where the picture lies in the window.
  FrameDiff::Rect Placement() const { return place_; }

  // The window pixel of an RGB565 value is lowByte[p & 255] | highByte[p >> 8]:
  // each channel of a packed window format comes from one byte or, for green,
  // from disjoint bits of both, so two small tables stay in the cache.
  void SetPalette(std::vector<uint32_t> lowByte, std::vector<uint32_t> highByte) {
    lowByte_ = std::move(lowByte);
    highByte_ = std::move(highByte);
    packed_ = false;
  }
  // The usual window format instead: 8-bit channels at these shifts (plus
  // constant bits, such as an opaque alpha), computed rather than looked up
  // so the compiler can convert several pixels at once.
  void SetPacked(int redShift, int greenShift, int blueShift, uint32_t constantBits) {
    redShift_ = redShift;
    greenShift_ = greenShift;
    blueShift_ = blueShift;
    constantBits_ = constantBits;
    packed_ = true;
  }

  // Draws the picture's region `changed` (RGB565 rows of `pitch` bytes)
  // into the window's 32-bit pixels and returns the window region written.
  FrameDiff::Rect Draw(const uint8_t* picture, int pitch, FrameDiff::Rect changed, uint8_t* window,
                       int windowPitch) const;

  // A window position in picture coordinates (outside 0..799 x 0..599 on the bars).
  void ToPicture(int* x, int* y) const;

 private:
  void PackedRow(const uint16_t* in, uint32_t* out, int x0, int x1) const;
  void PaletteRow(const uint16_t* in, uint32_t* out, int x0, int x1) const;

  FrameDiff::Rect place_{0, 0, kWidth, kHeight};
  std::vector<int> sourceColumn_, sourceRow_;  // per window column / row of the picture
  std::vector<uint32_t> lowByte_, highByte_;
  bool packed_ = false;
  int redShift_ = 16, greenShift_ = 8, blueShift_ = 0;
  uint32_t constantBits_ = 0;
};

}  // namespace platform
