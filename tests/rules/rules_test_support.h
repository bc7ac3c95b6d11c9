// Boards written out for the rules' tests, and the events of one kind.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "game/rules/rules.h"

#if __has_include(<SDL.h>)
#error "SDL's headers are on the rules' include path: the rules must build without them"
#endif

namespace rulestest {

constexpr int Cell(int column, int row) { return column + row * quibbleton::kColumns; }

inline void Clear(quibbleton::Rules& rules) {
  for (int cell = 0; cell < quibbleton::kCells; ++cell) rules.Place(cell, std::nullopt);
}

// Rows fromRow..toRow full of heads that form no group of two.
inline void FillRows(quibbleton::Rules& rules, int fromRow, int toRow) {
  for (int r = fromRow; r <= toRow; ++r)
    for (int c = 0; c < quibbleton::kColumns; ++c) rules.Place(Cell(c, r), quibbleton::Head{(c + r) % 5, (c * 2 + r) % 5});
}

template <class E>
std::vector<E> All(const quibbleton::Events& events) {
  std::vector<E> found;
  for (const quibbleton::Event& e : events)
    if (const E* one = std::get_if<E>(&e)) found.push_back(*one);
  return found;
}

}  // namespace rulestest
