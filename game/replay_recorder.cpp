#include "game/replay_recorder.h"

#include <algorithm>

#include "game/rules/replay_verifier.h"

void ReplayRecorder::Start(uint32_t seed, int balloons, int gameTime) {
  replay = quibbleton::Replay{};
  replay.seed = seed;
  // Settings beyond the replay's ranges play exactly like their ends: no
  // group is below a minimum of 1 or reaches one of 151, and a game time
  // of 0 or less ends the game at once.
  replay.balloons = std::clamp(balloons, 0, quibbleton::kMaxReplayBalloons);
  replay.gameTime = std::clamp(gameTime, 0, quibbleton::kMaxReplayGameTime);
  started = true;
  ended = false;
  readyAt = 0;
}

void ReplayRecorder::Note(const quibbleton::Action& action, const quibbleton::Events& events, int64_t ms) {
  if (!Recording() || events.empty() || static_cast<int>(replay.actions.size()) == quibbleton::kMaxReplayActions)
    return;
  // Two actions in one frame, or one right after How to play stopped the
  // countdown in mid-second, would share or reverse their times: the later
  // one comes when the game could take it.
  const int64_t previous = replay.actions.empty() ? -1 : replay.actions.back().ms;
  ms = std::max({ms, previous + 1, readyAt});
  replay.actions.push_back({ms, action, 0});
  readyAt = ms + quibbleton::AnimationMs(events);
}

void ReplayRecorder::End(int64_t ms) {
  if (!Recording()) return;
  const int64_t previous = replay.actions.empty() ? -1 : replay.actions.back().ms;
  replay.endMs = std::max({ms, previous + 1, readyAt});
  ended = true;
}

std::string ReplayRecorder::Take() {
  if (!ended) return {};
  started = ended = false;
  return quibbleton::FormatReplay(replay);
}
