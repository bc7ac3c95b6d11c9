// PLACEHOLDER until the rules' moves check lands (v-rules).
#pragma once
#include <vector>
#include "game/rules/rules.h"
namespace quibbleton {
inline std::vector<int> GroupCells(const Rules& rules, int cell, GroupKey key) {
  std::vector<int> cells = rules.GetBoard().FindGroup(cell, key);
  if (static_cast<int>(cells.size()) < rules.MinimumGroup()) cells.clear();
  return cells;
}
inline int PointsOfClick(const Rules& rules, int cell, GroupKey key) {
  Rules copy = rules;
  copy.RemoveGroup(cell, key);
  return copy.Score() - rules.Score();
}
inline bool AnyMoveLeft(const Rules& rules) {
  for (int c = 0; c < kCells; ++c)
    if (rules.GetBoard().At(c) && (!GroupCells(rules, c, GroupKey::kColour).empty() || !GroupCells(rules, c, GroupKey::kFace).empty())) return true;
  for (int g = 0; g < kGuys; ++g) {
    if (!rules.Standing(g)) continue;
    Rules copy = rules;
    copy.Order(g);
    for (int c = 0; c < kCells; ++c) {
      const Head* a = copy.GetBoard().At(c); const Head* b = rules.GetBoard().At(c);
      if ((a == nullptr) != (b == nullptr) || (a && (a->colour != b->colour || a->face != b->face))) return true;
    }
  }
  return false;
}
}
