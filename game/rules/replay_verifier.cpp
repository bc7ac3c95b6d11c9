#include "game/rules/replay_verifier.h"

#include "game/rules/moves.h"

namespace quibbleton {

namespace {

Verdict Refuse(const Rules& rules, int line, std::string reason) {
  Verdict verdict;
  verdict.score = rules.Score();
  verdict.line = line;
  verdict.reason = line > 0 ? "line " + std::to_string(line) + ": " + reason : reason;
  return verdict;
}

// A pause takes no game time, so the game's rules never see it: it need
// only lie in time order among the actions, within the game. The parser
// reads none other; a replay built in memory may hold any.
int MisplacedPause(const Replay& replay, std::string* reason) {
  int64_t previous = 0;
  for (const ReplayPause& pause : replay.pauses) {
    const std::vector<TimedAction>& actions = replay.actions;
    const bool inOrder = pause.after <= actions.size() && pause.ms >= previous &&
                         (pause.after == 0 || pause.ms >= actions[pause.after - 1].ms) &&
                         (pause.after == actions.size() || pause.ms <= actions[pause.after].ms);
    if (!inOrder) {
      *reason = "a pause out of time order with the actions";
      return pause.line;
    }
    if (pause.ms > replay.endMs) {
      *reason = "a pause after the game ended";
      return pause.line;
    }
    previous = pause.ms;
  }
  return -1;
}

}  // namespace

Verdict VerifyReplay(const Replay& replay) {
  Rules rules;
  Lcg random(replay.seed);
  rules.Deal(random);
  rules.SetMinimumGroup(replay.balloons);
  PlayTimeline timeline(replay.gameTime);
  std::string pauseReason;
  if (const int line = MisplacedPause(replay, &pauseReason); line >= 0) return Refuse(rules, line, pauseReason);
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
  } else if (replay.end == ReplayEnd::kNoMoves) {
    // The game offers the early end only where it would take a New game,
    // on a board with heads left and nothing to do to them; the score stays
    // as it stands, as when the countdown runs out.
    if (rules.Cleared() || !timeline.TakesNewGame(replay.endMs))
      return Refuse(rules, replay.endLine,
                    "the game could not end for want of moves then (during an animation, after its countdown or "
                    "its cleared board)");
    if (AnyMoveLeft(rules)) return Refuse(rules, replay.endLine, "the game ends for want of moves with a move left");
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
