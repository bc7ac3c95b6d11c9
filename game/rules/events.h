// What the rules report an action did, in the order it happened. The game
// shows each event (sounds, sprites, waits); a replay only adds up points.
#pragma once

#include <variant>
#include <vector>

#include "game/rules/board.h"

namespace quibbleton {

// Guys 0..9 stand at the left ends of rows 0..9 and push right; guys
// 10..19 at the right ends and push left.
inline constexpr int kGuys = 20;
inline constexpr int GuyRow(int guy) { return guy % kRows; }
inline constexpr bool PushesLeft(int guy) { return guy >= kRows; }

namespace event {

// A click found the group of the head on cell. The multiplier is back to 1;
// a group smaller than the minimum is refused and removes nothing.
struct GroupFound {
  int cell;
  GroupKey key;
  int size;
  bool accepted;
};

// The index-th head of an accepted group cracked and left its cell. Each
// earlier head of the same colour and face is its twin; a twin matched for
// the first time raised the multiplier (twinsCounted raises, to
// `multiplier`). A twin shows the multiplier, any other head its points,
// which the score takes at once.
struct HeadCracked {
  int cell;
  int index;
  Head head;
  int twinsCounted;
  int multiplier;
  bool showsMultiplier;
  int points;
};

// The group's end: its heads' points (100, 200, 300, ... by index) times the
// multiplier go to the score. After a refused group all of it is 0.
struct GroupScored {
  int removed;
  int basePoints;
  int multiplier;
  int points;
};

// A head fell from a cell to the lowest empty one below it. `first`: the
// first fall since the last settling began.
struct HeadFell {
  int from;
  int to;
  bool first;
};

// A guy's order was heard. A right-hand guy answers even when squashed.
struct OrderHeard {
  int guy;
};

// The guy found no head in his row, or a hole in front of him, and stops.
struct GuyBlocked {
  int guy;
};

// The guy stepped onto cell on his way to the first head of the row.
struct GuyWalked {
  int guy;
  int cell;
};

// A head of the run in front of the guy moved one cell along.
struct HeadPushed {
  int from;
  int to;
};

// After a push step the guy takes the cell the run left; a head that fell
// onto it squashed him, and he is gone until the next deal.
struct GuyPushed {
  int guy;
  int cell;
  bool squashed;
};

// The guy stepped back onto cell on his way home.
struct GuyWalkedBack {
  int guy;
  int cell;
};

// The guy is home again, standing.
struct GuyHome {
  int guy;
};

// One second left on the countdown of a cleared board became points.
struct BonusSecond {
  int points;
};

// A cleared board's score doubled: `points` were added.
struct ScoreDoubled {
  int points;
};

}  // namespace event

using Event = std::variant<event::GroupFound, event::HeadCracked, event::GroupScored, event::HeadFell,
                           event::OrderHeard, event::GuyBlocked, event::GuyWalked, event::HeadPushed,
                           event::GuyPushed, event::GuyWalkedBack, event::GuyHome, event::BonusSecond,
                           event::ScoreDoubled>;
using Events = std::vector<Event>;

// A visitor of events made of one lambda per kind.
template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
// Spelled out for compilers without aggregate deduction (the web build's clang 14).
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace quibbleton
