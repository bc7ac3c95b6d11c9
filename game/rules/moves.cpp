// Moves are looked for in the order of their cost: a group is a flood fill
// over the board, an order a whole push on a copy of the rules, so the
// orders are only tried when no click is left.
#include "game/rules/moves.h"

#include <array>

namespace quibbleton {

namespace {

// Whether some group sharing key reaches the minimum: each head is filled
// from once, so the whole board costs one pass per key.
bool AnyGroup(const Board& board, GroupKey key, int minimum) {
  std::array<bool, kCells> seen{};
  for (int cell = 0; cell < kCells; ++cell) {
    if (seen[static_cast<size_t>(cell)] || !board.At(cell)) continue;
    const std::vector<int> group = board.FindGroup(cell, key);
    if (static_cast<int>(group.size()) >= minimum) return true;
    for (int c : group) seen[static_cast<size_t>(c)] = true;
  }
  return false;
}

bool OrderMoves(const Rules& rules, int guy) {
  if (!rules.Standing(guy)) return false;
  Rules trial = rules;
  trial.Apply(Action{Action::Kind::kOrder, guy});
  return !(trial.GetBoard() == rules.GetBoard());
}

}  // namespace

bool AnyMoveLeft(const Rules& rules) {
  const Board& board = rules.GetBoard();
  if (rules.Cleared()) return false;
  if (AnyGroup(board, GroupKey::kColour, rules.MinimumGroup()) ||
      AnyGroup(board, GroupKey::kFace, rules.MinimumGroup()))
    return true;
  for (int guy = 0; guy < kGuys; ++guy)
    if (OrderMoves(rules, guy)) return true;
  return false;
}

std::vector<int> GroupCells(const Rules& rules, int cell, GroupKey key) {
  std::vector<int> group = rules.GetBoard().FindGroup(cell, key);
  if (static_cast<int>(group.size()) < rules.MinimumGroup()) group.clear();
  return group;
}

int PointsOfClick(const Rules& rules, int cell, GroupKey key) {
  Rules trial = rules;
  trial.RemoveGroup(cell, key);
  return trial.Score() - rules.Score();
}

}  // namespace quibbleton
