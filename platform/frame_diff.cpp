#include "platform/frame_diff.h"

#include <cstring>

namespace platform {

FrameDiff::Rows FrameDiff::Take(const uint8_t* pixels, int pitch, int rows) {
  const size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(rows);
  if (pitch != pitch_ || copy_.size() != bytes) {
    copy_.assign(pixels, pixels + bytes);
    pitch_ = pitch;
    return {0, rows};
  }
  auto same = [&](int row) {
    const size_t at = static_cast<size_t>(row) * static_cast<size_t>(pitch);
    return std::memcmp(copy_.data() + at, pixels + at, static_cast<size_t>(pitch)) == 0;
  };
  int first = 0;
  while (first < rows && same(first)) ++first;
  if (first == rows) return {};
  int last = rows - 1;
  while (last > first && same(last)) --last;
  const size_t from = static_cast<size_t>(first) * static_cast<size_t>(pitch);
  std::memcpy(copy_.data() + from, pixels + from, static_cast<size_t>(last - first + 1) * static_cast<size_t>(pitch));
  return {first, last - first + 1};
}

}  // namespace platform
