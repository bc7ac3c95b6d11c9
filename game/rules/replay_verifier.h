// Replays a game through the rules and says whether the game could have
// played it, and to what score. The game acts on one action at a time and
// shows its animation before it looks at the next input, so an action that
// comes before the previous one's animation has run could not have been
// played; nor could one on a cell with no head, one after the countdown ran
// out, or a game that ends before its countdown or cleared board.
#pragma once

#include <cstdint>
#include <string>

#include "game/rules/events.h"
#include "game/rules/replay.h"

namespace quibbleton {

// How long the game shows these events before it takes input again, and
// when in that time the last head cracked (-1 when none did), in ms.
struct AnimationTiming {
  int64_t ms = 0;
  int64_t lastCrackMs = -1;
};
AnimationTiming TimeAnimation(const Events& events);
int64_t AnimationMs(const Events& events);

// A cracked head's points rise for this long, and the game does not end by
// its countdown while they show: a group removed then still counts.
inline constexpr int64_t kPopupMs = 1000;

// The game's end comes at most this long after the moment it could end:
// the score pop-ups still rising hold the game-over back for a moment.
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

// The countdown shows gameTime seconds at New game and one fewer after
// every whole second of game time.
inline int64_t SecondsLeftAt(int gameTime, int64_t ms) {
  const int64_t left = gameTime - ms / 1000;
  return left > 0 ? left : 0;
}

}  // namespace quibbleton
