#include "game/rules/replay_bot.h"

#include "game/rules/replay_verifier.h"

namespace quibbleton {

namespace {

// The first cell, from the bottom row up, whose group the rules accept.
int FirstAcceptedGroup(const Rules& rules, GroupKey key) {
  for (int cell = kCells - 1; cell >= 0; --cell)
    if (rules.GetBoard().At(cell) && static_cast<int>(rules.GetBoard().FindGroup(cell, key).size()) >= rules.MinimumGroup())
      return cell;
  return -1;
}

}  // namespace

Replay PlayBotGame(uint32_t seed, int balloons, int gameTime, int actions) {
  Replay replay;
  replay.seed = seed;
  replay.balloons = balloons;
  replay.gameTime = gameTime;
  Rules rules;
  Lcg random(seed);
  rules.Deal(random);
  rules.SetMinimumGroup(balloons);
  PlayTimeline timeline(gameTime);
  int64_t now = 0;
  int nextGuy = 0;
  while (static_cast<int>(replay.actions.size()) < actions && !rules.Cleared()) {
    now = timeline.ReadyAt() + kFrameMs;  // the next frame
    if (timeline.Check(now) != PlayTimeline::Refusal::kNone) break;
    Action action{Action::Kind::kOrder, 0};
    const int colour = FirstAcceptedGroup(rules, GroupKey::kColour);
    const int face = colour < 0 ? FirstAcceptedGroup(rules, GroupKey::kFace) : -1;
    if (colour >= 0) {
      action = {Action::Kind::kClickColour, colour};
    } else if (face >= 0) {
      action = {Action::Kind::kClickFace, face};
    } else {
      // Right-hand guys always answer, so some order is always heard.
      action = {Action::Kind::kOrder, nextGuy + kRows};
      nextGuy = (nextGuy + 1) % kRows;
    }
    const Events events = rules.Apply(action);
    if (events.empty()) break;
    replay.actions.push_back({now, action, 0});
    timeline.Took(now, events);
  }
  if (rules.Cleared()) {
    const int64_t clearedAt = timeline.ReadyAt();
    replay.endMs = clearedAt + AnimationMs(rules.TimeBonus(static_cast<int>(SecondsLeftAt(gameTime, clearedAt))));
  } else {
    // The frame after the countdown ran out and the last pop-up went.
    replay.endMs = timeline.RunsOutAt() + kFrameMs;
  }
  return replay;
}

}  // namespace quibbleton
