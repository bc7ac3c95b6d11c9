// The game's timing in game time (ms since New game on the countdown's clock):
// how long each event holds the board, and when the game takes an action, a
// New game or ends by its countdown. The game waits and decides by these, and
// the replay verifier checks a game against the very same rules, so a replay
// the game recorded always verifies and no other timing does.
#pragma once

#include <cstdint>

#include "game/rules/events.h"

namespace quibbleton {

// The game looks at its input once a frame, every 10 ms, and acts on at
// most one action a frame.
inline constexpr int64_t kFrameMs = 10;
// A cracked head's points rise for this long, and the game does not end by
// its countdown while they show: a group removed then still counts.
inline constexpr int64_t kPopupMs = 1000;
// A squashed guy's squish, before his cry; the rest of his wait follows it.
inline constexpr int64_t kSquishMs = 50;

// How long the game shows the event before it goes on. A cracked head waits
// before it cracks (except the group's first); every other event after it
// is shown.
int64_t WaitMs(const Event& event);

// How long the game shows these events before it takes input again, and
// when in that time the last head cracked (-1 when none did), in ms.
struct AnimationTiming {
  int64_t ms = 0;
  int64_t lastCrackMs = -1;
};
AnimationTiming TimeAnimation(const Events& events);
int64_t AnimationMs(const Events& events);

// The countdown shows gameTime seconds at New game and one fewer after
// every whole second of game time.
inline int64_t SecondsLeftAt(int gameTime, int64_t ms) {
  const int64_t left = gameTime - ms / 1000;
  return left > 0 ? left : 0;
}

// One game's moments as the game lives them: each action it took and its
// animation, and the score pop-ups that hold its end back.
class PlayTimeline {
 public:
  explicit PlayTimeline(int gameTime) : outOfTime(int64_t{gameTime} * 1000) {}

  enum class Refusal { kNone, kDuringAnimation, kOutOfTime };
  // Whether the game takes an action at ms: in a frame after the previous
  // action's animation, while the game has not ended by its countdown.
  Refusal Check(int64_t ms) const;
  // The game took an action at ms and showed these events.
  void Took(int64_t ms, const Events& events);
  // The countdown has run out and no pop-up shows: the game is over at ms.
  bool RunOut(int64_t ms) const { return ms >= outOfTime && ms > popupsUntil; }
  // A New game at ms offers this game's score: pressed between animations
  // while the countdown still has seconds left.
  bool TakesNewGame(int64_t ms) const { return ms >= readyAt + kFrameMs && ms < outOfTime; }
  // The first moment, once the last animation has run, at which the game
  // sees its countdown run out (a board still holding heads).
  int64_t RunsOutAt() const;
  // When the last action's animation ends.
  int64_t ReadyAt() const { return readyAt; }

 private:
  int64_t outOfTime;
  int64_t readyAt = 0;
  // The last pop-up rises until then.
  int64_t popupsUntil = -1;
};

}  // namespace quibbleton
