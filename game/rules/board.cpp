#include "game/rules/board.h"

#include <algorithm>

namespace quibbleton {

Board Board::Deal(const std::function<int()>& next) {
  Board board;
  const int quota = kCells / kColours;
  int colourCount[kColours] = {};
  int faceCount[kFaces] = {};
  for (int cell = 0; cell < kCells;) {
    const int colour = next() % kColours;
    if (colourCount[colour] >= quota) continue;  // the same cell draws again
    ++colourCount[colour];
    int face;
    do {
      face = next() % kFaces;
    } while (faceCount[face] >= quota);
    ++faceCount[face];
    board.cells[static_cast<size_t>(cell)] = Head{colour, face};
    ++cell;
  }
  return board;
}

const Head* Board::At(int cell) const {
  if (cell < 0 || cell >= kCells) return nullptr;
  const std::optional<Head>& head = cells[static_cast<size_t>(cell)];
  return head ? &*head : nullptr;
}

void Board::Place(int cell, std::optional<Head> head) {
  if (cell < 0 || cell >= kCells) return;
  cells[static_cast<size_t>(cell)] = head;
}

void Board::Move(int from, int to) {
  std::optional<Head> head = cells[static_cast<size_t>(from)];
  cells[static_cast<size_t>(from)].reset();
  cells[static_cast<size_t>(to)] = head;
}

int Board::Count() const {
  return static_cast<int>(std::count_if(cells.begin(), cells.end(), [](const auto& c) { return c.has_value(); }));
}

std::vector<int> Board::FindGroup(int cell, GroupKey key) const {
  std::vector<int> group;
  std::array<bool, kCells> seen{};
  if (At(cell)) Collect(cell, key, group, seen);
  return group;
}

void Board::Collect(int cell, GroupKey key, std::vector<int>& group, std::array<bool, kCells>& seen) const {
  if (!seen[static_cast<size_t>(cell)]) {
    seen[static_cast<size_t>(cell)] = true;
    group.push_back(cell);
  }
  const auto keyOf = [key](const Head& h) { return key == GroupKey::kFace ? h.face : h.colour; };
  const int wanted = keyOf(*At(cell));
  const int column = cell % kColumns, row = cell / kColumns;
  int neighbours[4];
  int count = 0;
  if (column > 0) neighbours[count++] = cell - 1;
  if (column + 1 < kColumns) neighbours[count++] = cell + 1;
  if (row > 0) neighbours[count++] = cell - kColumns;
  if (row + 1 < kRows) neighbours[count++] = cell + kColumns;
  for (int k = 0; k < count; ++k) {
    const int next = neighbours[k];
    const Head* head = At(next);
    if (!head || keyOf(*head) != wanted || seen[static_cast<size_t>(next)]) continue;
    seen[static_cast<size_t>(next)] = true;
    group.push_back(next);
    Collect(next, key, group, seen);
  }
}

int Board::LandingCell(int cell) const {
  const int column = cell % kColumns;
  int landing = -1;
  for (int row = cell / kColumns + 1; row < kRows && !At(column + row * kColumns); ++row)
    landing = column + row * kColumns;
  return landing;
}

}  // namespace quibbleton
