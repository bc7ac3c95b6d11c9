// The guys' pushes: an order walks the guy into his row up to the first head
// and pushes the run of heads in front of him one cell at a time until it is
// packed against the far edge. Pushed heads drop into holes they cross; a
// head falling onto the guy squashes him until the next deal.
#include "game/rules/rules.h"

namespace quibbleton {

// He will not step onto a cell with a hole beneath it (the bottom row has
// none): he stops there, blocked. A head that fell in behind him does not
// turn him round: he only walks forwards.
bool Rules::WalkUpTo(int guy, int* guyCell, int first, int step, Events& events) const {
  const bool bottomRow = GuyRow(guy) == kRows - 1;
  int s = *guyCell;
  for (; step > 0 ? s < first : s > first; s += step) {
    if (!board.At(s + kColumns) && !bottomRow) {
      events.push_back(event::GuyBlocked{guy});
      *guyCell = s;
      return false;
    }
    events.push_back(event::GuyWalked{guy, s});
  }
  *guyCell = s;
  return true;
}

Events Rules::Order(int guy) {
  Events events;
  if (guy < 0 || guy >= kGuys) return events;
  const int step = PushesLeft(guy) ? -1 : 1;
  // A right-hand guy answers before anyone looks whether he still stands.
  if (PushesLeft(guy)) events.push_back(event::OrderHeard{guy});
  if (!Standing(guy)) return events;
  if (!PushesLeft(guy)) events.push_back(event::OrderHeard{guy});

  const int rowStart = GuyRow(guy) * kColumns;
  const int home = step > 0 ? rowStart : rowStart + kColumns - 1;
  const int farEnd = step > 0 ? rowStart + kColumns - 1 : rowStart;
  const auto inRow = [&](int c) { return step > 0 ? c <= farEnd : c >= farEnd; };
  int guyCell = home;
  for (;;) {
    int first = -1;
    for (int c = home; inRow(c); c += step)
      if (board.At(c)) {
        first = c;
        break;
      }
    if (first < 0) {
      events.push_back(event::GuyBlocked{guy});
      break;
    }
    if (!WalkUpTo(guy, &guyCell, first, step, events)) break;

    int gap = -1;
    for (int c = first; inRow(c); c += step)
      if (!board.At(c)) {
        gap = c;
        break;
      }
    if (gap < 0) break;  // the run is packed against the far edge

    for (int c = gap; c != first; c -= step)
      if (board.At(c - step)) {
        board.Move(c - step, c);
        events.push_back(event::HeadPushed{c - step, c});
        Drop(c, events);
      }
    SettleInto(events);
    const bool squashed = board.At(first) != nullptr;
    events.push_back(event::GuyPushed{guy, first, squashed});
    if (squashed) {
      TakeOff(guy);
      return events;
    }
  }

  for (int s = guyCell - step; step > 0 ? s >= home : s <= home; s -= step)
    events.push_back(event::GuyWalkedBack{guy, s});
  events.push_back(event::GuyHome{guy});
  return events;
}

}  // namespace quibbleton
