#include "platform/media/frame_diff.h"

#include <algorithm>
#include <climits>
#include <cstring>

#if defined(__EMSCRIPTEN__) && defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {

namespace {

// Joins the two neighbouring regions (sorted by their top rows) with the
// fewest rows between them.
void MergeClosest(std::vector<FrameDiff::Rect>& rects) {
  size_t best = 0;
  int bestGap = INT_MAX;  // overlapping regions have gaps below zero
  for (size_t i = 0; i + 1 < rects.size(); ++i) {
    const int gap = rects[i + 1].y - (rects[i].y + rects[i].h);
    if (gap < bestGap) {
      bestGap = gap;
      best = i;
    }
  }
  FrameDiff::Rect& a = rects[best];
  const FrameDiff::Rect& b = rects[best + 1];
  // Sorted by their top rows, but b may end above a when regions overlap.
  const int left = std::min(a.x, b.x), right = std::max(a.x + a.w, b.x + b.w);
  const int bottom = std::max(a.y + a.h, b.y + b.h);
  a = {left, a.y, right - left, bottom - a.y};
  rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(best) + 1);
}

// Whether two rows hold the same bytes. The browser's C library compares
// byte by byte, so the web build compares sixteen at a time with
// WebAssembly's SIMD (through SSE2); natively the C library's own compare
// is the faster.
bool SameBytes(const uint8_t* a, const uint8_t* b, size_t n) {
#if defined(__EMSCRIPTEN__) && defined(__SSE2__)
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) != 0xFFFF) return false;
  }
  for (; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
#else
  return std::memcmp(a, b, n) == 0;
#endif
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
                                             int bytesPerPixel, const std::vector<Rect>& within) {
  const size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(rows);
  if (pitch != pitch_ || copy_.size() != bytes) {
    copy_.assign(pixels, pixels + bytes);
    pitch_ = pitch;
    return {Rect{0, 0, width, rows}};
  }
  std::vector<Rect> changed;
  for (const Rect& region : within) {
    const int left = std::clamp(region.x, 0, width), right = std::clamp(region.x + region.w, left, width);
    const int top = std::clamp(region.y, 0, rows), bottom = std::clamp(region.y + region.h, top, rows);
    const size_t start = static_cast<size_t>(left) * static_cast<size_t>(bytesPerPixel);
    const size_t rowBytes = static_cast<size_t>(right - left) * static_cast<size_t>(bytesPerPixel);
    if (rowBytes == 0) continue;
    const size_t first = changed.size();  // runs join only within one region
    for (int y = top; y < bottom; ++y) {
      uint8_t* shown = copy_.data() + static_cast<size_t>(y) * static_cast<size_t>(pitch) + start;
      const uint8_t* next = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch) + start;
      if (SameBytes(shown, next, rowBytes)) continue;
      const size_t low = FirstDifference(shown, next, rowBytes), high = LastDifference(shown, next, rowBytes);
      std::memcpy(shown + low, next + low, high - low + 1);
      const int x0 = left + static_cast<int>(low) / bytesPerPixel;
      const int x1 = left + static_cast<int>(high) / bytesPerPixel + 1;
      if (changed.size() > first && changed.back().y + changed.back().h == y) {
        Rect& run = changed.back();
        const int runLeft = std::min(run.x, x0), runRight = std::max(run.x + run.w, x1);
        run.x = runLeft;
        run.w = runRight - runLeft;
        ++run.h;
      } else {
        changed.push_back({x0, y, x1 - x0, 1});
      }
    }
  }
  if (changed.size() > kMaxRects) {
    std::stable_sort(changed.begin(), changed.end(), [](const Rect& a, const Rect& b) { return a.y < b.y; });
    while (changed.size() > kMaxRects) MergeClosest(changed);
  }
  return changed;
}

}  // namespace platform
