#include "platform/media/frame_diff.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

// Joins the two neighbouring regions with the fewest rows between them.
void MergeClosest(std::vector<FrameDiff::Rect>& rects) {
  size_t best = 0;
  int bestGap = -1;
  for (size_t i = 0; i + 1 < rects.size(); ++i) {
    const int gap = rects[i + 1].y - (rects[i].y + rects[i].h);
    if (bestGap < 0 || gap < bestGap) {
      bestGap = gap;
      best = i;
    }
  }
  FrameDiff::Rect& a = rects[best];
  const FrameDiff::Rect& b = rects[best + 1];
  const int left = std::min(a.x, b.x), right = std::max(a.x + a.w, b.x + b.w);
  a = {left, a.y, right - left, b.y + b.h - a.y};
  rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(best) + 1);
}

// The first and the last byte where two rows differ (they do differ),
// eight bytes at a time: a change at one end of a row is found without
// walking the whole row byte by byte.
size_t FirstDifference(const uint8_t* a, const uint8_t* b, size_t n) {
  size_t i = 0;
  for (uint64_t x, y; i + 8 <= n; i += 8) {
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
  }
  while (a[i] == b[i]) ++i;
  return i;
}

size_t LastDifference(const uint8_t* a, const uint8_t* b, size_t n) {
  size_t end = n;
  for (uint64_t x, y; end >= 8; end -= 8) {
    std::memcpy(&x, a + end - 8, 8);
    std::memcpy(&y, b + end - 8, 8);
    if (x != y) break;
  }
  size_t i = end - 1;
  while (a[i] == b[i]) --i;
  return i;
}

}  // namespace

std::vector<FrameDiff::Rect> FrameDiff::Take(const uint8_t* pixels, int pitch, int width, int rows,
                                             int bytesPerPixel, Rect within) {
  const size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(rows);
  if (pitch != pitch_ || copy_.size() != bytes) {
    copy_.assign(pixels, pixels + bytes);
    pitch_ = pitch;
    return {Rect{0, 0, width, rows}};
  }
  std::vector<Rect> changed;
  const int left = std::clamp(within.x, 0, width), right = std::clamp(within.x + within.w, left, width);
  const int top = std::clamp(within.y, 0, rows), bottom = std::clamp(within.y + within.h, top, rows);
  const size_t start = static_cast<size_t>(left) * static_cast<size_t>(bytesPerPixel);
  const size_t rowBytes = static_cast<size_t>(right - left) * static_cast<size_t>(bytesPerPixel);
  if (rowBytes == 0) return changed;
  for (int y = top; y < bottom; ++y) {
    uint8_t* shown = copy_.data() + static_cast<size_t>(y) * static_cast<size_t>(pitch) + start;
    const uint8_t* next = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch) + start;
    if (std::memcmp(shown, next, rowBytes) == 0) continue;
    const size_t low = FirstDifference(shown, next, rowBytes), high = LastDifference(shown, next, rowBytes);
    std::memcpy(shown + low, next + low, high - low + 1);
    const int x0 = left + static_cast<int>(low) / bytesPerPixel, x1 = left + static_cast<int>(high) / bytesPerPixel + 1;
    if (!changed.empty() && changed.back().y + changed.back().h == y) {
      Rect& run = changed.back();
      const int left = std::min(run.x, x0), right = std::max(run.x + run.w, x1);
      run.x = left;
      run.w = right - left;
      ++run.h;
    } else {
      changed.push_back({x0, y, x1 - x0, 1});
    }
  }
  while (changed.size() > kMaxRects) MergeClosest(changed);
  return changed;
}

}  // namespace platform
