// What the player can still do to a board: whether any click or order would
// change it (the game offers to end a round that has none), and what a click
// on a head would take and score, for the pointer's preview.
#pragma once

#include <vector>

#include "game/rules/rules.h"

namespace quibbleton {

// True when a left or right click on some head would remove its group, or
// when the order of some standing guy would move a head. False for a
// cleared board. Cheap enough to ask after every action.
bool AnyMoveLeft(const Rules& rules);

// The cells of the group a click with that key on cell would remove: empty
// for an empty cell or a group below the minimum.
std::vector<int> GroupCells(const Rules& rules, int cell, GroupKey key);

// By how much the score would rise if that group were clicked now (its
// heads' points, twins and multiplier as the rules add them); 0 when the
// click would remove nothing.
int PointsOfClick(const Rules& rules, int cell, GroupKey key);

}  // namespace quibbleton
