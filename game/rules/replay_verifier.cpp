#include "game/rules/replay_verifier.h"

namespace quibbleton {

namespace {

Verdict Refuse(const Rules& rules, int line, std::string reason) {
  Verdict verdict;
  verdict.score = rules.Score();
  verdict.line = line;
  verdict.reason = line > 0 ? "line " + std::to_string(line) + ": " + reason : reason;
  return verdict;
}

}  // namespace

Verdict VerifyReplay(const Replay& replay) {
  Rules rules;
  Lcg random(replay.seed);
  rules.Deal(random);
  rules.SetMinimumGroup(replay.balloons);
  PlayTimeline timeline(replay.gameTime);
  for (const TimedAction& timed : replay.actions) {
    if (rules.Cleared()) return Refuse(rules, timed.line, "an action after the board was cleared");
    switch (timeline.Check(timed.ms)) {
      case PlayTimeline::Refusal::kOutOfTime:
        return Refuse(rules, timed.line, "an action after the countdown ran out");
      case PlayTimeline::Refusal::kDuringAnimation:
        return Refuse(rules, timed.line,
                      "an action during the previous one's animation (ready at " +
                          std::to_string(timeline.ReadyAt() + kFrameMs) + " ms)");
      case PlayTimeline::Refusal::kNone:
        break;
    }
    const Events events = rules.Apply(timed.action);
    // The game does nothing for a click on an empty cell or an order to a
    // left-hand guy who was squashed, so it never records one.
    if (events.empty()) return Refuse(rules, timed.line, "an action on nothing (an empty cell or a squashed guy)");
    timeline.Took(timed.ms, events);
  }
  if (replay.end == ReplayEnd::kNewGame) {
    // A cleared board ends its game at once, with its bonus.
    if (rules.Cleared() || !timeline.TakesNewGame(replay.endMs))
      return Refuse(rules, replay.endLine,
                    "the game could not take New game then (during an animation, after its countdown or its "
                    "cleared board)");
  } else if (rules.Cleared()) {
    // The game looks at the board once the last animation has run, and the
    // bonus counts down its seconds on screen before the game ends.
    const int64_t clearedAt = timeline.ReadyAt();
    const int64_t endsAt =
        clearedAt + AnimationMs(rules.TimeBonus(static_cast<int>(SecondsLeftAt(replay.gameTime, clearedAt))));
    rules.DoubleScore();
    if (replay.endMs != endsAt)
      return Refuse(rules, replay.endLine,
                    "a cleared board's game ends when its bonus has counted (at " + std::to_string(endsAt) + " ms)");
  } else {
    const int64_t endsAt = timeline.RunsOutAt();
    if (replay.endMs < endsAt)
      return Refuse(rules, replay.endLine,
                    "the game ends before its countdown ran out (at " + std::to_string(endsAt) + " ms)");
    if (replay.endMs > endsAt + kEndSlackMs)
      return Refuse(rules, replay.endLine, "the game ends later than its game time allows");
  }
  Verdict verdict;
  verdict.ok = true;
  verdict.score = rules.Score();
  return verdict;
}

Verdict VerifyReplayText(std::string_view text) {
  const ReplayParse parsed = ParseReplay(text);
  if (!parsed.ok) {
    Verdict verdict;
    verdict.reason = parsed.error;
    return verdict;
  }
  return VerifyReplay(parsed.replay);
}

}  // namespace quibbleton
