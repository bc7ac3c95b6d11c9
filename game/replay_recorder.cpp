#include "game/replay_recorder.h"

#include <algorithm>

#include "game/rules/moves.h"

void ReplayRecorder::Start(uint32_t seed, int balloons, int gameTime) {
  replay = quibbleton::Replay{};
  replay.seed = seed;
  // Settings beyond the replay's ranges play exactly like their ends: no
  // group is below a minimum of 1 or reaches one of 151, and a game time
  // of 0 or less ends the game at once.
  replay.balloons = std::clamp(balloons, 0, quibbleton::kMaxReplayBalloons);
  replay.gameTime = std::clamp(gameTime, 0, quibbleton::kMaxReplayGameTime);
  timeline.emplace(replay.gameTime);
  started = true;
  ended = false;
}

void ReplayRecorder::Note(const quibbleton::Action& action, const quibbleton::Events& events, int64_t ms) {
  if (!Recording() || events.empty() || static_cast<int>(replay.actions.size()) == quibbleton::kMaxReplayActions)
    return;
  replay.actions.push_back({ms, action, 0});
  timeline->Took(ms, events);
}

void ReplayRecorder::NotePause(int64_t ms) {
  if (!Recording() || static_cast<int>(replay.pauses.size()) == quibbleton::kMaxReplayPauses) return;
  // Never before what is already written: the replay keeps its time order.
  if (!replay.actions.empty()) ms = std::max(ms, replay.actions.back().ms);
  if (!replay.pauses.empty()) ms = std::max(ms, replay.pauses.back().ms);
  replay.pauses.push_back({ms, replay.actions.size(), 0});
}

bool ReplayRecorder::TakesNoMovesEndAt(int64_t ms, const quibbleton::Rules& rules) const {
  return TakesNewGameAt(ms) && !rules.Cleared() && !quibbleton::AnyMoveLeft(rules);
}

void ReplayRecorder::End(int64_t ms, quibbleton::ReplayEnd how) {
  if (!Recording()) return;
  for (quibbleton::ReplayPause& pause : replay.pauses) pause.ms = std::min(pause.ms, ms);
  replay.endMs = ms;
  replay.end = how;
  ended = true;
}

std::string ReplayRecorder::Take() {
  if (!ended) return {};
  started = ended = false;
  return quibbleton::FormatReplay(replay);
}
