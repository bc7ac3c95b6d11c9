#include "widgets/redraw_manager.h"

#include <algorithm>

#include "gx/gx.h"
#include "gx/surface.h"

RedrawManager redrawManager;

IDirectDrawSurface* RedrawManager::GetBackBuffer() {
  IDirectDrawSurface* primary = nullptr;
  IDirectDrawSurface* back = nullptr;
  GXGetDDInfo(&primary, &back);
  return back;
}

void RedrawManager::DropOneShots(std::vector<DirtyRect>& list) {
  list.erase(std::remove_if(list.begin(), list.end(), [](const DirtyRect& r) { return r.flags & kDirtyOneShot; }),
             list.end());
}

void RedrawManager::SetTarget(IDirectDrawSurface* surface) {
  DropOneShots(lists[current]);
  target = surface;
}

void RedrawManager::Queue(const DirtyRect& rect) {
  DirtyRect r = rect;
  r.target = target;
  r.background = background;
  if (!(r.flags & kDirtyBothLists) && queueInBoth == 0) {
    lists[current].push_back(r);
  } else {
    lists[0].push_back(r);
    lists[1].push_back(r);
  }
}

void RedrawManager::AddDirtyRect(const RECT& rect, int flagsA, int flagsB) {
  Queue(DirtyRect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, flagsA | flagsB, nullptr,
                  nullptr});
}

void RedrawManager::AddDirtyRect(int x, int y, int width, int height, int flagsA, int flagsB) {
  Queue(DirtyRect{x, y, width, height, flagsA | flagsB, nullptr, nullptr});
}

void RedrawManager::RestoreRect(int x, int y, int width, int height) {
  BlitClipped(background, x, y, width, height, target, x, y, kDefaultBlitFlags);
  AddDirtyRect(x, y, width, height, kDirtyOneShot, kDirtyPresent);
}

void RedrawManager::RestoreRect(const RECT& rect) {
  RestoreRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

void RedrawManager::RestoreAll() {
  int width = 0, height = 0;
  GetSurfaceSize(target, &width, &height);
  RestoreRect(0, 0, width, height);
}

void RedrawManager::QueueAll() {
  int width = 0, height = 0;
  GetSurfaceSize(target, &width, &height);
  AddDirtyRect(0, 0, width, height, kDirtyOneShot, kDirtyPresent);
}

void RedrawManager::Present(IDirectDrawSurface* destination) {
  std::vector<DirtyRect>& list = lists[current];
  for (const DirtyRect& r : list) {
    if (r.flags & kDirtyPresent) {
      if (r.target == target)
        BlitClipped(target, r.x, r.y, r.width, r.height, destination, r.x, r.y, kDefaultBlitFlags);
    } else if (r.flags & kDirtyRestore) {
      if (r.background == background)
        BlitClipped(background, r.x, r.y, r.width, r.height, target, r.x, r.y, kDefaultBlitFlags);
      if (r.target == target)
        BlitClipped(target, r.x, r.y, r.width, r.height, destination, r.x, r.y, kDefaultBlitFlags);
    }
  }
  DropOneShots(list);
}
