// The group a click would take, shown before the click: an outline around
// the heads under the pointer (or the keyboard frame) that would go, and the
// points they would add in the sidebar's box under the buttons.
#include <algorithm>

#include "game/game.h"
#include "game/rules/moves.h"
#include "gx/gx.h"
#include "gx/key_queue.h"
#include "gx/surface.h"
#include "widgets/redraw_manager.h"

namespace {

bool ShiftHeld() {
  const unsigned char* keys = GXGetKeys();
  return keys && ((keys[KeyQueue::kLeftShift] & 0x80) || (keys[KeyQueue::kRightShift] & 0x80));
}

}  // namespace

void Game::UpdatePreview(int x, int y) {
  int cell = -1;
  if (state == kPlaying && !paused && !playback.Watching())
    cell = cursor.Shown() ? (cursor.OnGuy() ? -1 : cursor.Row() * columns + cursor.Column()) : CellAt(x, y);
  // Shift is what makes Space a right click: it shows the face group.
  const bool byFace = ShiftHeld();
  if (cell == preview.cell && byFace == preview.byFace && boardStamp == preview.boardStamp) return;
  preview.cell = cell;
  preview.byFace = byFace;
  preview.boardStamp = boardStamp;
  preview.cells.clear();
  preview.points = 0;
  if (cell < 0) return;
  const quibbleton::GroupKey key = byFace ? quibbleton::GroupKey::kFace : quibbleton::GroupKey::kColour;
  preview.cells = quibbleton::GroupCells(rules, cell, key);
  if (!preview.cells.empty()) preview.points = quibbleton::PointsOfClick(rules, cell, key);
}

void Game::DrawPreview(IDirectDrawSurface* surface) {
  // While an action's animation runs the board is a step behind the rules.
  if (showing || preview.cells.empty() || !surface) return;
  const uint16_t dark = PackColor(surface, 43, 35, 64);
  const uint16_t light = PackColor(surface, 255, 253, 247);
  const auto inGroup = [this](int column, int row) {
    if (column < 0 || column >= columns || row < 0 || row >= rows) return false;
    return std::find(preview.cells.begin(), preview.cells.end(), row * columns + column) != preview.cells.end();
  };
  int left = originX + columns * cellWidth, top = originY + rows * cellHeight, right = 0, bottom = 0;
  // Each side of a head that no head of the group shares gets a dark line
  // with a light one inside it, so the outline shows on the board and on
  // every colour of head.
  for (int cell : preview.cells) {
    const int column = cell % columns, row = cell / columns;
    const int x = originX + column * cellWidth, y = originY + row * cellHeight;
    const int w = cellWidth, h = cellHeight;
    if (!inGroup(column - 1, row)) {
      FillRect(surface, x, y, 2, h, dark);
      FillRect(surface, x + 2, y, 2, h, light);
    }
    if (!inGroup(column + 1, row)) {
      FillRect(surface, x + w - 2, y, 2, h, dark);
      FillRect(surface, x + w - 4, y, 2, h, light);
    }
    if (!inGroup(column, row - 1)) {
      FillRect(surface, x, y, w, 2, dark);
      FillRect(surface, x, y + 2, w, 2, light);
    }
    if (!inGroup(column, row + 1)) {
      FillRect(surface, x, y + h - 2, w, 2, dark);
      FillRect(surface, x, y + h - 4, w, 2, light);
    }
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x + w);
    bottom = std::max(bottom, y + h);
  }
  // Gone again with the next frame unless drawn again.
  redrawManager.AddDirtyRect(left, top, right - left, bottom - top, kDirtyOneShot, kDirtyPresent);
}
