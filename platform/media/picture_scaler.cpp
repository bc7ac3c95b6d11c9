#include "platform/media/picture_scaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

// The first window column (or row) showing picture column `source`, for a
// picture `extent` wide shown `shown` wide: the least i with i * extent / shown >= source.
int FirstShowing(int source, int shown, int extent) {
  return static_cast<int>((static_cast<int64_t>(source) * shown + extent - 1) / extent);
}

}  // namespace

void PictureScaler::Place(int windowWidth, int windowHeight) {
  const double scale = std::min(windowWidth / static_cast<double>(kWidth), windowHeight / static_cast<double>(kHeight));
  place_.w = std::max(1, static_cast<int>(std::lround(kWidth * scale)));
  place_.h = std::max(1, static_cast<int>(std::lround(kHeight * scale)));
  place_.x = std::max(0, (windowWidth - place_.w) / 2);
  place_.y = std::max(0, (windowHeight - place_.h) / 2);
  sourceColumn_.resize(static_cast<size_t>(place_.w));
  for (int i = 0; i < place_.w; ++i) sourceColumn_[static_cast<size_t>(i)] = static_cast<int>(int64_t{i} * kWidth / place_.w);
  sourceRow_.resize(static_cast<size_t>(place_.h));
  for (int i = 0; i < place_.h; ++i) sourceRow_[static_cast<size_t>(i)] = static_cast<int>(int64_t{i} * kHeight / place_.h);
}

FrameDiff::Rect PictureScaler::Draw(const uint8_t* picture, int pitch, FrameDiff::Rect changed, uint8_t* window,
                                    int windowPitch) const {
  if (!packed_ && (lowByte_.size() != 256 || highByte_.size() != 256)) return {};
  const int x0 = FirstShowing(changed.x, place_.w, kWidth), x1 = FirstShowing(changed.x + changed.w, place_.w, kWidth);
  const int y0 = FirstShowing(changed.y, place_.h, kHeight), y1 = FirstShowing(changed.y + changed.h, place_.h, kHeight);
  const size_t rowBytes = static_cast<size_t>(x1 - x0) * 4;
  int previousSource = -1;
  uint8_t* previous = nullptr;
  for (int y = y0; y < y1; ++y) {
    uint8_t* out = window + static_cast<size_t>(place_.y + y) * static_cast<size_t>(windowPitch) +
                   static_cast<size_t>(place_.x + x0) * 4;
    const int sourceRow = sourceRow_[static_cast<size_t>(y)];
    if (sourceRow == previousSource) {
      // A picture row shown on several window rows is converted once.
      std::memcpy(out, previous, rowBytes);
      continue;
    }
    const auto* in = reinterpret_cast<const uint16_t*>(picture + static_cast<size_t>(sourceRow) * static_cast<size_t>(pitch));
    auto* pixels = reinterpret_cast<uint32_t*>(out);
    if (packed_)
      PackedRow(in, pixels, x0, x1);
    else
      PaletteRow(in, pixels, x0, x1);
    previousSource = sourceRow;
    previous = out;
  }
  return {place_.x + x0, place_.y + y0, x1 - x0, y1 - y0};
}

void PictureScaler::PackedRow(const uint16_t* in, uint32_t* out, int x0, int x1) const {
  const int rs = redShift_, gs = greenShift_, bs = blueShift_;
  const uint32_t constant = constantBits_;
  // Each channel widened by repeating its top bits, so white stays white.
  auto wide = [&](uint32_t p) {
    const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
    return ((r << 3 | r >> 2) << rs) | ((g << 2 | g >> 4) << gs) | ((b << 3 | b >> 2) << bs) | constant;
  };
  if (place_.w == kWidth) {
    // Unscaled, the usual window: the picture's row straight across.
    for (int x = x0; x < x1; ++x) out[x - x0] = wide(in[x]);
  } else {
    for (int x = x0; x < x1; ++x) out[x - x0] = wide(in[sourceColumn_[static_cast<size_t>(x)]]);
  }
}

void PictureScaler::PaletteRow(const uint16_t* in, uint32_t* out, int x0, int x1) const {
  for (int x = x0; x < x1; ++x) {
    const uint16_t p = in[sourceColumn_[static_cast<size_t>(x)]];
    out[x - x0] = lowByte_[p & 255] | highByte_[p >> 8];
  }
}

void PictureScaler::ToPicture(int* x, int* y) const {
  *x = static_cast<int>(std::floor((*x - place_.x) * static_cast<double>(kWidth) / place_.w));
  *y = static_cast<int>(std::floor((*y - place_.y) * static_cast<double>(kHeight) / place_.h));
}

}  // namespace platform
