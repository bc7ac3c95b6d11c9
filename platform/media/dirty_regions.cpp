#include "platform/media/dirty_regions.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace platform {
namespace {

using Rect = DirtyRegions::Rect;

int64_t Area(const Rect& r) { return static_cast<int64_t>(r.w) * r.h; }

Rect Union(const Rect& a, const Rect& b) {
  const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  const int right = std::max(a.x + a.w, b.x + b.w), bottom = std::max(a.y + a.h, b.y + b.h);
  return {left, top, right - left, bottom - top};
}

// The pixels that joining a and b covers beyond what they cover themselves
// (counting an overlap twice, so overlapping regions join readily).
int64_t Waste(const Rect& a, const Rect& b) { return Area(Union(a, b)) - Area(a) - Area(b); }

}  // namespace

void DirtyRegions::Add(Rect r) {
  if (r.w <= 0 || r.h <= 0) return;
  // Most of a frame's small pieces (the timer's dots, a button's face) land
  // inside a region drawn just before: nothing to change.
  for (const Rect& region : regions_)
    if (r.x >= region.x && r.y >= region.y && r.x + r.w <= region.x + region.w && r.y + r.h <= region.y + region.h)
      return;
  // A join can make the result joinable with another region: go on until none is.
  for (bool joined = true; joined;) {
    joined = false;
    for (size_t i = 0; i < regions_.size(); ++i) {
      if (Waste(regions_[i], r) > 0) continue;
      r = Union(regions_[i], r);
      regions_.erase(regions_.begin() + static_cast<std::ptrdiff_t>(i));
      joined = true;
      break;
    }
  }
  regions_.push_back(r);
  if (regions_.size() <= kMaxRegions) return;
  size_t a = 0, b = 1;
  int64_t least = Waste(regions_[0], regions_[1]);
  for (size_t i = 0; i < regions_.size(); ++i) {
    for (size_t j = i + 1; j < regions_.size(); ++j) {
      const int64_t waste = Waste(regions_[i], regions_[j]);
      if (waste < least) least = waste, a = i, b = j;
    }
  }
  regions_[a] = Union(regions_[a], regions_[b]);
  regions_.erase(regions_.begin() + static_cast<std::ptrdiff_t>(b));
}

std::vector<Rect> DirtyRegions::Take() { return std::exchange(regions_, {}); }

}  // namespace platform
