// The replay of the game being played: its deal's seed and settings, each
// action the rules acted on with its game time, and its end. Game time is the
// countdown's clock (CountdownMs): real milliseconds that stop with the
// countdown, so the countdown shows the seconds the verifier computes from
// them. The recorder also keeps the game's timeline, by which the game
// decides when it takes an action and when its countdown has run out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "game/rules/replay.h"
#include "game/rules/timing.h"

class ReplayRecorder {
 public:
  void Start(uint32_t seed, int balloons, int gameTime);
  // An action at game time ms and the events the rules answered; an action
  // that did nothing is not part of the game.
  void Note(const quibbleton::Action& action, const quibbleton::Events& events, int64_t ms);
  // The player paused at game time ms. Pauses past kMaxReplayPauses are
  // not kept: they change nothing a verifier checks.
  void NotePause(int64_t ms);
  // The game ended at ms. A pause noted later than the end (during the
  // last animation on a slow machine) is moved to the end.
  void End(int64_t ms, quibbleton::ReplayEnd how = quibbleton::ReplayEnd::kFinished);
  // The server's deal the game in play was dealt from (kept only while recording).
  void NameDeal(std::string id) {
    if (Recording()) replay.deal = std::move(id);
  }
  // When the last action's animation ends, in game time.
  int64_t ReadyAt() const { return timeline ? timeline->ReadyAt() : 0; }
  // While recording, the game takes an action at ms only when the timeline
  // does, and offers its score at a New game at ms only when it takes one;
  // the countdown has run out when the timeline says so. Without a game
  // being recorded the game's own countdown alone decides.
  bool TakesActionAt(int64_t ms) const {
    return !Recording() || timeline->Check(ms) == quibbleton::PlayTimeline::Refusal::kNone;
  }
  bool TakesNewGameAt(int64_t ms) const { return !Recording() || timeline->TakesNewGame(ms); }
  // The game may end its round for want of moves at ms (End(ms, kNoMoves)):
  // where it would take a New game, on a board with heads and no move left.
  bool TakesNoMovesEndAt(int64_t ms, const quibbleton::Rules& rules) const;
  bool RunOutAt(int64_t ms, bool countdownAtZero) const {
    return Recording() ? timeline->RunOut(ms) : countdownAtZero;
  }
  bool Recording() const { return started && !ended; }
  // The ended game's replay as text; the recorder is then empty.
  std::string Take();

 private:
  quibbleton::Replay replay;
  std::optional<quibbleton::PlayTimeline> timeline;
  bool started = false;
  bool ended = false;
};
