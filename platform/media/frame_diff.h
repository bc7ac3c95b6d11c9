// What changed between the picture last shown and the next one: the window
// backend converts and sends only those regions and nothing for an unchanged
// frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// Keeps a copy of the last frame shown.
class FrameDiff {
 public:
  struct Rect {
    int x = 0, y = 0, w = 0, h = 0;  // in pixels
  };
  // More regions than this are merged: past a few, each costs more to send
  // than the unchanged pixels between them.
  static constexpr size_t kMaxRects = 8;

  // Compares the frame (rows of pitch bytes, width pixels of bytesPerPixel)
  // with the copy inside the regions `within` (those written since the last
  // frame; nothing outside them can have changed), takes the changes into
  // the copy and returns where they are: in each region, each run of changed
  // rows with the span of columns that changed in it. Nothing for the same
  // frame. A first frame, a frame of another shape or one after Invalidate
  // is one whole-frame region.
  std::vector<Rect> Take(const uint8_t* pixels, int pitch, int width, int rows, int bytesPerPixel,
                         const std::vector<Rect>& within);
  std::vector<Rect> Take(const uint8_t* pixels, int pitch, int width, int rows, int bytesPerPixel, Rect within) {
    return Take(pixels, pitch, width, rows, bytesPerPixel, std::vector<Rect>{within});
  }
  std::vector<Rect> Take(const uint8_t* pixels, int pitch, int width, int rows, int bytesPerPixel) {
    return Take(pixels, pitch, width, rows, bytesPerPixel, Rect{0, 0, width, rows});
  }
  // The next frame counts as wholly changed (the window was uncovered, say).
  void Invalidate() { copy_.clear(); }
  // The last frame taken, for redrawing the window without a new frame.
  const uint8_t* Shown() const { return copy_.empty() ? nullptr : copy_.data(); }
  int ShownPitch() const { return pitch_; }

 private:
  std::vector<uint8_t> copy_;
  int pitch_ = 0;
};

}  // namespace platform
