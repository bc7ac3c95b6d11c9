// The guys at the row ends: an order walks the guy into his row up to the
// first head and pushes the run of heads in front of him one cell at a time
// until it is packed against the far edge. Pushed heads drop into holes they
// cross; a head falling onto the guy squashes him for the rest of the game.
#include <cstdio>

#include "game/game.h"
#include "widgets/sprite.h"

namespace {

constexpr int kStanding = 0;
constexpr int kBlocked = 9;
constexpr int kSquashed = 13;

// Walking in and pushing alternate 4 and 5, walking back 6 and 7.
int NextPose(const Sprite* guy, int a, int b) { return guy->currentFrame == a ? b : a; }

}  // namespace

void Game::PlaceGuy(Sprite* guy, int cell) { CellPosition(cell, &guy->x, &guy->y); }

// Walks the guy cell by cell (step +1 or -1) up to the run's first head. He
// will not step onto a cell with a hole beneath it (the bottom row has none):
// then he stops there, blocked, and the result is false.
bool Game::WalkUpTo(Sprite* guy, int* guyCell, int first, int step, int row) {
  int s = *guyCell;
  // A head that fell in behind him does not turn him round: he only walks forwards.
  for (; step > 0 ? s < first : s > first; s += step) {
    if (!At(s + columns) && row != rows - 1) {
      guy->SetCurrentFrame(kBlocked);
      Wait(450);
      *guyCell = s;
      return false;
    }
    PlaceGuy(guy, s);
    guy->SetCurrentFrame(NextPose(guy, 4, 5));
    Wait(150);
  }
  *guyCell = s;
  return true;
}

// After a push step the guy takes the cell the run has left; a head that
// dropped onto it meanwhile squashes him. True when he was squashed.
bool Game::StepOntoPushedCell(Sprite* guy, int cell, const char* name) {
  PlaceGuy(guy, cell);
  guy->SetCurrentFrame(NextPose(guy, 4, 5));
  if (!At(cell)) return false;
  guy->SetCurrentFrame(kSquashed);
  PlaySound("squish");
  Wait(50);
  PlaySound("ahh");
  Wait(300);
  spriteList.Remove(name);
  return true;
}

void Game::PushRight(int row) {
  char name[16];
  std::snprintf(name, sizeof name, "guy%d", row);
  Sprite* guy = spriteList.Find(name);
  if (!guy) return;  // squashed earlier in this game
  const int savedX = static_cast<int>(guy->x);
  const int rowStart = row * columns;
  const int rowEnd = rowStart + columns - 1;
  int guyCell = rowStart;
  PlaySound("yessir");
  Wait(250);

  for (;;) {
    int first = -1;
    for (int c = rowStart; c <= rowEnd; ++c)
      if (At(c)) {
        first = c;
        break;
      }
    if (first < 0) {
      guy->SetCurrentFrame(kBlocked);
      Wait(450);
      break;
    }

    if (!WalkUpTo(guy, &guyCell, first, +1, row)) break;

    int gap = -1;
    for (int c = first; c <= rowEnd; ++c)
      if (!At(c)) {
        gap = c;
        break;
      }
    if (gap < 0) break;  // the run is packed against the far edge

    for (int c = gap; c >= first + 1; --c)
      if (Block* block = At(c - 1)) {
        PlaySound("slide");
        MoveBlock(block, c);
        DropBlock(block);
      }
    Settle();
    if (StepOntoPushedCell(guy, first, name)) return;
    Wait(150);
  }

  for (int s = guyCell - 1; s >= rowStart; --s) {
    PlaceGuy(guy, s);
    guy->SetCurrentFrame(NextPose(guy, 6, 7));
    Wait(150);
  }
  guy->x = static_cast<float>(savedX);
  guy->SetCurrentFrame(kStanding);
}

void Game::PushLeft(int row) {
  char name[16];
  std::snprintf(name, sizeof name, "guy%d", row + 10);
  // The right-hand guy answers before he is looked for, squashed or not.
  PlaySound("yessir");
  Wait(250);
  Sprite* guy = spriteList.Find(name);
  if (!guy) return;
  const int savedX = static_cast<int>(guy->x);
  const int rowStart = row * columns;
  const int rowEnd = rowStart + columns - 1;
  int guyCell = rowEnd;

  for (;;) {
    int first = -1;
    for (int c = rowEnd; c >= rowStart; --c)
      if (At(c)) {
        first = c;
        break;
      }
    if (first < 0) {
      guy->SetCurrentFrame(kBlocked);
      Wait(450);
      break;
    }

    if (!WalkUpTo(guy, &guyCell, first, -1, row)) break;

    int gap = -1;
    for (int c = first; c >= rowStart; --c)
      if (!At(c)) {
        gap = c;
        break;
      }
    if (gap < 0) break;

    for (int c = gap; c <= first - 1; ++c)
      if (Block* block = At(c + 1)) {
        PlaySound("slide");
        MoveBlock(block, c);
        DropBlock(block);
      }
    Settle();
    if (StepOntoPushedCell(guy, first, name)) return;
    Wait(150);
  }

  for (int s = guyCell + 1; s <= rowEnd; ++s) {
    PlaceGuy(guy, s);
    guy->SetCurrentFrame(NextPose(guy, 6, 7));
    Wait(150);
  }
  guy->x = static_cast<float>(savedX);
  guy->SetCurrentFrame(kStanding);
}
