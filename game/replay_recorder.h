// The replay of the game being played: its deal's seed and settings, each
// action the rules acted on with its game time, and its end. Game time runs
// with the countdown: it is gametime * 1000 minus the countdown's seconds and
// the part of its current second left, so the countdown shows the seconds the
// verifier computes from it, whenever in its second a game began.
#pragma once

#include <cstdint>
#include <string>

#include "game/rules/replay.h"

class ReplayRecorder {
 public:
  void Start(uint32_t seed, int balloons, int gameTime);
  // An action at game time ms and the events the rules answered; an action
  // that did nothing is not part of the game.
  void Note(const quibbleton::Action& action, const quibbleton::Events& events, int64_t ms);
  void End(int64_t ms);
  // The server's deal the game in play was dealt from (kept only while recording).
  void NameDeal(std::string id) {
    if (Recording()) replay.deal = std::move(id);
  }
  // When the last action's animation ends, in game time.
  int64_t ReadyAt() const { return readyAt; }
  bool Recording() const { return started && !ended; }
  bool Ended() const { return ended; }
  // The ended game's replay as text; the recorder is then empty.
  std::string Take();

 private:
  quibbleton::Replay replay;
  bool started = false;
  bool ended = false;
  int64_t readyAt = 0;
};
