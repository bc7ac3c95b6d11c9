// Replays a game through the rules and says whether the game could have
// played it, and to what score. The game acts on one action at a time and
// shows its animation before it looks at the next input, so an action that
// comes before the previous one's animation has run could not have been
// played; nor could one on a cell with no head, one after the countdown ran
// out, or a game that ends before its countdown or cleared board. A game the
// player left by New game scores what it had then, if the game took the
// New game then (between animations, with seconds left); one the player
// ended for want of moves likewise, if no move was left then. Pauses take
// no game time: they need only come in time order within the game. The
// timing is the game's own (game/rules/timing.h).
#pragma once

#include <cstdint>
#include <string>

#include "game/rules/events.h"
#include "game/rules/replay.h"
#include "game/rules/timing.h"

namespace quibbleton {

// A game that ran out of time ends at the first frame that sees it, which
// on a busy machine may come late: at most this long after the moment.
inline constexpr int64_t kEndSlackMs = 2000;

struct Verdict {
  bool ok = false;
  int score = 0;     // the score the replay reaches (as far as it got when refused)
  int line = 0;      // the line of the first action refused, 0 when none
  std::string reason;
};

Verdict VerifyReplay(const Replay& replay);
// Parses and verifies; a text that does not parse is refused with the parser's reason.
Verdict VerifyReplayText(std::string_view text);

}  // namespace quibbleton
