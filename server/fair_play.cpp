#include "server/fair_play.h"

#include <algorithm>
#include <array>
#include <vector>

#include "game/rules/replay_verifier.h"
#include "game/rules/rules.h"

namespace score {
namespace {

// The most points any one click could score on this board now. Orders
// score nothing at once (heads fall, no group goes), so only the groups
// the rules accept are tried, each once whichever of its cells is clicked.
int BestPoints(const quibbleton::Rules& rules) {
  using quibbleton::GroupKey;
  int best = 0;
  for (const GroupKey key : {GroupKey::kColour, GroupKey::kFace}) {
    std::array<bool, quibbleton::kCells> seen{};
    for (int cell = 0; cell < quibbleton::kCells; ++cell) {
      if (seen[static_cast<size_t>(cell)] || !rules.GetBoard().At(cell)) continue;
      const std::vector<int> group = rules.GetBoard().FindGroup(cell, key);
      for (const int member : group) seen[static_cast<size_t>(member)] = true;
      if (static_cast<int>(group.size()) < rules.MinimumGroup()) continue;
      quibbleton::Rules trial = rules;
      trial.RemoveGroup(cell, key);
      best = std::max(best, trial.Score() - rules.Score());
    }
  }
  return best;
}

}  // namespace

FairPlay MeasureFairPlay(const quibbleton::Replay& replay) {
  quibbleton::Rules rules;
  quibbleton::Lcg random(replay.seed);
  rules.Deal(random);
  rules.SetMinimumGroup(replay.balloons);
  FairPlay figures;
  std::vector<int64_t> reactions;
  reactions.reserve(replay.actions.size());
  int64_t readyAt = 0;  // New game takes input at once
  for (const quibbleton::TimedAction& timed : replay.actions) {
    const int best = BestPoints(rules);
    const int before = rules.Score();
    const quibbleton::Events events = rules.Apply(timed.action);
    // A tie with the best counts as greedy: that player could have picked it.
    if (rules.Score() - before >= best) ++figures.greedy;
    ++figures.actions;
    reactions.push_back(timed.ms - readyAt);
    readyAt = timed.ms + quibbleton::AnimationMs(events);
  }
  if (!reactions.empty()) {
    std::sort(reactions.begin(), reactions.end());
    figures.fastestMs = reactions.front();
    figures.p10Ms = reactions[reactions.size() / 10];
  }
  return figures;
}

}  // namespace score
