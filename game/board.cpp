// The board: dealing it under the colour and face quotas, finding the cell
// under a point, the connected group of a clicked head, its removal with
// points, twins and animations, and the heads falling into emptied cells.
#include <algorithm>

#include "game/game.h"
#include "game/game_screen.h"
#include "gx/random.h"
#include "widgets/redraw_manager.h"
#include "gx/surface.h"

namespace {

bool Contains(const std::vector<Block*>& group, const Block* block) {
  return std::find(group.begin(), group.end(), block) != group.end();
}

}  // namespace

Block* Game::At(int cell) const {
  if (cell < 0 || cell >= static_cast<int>(board.size())) return nullptr;
  return board[static_cast<size_t>(cell)];
}

int Game::BlockCount() const {
  return static_cast<int>(std::count_if(board.begin(), board.end(), [](const Block* b) { return b != nullptr; }));
}

void Game::CellPosition(int cell, float* x, float* y) const {
  const int column = columns > 0 ? cell % columns : 0;
  const int row = columns > 0 ? cell / columns : 0;
  if (x) *x = static_cast<float>(originX + column * cellWidth);
  if (y) *y = static_cast<float>(originY + row * cellHeight);
}

Block* Game::MakeBlock(int cell, int colour, int face) {
  Block* block = new Block();
  Sprite* heads = gameScreen.HeadsSheet();
  const int tile = colour * 5 + face;
  if (heads && tile < heads->FrameCount()) {
    IDirectDrawSurface* image = heads->frames[static_cast<size_t>(tile)];
    block->AddSharedFrame(image);
    SetColorKeyRGB(image, 0, 0, 255);
    cellWidth = block->width;
    cellHeight = block->height;
  }
  block->colour = colour;
  block->face = face;
  block->cell = cell;
  return block;
}

void Game::FillBoard(int ox, int oy, int columnCount, int rowCount) {
  originX = ox;
  originY = oy;
  columns = columnCount;
  rows = rowCount;
  const int total = columns * rows;
  const int quota = total / 5;
  int colourCount[5] = {};
  int faceCount[5] = {};
  for (Block* block : board) delete block;
  board.assign(static_cast<size_t>(total), nullptr);
  for (int i = 0; i < total;) {
    const int c = lcg::rand() % 5;
    if (colourCount[c] >= quota) continue;  // the same cell draws again
    ++colourCount[c];
    int v;
    do {
      v = lcg::rand() % 5;
    } while (faceCount[v] >= quota);
    ++faceCount[v];
    Block* block = MakeBlock(i, c, v);
    board[static_cast<size_t>(i)] = block;
    CellPosition(i, &block->x, &block->y);
    block->visible = 1;
    ++i;
  }
}

void Game::PlaceBlock(int cell, int colour, int face) {
  if (cell < 0 || cell >= static_cast<int>(board.size())) return;
  delete board[static_cast<size_t>(cell)];
  board[static_cast<size_t>(cell)] = nullptr;
  if (colour >= 0) {
    Block* block = MakeBlock(cell, colour, face);
    CellPosition(cell, &block->x, &block->y);
    block->visible = 1;
    board[static_cast<size_t>(cell)] = block;
  }
  dirty = 1;
}

int Game::CellAt(int x, int y) const {
  if (x < originX || x >= originX + cellWidth * columns) return -1;
  if (y < originY || y >= originY + cellHeight * rows) return -1;
  return (x - originX) / cellWidth + ((y - originY) / cellHeight) * columns;
}

void Game::FindGroup(int cell, int byFace, std::vector<Block*>& group) {
  Block* block = At(cell);
  if (!block) return;
  if (!Contains(group, block)) group.push_back(block);
  const int key = byFace ? block->face : block->colour;
  const int column = cell % columns, row = cell / columns;
  int neighbours[4];
  int count = 0;
  if (column > 0) neighbours[count++] = cell - 1;
  if (column + 1 < columns) neighbours[count++] = cell + 1;
  if (row > 0) neighbours[count++] = cell - columns;
  if (row + 1 < rows) neighbours[count++] = cell + columns;
  for (int k = 0; k < count; ++k) {
    Block* next = At(neighbours[k]);
    if (!next || (byFace ? next->face : next->colour) != key || Contains(group, next)) continue;
    group.push_back(next);
    FindGroup(neighbours[k], byFace, group);
  }
}

void Game::RemoveGroup(int cell, int byFace) {
  if (!At(cell)) return;
  std::vector<Block*> group;
  FindGroup(cell, byFace, group);
  multiplier = 1;
  groupPoints = 0;
  if (static_cast<int>(group.size()) < minimumGroup) {
    PlaySound("negative");
  } else {
    for (size_t i = 0; i < group.size(); ++i) {
      Block* block = group[i];
      block->bonusCounted = 0;
      if (i > 0) Wait(200);

      PlaySound("crack");
      if (Sprite* crumble = gameScreen.CrumbleTemplate(block->colour * 5 + block->face)) {
        crumble->x = block->x;
        crumble->y = block->y;
        crumble->SetFrameDelay(100);
        crumble->SetAnimating(1);
        spriteList.Add(*crumble);
      }

      // Each earlier head with the same colour and face is a twin; it
      // raises the multiplier the first time it is matched.
      bool twin = false;
      for (size_t j = 0; j < i; ++j) {
        Block* earlier = group[j];
        if (earlier->colour != block->colour || earlier->face != block->face) continue;
        if (earlier->bonusCounted == 0) {
          ++multiplier;
          earlier->bonusCounted = 1;
          PlaySound("bonus");
        }
        twin = true;
      }
      if (multiplier >= 2 && twin)
        AddMultiplierPopup(*block);
      else
        AddPointsPopup(*block, static_cast<int>(i));

      groupPoints += static_cast<int>(i + 1) * 100;
      board[static_cast<size_t>(block->cell)] = nullptr;
    }
    for (Block* block : group) delete block;
    Wait(200);
  }
  AddScore(groupPoints * multiplier);
  groupPoints += groupPoints * multiplier;
}

void Game::Settle() {
  fallCounter = 0;
  // From the bottom up, so a column compacts in one pass.
  for (int cell = columns * rows - 1; cell >= 0; --cell)
    if (Block* block = At(cell)) DropBlock(block);
}

int Game::DropBlock(Block* block) {
  const int column = block->cell % columns;
  int destination = -1;
  for (int row = block->cell / columns + 1; row < rows && !At(column + row * columns); ++row)
    destination = column + row * columns;
  if (destination < 0) return 0;
  if (++fallCounter == 1) PlaySound("blockhit");
  MoveBlock(block, destination);
  return 1;
}

void Game::MoveBlock(Block* block, int cell) {
  dirty = 1;
  board[static_cast<size_t>(cell)] = block;
  board[static_cast<size_t>(block->cell)] = nullptr;
  block->cell = cell;
  CellPosition(cell, &block->x, &block->y);
}

void Game::DrawBoard() {
  redrawManager.RestoreRect(originX, originY, cellWidth * columns, cellHeight * rows);
  IDirectDrawSurface* target = redrawManager.GetTarget();
  for (Block* block : board)
    if (block && block->visible == 1) block->DrawTo(target);
  dirty = 0;
}
