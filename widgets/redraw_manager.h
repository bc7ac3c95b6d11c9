// The dirty-rectangle scheme. Sprites and buttons draw on a work surface (the
// target) and queue the rectangles they touched; erasing copies the untouched
// picture (the background) back over an area. At the end of each frame the
// queued rectangles travel from the target to the back buffer, so only
// changed areas are copied.
//
// Two lists alternate: a frame queues into lists[current]; the swap at the
// end of the frame makes the other list current and presents it, so what one
// frame queues is presented at the end of the next one.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win/ddraw.h"

constexpr int32_t kDirtyOneShot = 0x0001;   // dropped after it was presented
constexpr int32_t kDirtyBothLists = 0x0002;  // queued in both lists
constexpr int32_t kDirtyPresent = 0x1000;    // copy target -> destination
constexpr int32_t kDirtyRestore = 0x2000;    // background -> target, then target -> destination

struct DirtyRect {
  int32_t x, y;
  int32_t width, height;
  int32_t flags;
  // The manager's surfaces when the rectangle was queued: a rectangle whose
  // surface has since been replaced is dropped instead of drawn.
  IDirectDrawSurface* target;
  IDirectDrawSurface* background;
};

class RedrawManager {
 public:
  RedrawManager() = default;
  RedrawManager(const RedrawManager&) = delete;
  RedrawManager& operator=(const RedrawManager&) = delete;

  // The back buffer the graphics library handed out at start-up.
  IDirectDrawSurface* GetBackBuffer();
  // Drops the one-shot rectangles of the current list (they belong to the
  // old target), then switches.
  void SetTarget(IDirectDrawSurface* surface);
  IDirectDrawSurface* GetTarget() const { return target; }
  void SetBackground(IDirectDrawSurface* surface) { background = surface; }
  IDirectDrawSurface* GetBackground() const { return background; }

  // Rectangle as left, top, right, bottom; flags = flagsA | flagsB.
  void AddDirtyRect(const RECT& rect, int flagsA, int flagsB);
  // Rectangle as x, y, width, height.
  void AddDirtyRect(int x, int y, int width, int height, int flagsA, int flagsB);
  // Background -> target now (the background's colour key applies), then
  // queued as a one-shot present rectangle.
  void RestoreRect(int x, int y, int width, int height);
  void RestoreRect(const RECT& rect);
  void RestoreAll();
  void QueueAll();
  void SwapLists() { current = 1 - current; }
  // Presents lists[current] onto destination and frees its one-shot rectangles.
  void Present(IDirectDrawSurface* destination);

  // Forgets every rectangle of both lists, persistent ones included (tests
  // start from a clean manager with it; the programs never need it).
  void DropAll() {
    lists[0].clear();
    lists[1].clear();
  }
  // Read access for tests and diagnostics.
  int CurrentList() const { return current; }
  const std::vector<DirtyRect>& List(int index) const { return lists[index & 1]; }

 private:
  void Queue(const DirtyRect& rect);
  void DropOneShots(std::vector<DirtyRect>& list);

  int32_t current = 0;
  std::vector<DirtyRect> lists[2];
  IDirectDrawSurface* target = nullptr;
  IDirectDrawSurface* background = nullptr;
  int32_t queueInBoth = 0;  // nothing in the system sets it
};

extern RedrawManager redrawManager;
