// The board on screen: a sprite for every head of the rules' board, placed
// on its cell, the cell under a point, and the board's actions handed to the
// rules, whose events the game then shows.
#include <algorithm>

#include "game/game.h"
#include "game/game_screen.h"
#include "game/palette.h"
#include "gx/random.h"
#include "gx/main_window.h"
#include "platform/win/window.h"
#include "widgets/redraw_manager.h"
#include "gx/surface.h"

Block* Game::At(int cell) const {
  if (cell < 0 || cell >= static_cast<int>(board.size())) return nullptr;
  return board[static_cast<size_t>(cell)];
}

int Game::BlockCount() const {
  return static_cast<int>(std::count_if(board.begin(), board.end(), [](const Block* b) { return b != nullptr; }));
}

void Game::CellPosition(int cell, float* x, float* y) const {
  const int column = cell % columns;
  const int row = cell / columns;
  if (x) *x = static_cast<float>(originX + column * cellWidth);
  if (y) *y = static_cast<float>(originY + row * cellHeight);
}

Block* Game::MakeBlock(int cell, const quibbleton::Head& head) {
  Block* block = new Block();
  Sprite* heads = screen.HeadsSheet();
  const int tile = head.colour * 5 + head.face;
  if (heads && tile < heads->FrameCount()) {
    IDirectDrawSurface* image = heads->frames[static_cast<size_t>(tile)];
    block->AddSharedFrame(image);
    SetColorKeyRGB(image, 0, 0, 255);
    cellWidth = block->width;
    cellHeight = block->height;
  }
  block->colour = head.colour;
  block->face = head.face;
  block->cell = cell;
  CellPosition(cell, &block->x, &block->y);
  block->visible = 1;
  return block;
}

void Game::FillBoard() {
  dealSeed = lcg::state();
  rules.Deal([] { return lcg::rand(); });
  for (Block* block : board) delete block;
  board.assign(static_cast<size_t>(columns * rows), nullptr);
  for (int cell = 0; cell < columns * rows; ++cell)
    if (const quibbleton::Head* head = rules.GetBoard().At(cell)) board[static_cast<size_t>(cell)] = MakeBlock(cell, *head);
}

void Game::SwitchPalette() {
  const Palette next = OtherPalette(screen.CurrentPalette());
  // Not kept, the choice still holds until the game is closed.
  if (!WritePalette(next))
    MessageBoxA(mainWindow, "The choice of colours could not be saved in options.ini. It holds until the game is closed.",
                "Quibbleton", MB_OK | MB_ICONERROR);
  screen.SetPalette(next);
  std::swap(scoreTiles, otherScoreTiles);
  if (scoreTiles.empty()) LoadAndSplit(ScoringFile(next), scoreTiles, 40, 17);
  Sprite* heads = screen.HeadsSheet();
  for (Block* block : board) {
    const int tile = block ? block->colour * 5 + block->face : -1;
    if (tile < 0 || !heads || tile >= heads->FrameCount() || block->frames.empty()) continue;
    block->frames[0] = heads->frames[static_cast<size_t>(tile)];
    SetColorKeyRGB(block->frames[0], 0, 0, 255);
  }
  if (timerDots) {
    delete timerDots;
    timerDots = new TimerDots(TimerDotsFile(next), 5, 10, 15, 0, 0);
  }
  dirty = 1;
}

void Game::PlaceBlock(int cell, int colour, int face) {
  if (cell < 0 || cell >= static_cast<int>(board.size())) return;
  delete board[static_cast<size_t>(cell)];
  board[static_cast<size_t>(cell)] = nullptr;
  if (colour >= 0) {
    rules.Place(cell, quibbleton::Head{colour, face});
    board[static_cast<size_t>(cell)] = MakeBlock(cell, quibbleton::Head{colour, face});
  } else {
    rules.Place(cell, std::nullopt);
  }
  dirty = 1;
  BoardChanged();
}

int Game::CellAt(int x, int y) const {
  if (x < originX || x >= originX + cellWidth * columns) return -1;
  if (y < originY || y >= originY + cellHeight * rows) return -1;
  return (x - originX) / cellWidth + ((y - originY) / cellHeight) * columns;
}

void Game::FindGroup(int cell, int byFace, std::vector<Block*>& group) {
  for (int c : rules.GetBoard().FindGroup(cell, byFace ? quibbleton::GroupKey::kFace : quibbleton::GroupKey::kColour))
    if (std::find(group.begin(), group.end(), At(c)) == group.end()) group.push_back(At(c));
}

void Game::RemoveGroup(int cell, int byFace) {
  Show(rules.RemoveGroup(cell, byFace ? quibbleton::GroupKey::kFace : quibbleton::GroupKey::kColour));
}

void Game::Settle() { Show(rules.Settle()); }

void Game::MoveBlock(int from, int to) {
  dirty = 1;
  Block* block = board[static_cast<size_t>(from)];
  board[static_cast<size_t>(to)] = block;
  board[static_cast<size_t>(from)] = nullptr;
  block->cell = to;
  CellPosition(to, &block->x, &block->y);
}

void Game::DrawBoard() {
  redrawManager.RestoreRect(originX, originY, cellWidth * columns, cellHeight * rows);
  IDirectDrawSurface* target = redrawManager.GetTarget();
  for (Block* block : board)
    if (block && block->visible == 1) block->DrawTo(target);
  dirty = 0;
}
