// What changed between the picture last shown and the next one: the window
// backend uploads only those rows and presents nothing for an unchanged frame.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// Keeps a copy of the last frame shown.
class FrameDiff {
 public:
  struct Rows {
    int first = 0, count = 0;  // count 0: nothing changed
  };
  // Compares the frame (rows of pitch bytes) with the copy, takes the
  // changed rows into the copy and returns them. A first frame, a frame of
  // another size or one after Invalidate is all changed.
  Rows Take(const uint8_t* pixels, int pitch, int rows);
  // The next frame counts as wholly changed (the window was uncovered, say).
  void Invalidate() { copy_.clear(); }

 private:
  std::vector<uint8_t> copy_;
  int pitch_ = 0;
};

}  // namespace platform
