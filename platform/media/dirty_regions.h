// Where a surface was drawn since it was last shown, as a few rectangles
// rather than one box around them all: a frame that redraws the score in one
// corner and a sprite in the other compares two small regions with what the
// window shows, not the whole picture between them.
#pragma once

#include <vector>

#include "platform/media/frame_diff.h"

namespace platform {

class DirtyRegions {
 public:
  using Rect = FrameDiff::Rect;
  // Past this many the two whose joining wastes the fewest pixels are joined.
  static constexpr size_t kMaxRegions = 8;

  // Adds a rectangle already clipped to the surface; empty ones are ignored.
  // One that joins another without covering more than the two did (inside
  // it, beside it along a whole edge) is joined to it at once.
  void Add(Rect r);
  // The regions, emptied; none when nothing was drawn.
  std::vector<Rect> Take();
  bool Empty() const { return regions_.empty(); }

 private:
  std::vector<Rect> regions_;
};

}  // namespace platform
