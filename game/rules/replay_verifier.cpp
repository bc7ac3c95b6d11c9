// The verifier keeps the game's own timing: each event's wait below is the
// one the game shows it with (a crack after the first 200 ms, a scored
// group 200, an order heard 250, a blocked guy 450, a step 150, a squash
// 350), and the countdown runs on through every animation.
#include "game/rules/replay_verifier.h"

#include <algorithm>
#include <variant>

namespace quibbleton {

namespace {

template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

Verdict Refuse(const Rules& rules, int line, std::string reason) {
  Verdict verdict;
  verdict.score = rules.Score();
  verdict.line = line;
  verdict.reason = line > 0 ? "line " + std::to_string(line) + ": " + reason : reason;
  return verdict;
}

}  // namespace

AnimationTiming TimeAnimation(const Events& events) {
  namespace ev = event;
  const Overloaded wait{
      [](const ev::GroupFound&) -> int64_t { return 0; },
      [](const ev::HeadCracked& e) -> int64_t { return e.index > 0 ? 200 : 0; },
      [](const ev::GroupScored& e) -> int64_t { return e.removed > 0 ? 200 : 0; },
      [](const ev::HeadFell&) -> int64_t { return 0; },
      [](const ev::OrderHeard&) -> int64_t { return 250; },
      [](const ev::GuyBlocked&) -> int64_t { return 450; },
      [](const ev::GuyWalked&) -> int64_t { return 150; },
      [](const ev::HeadPushed&) -> int64_t { return 0; },
      [](const ev::GuyPushed& e) -> int64_t { return e.squashed ? 350 : 150; },
      [](const ev::GuyWalkedBack&) -> int64_t { return 150; },
      [](const ev::GuyHome&) -> int64_t { return 0; },
      [](const ev::BonusSecond&) -> int64_t { return 100; },
      [](const ev::ScoreDoubled&) -> int64_t { return 0; },
  };
  AnimationTiming timing;
  for (const Event& e : events) {
    timing.ms += std::visit(wait, e);
    if (std::holds_alternative<ev::HeadCracked>(e)) timing.lastCrackMs = timing.ms;
  }
  return timing;
}

int64_t AnimationMs(const Events& events) { return TimeAnimation(events).ms; }

Verdict VerifyReplay(const Replay& replay) {
  Rules rules;
  Lcg random(replay.seed);
  rules.Deal(random);
  rules.SetMinimumGroup(replay.balloons);
  const int64_t outOfTime = int64_t{replay.gameTime} * 1000;
  // The game time from which the game takes input again.
  int64_t readyAt = 0;
  // Until then a score pop-up rises, and the game plays on past its countdown.
  int64_t popupsUntil = -1;
  for (const TimedAction& timed : replay.actions) {
    if (rules.Cleared()) return Refuse(rules, timed.line, "an action after the board was cleared");
    if (timed.ms >= outOfTime && timed.ms >= popupsUntil)
      return Refuse(rules, timed.line, "an action after the countdown ran out");
    if (timed.ms < readyAt)
      return Refuse(rules, timed.line,
                    "an action during the previous one's animation (ready at " + std::to_string(readyAt) + " ms)");
    const Events events = rules.Apply(timed.action);
    // The game does nothing for a click on an empty cell or an order to a
    // left-hand guy who was squashed, so it never records one.
    if (events.empty()) return Refuse(rules, timed.line, "an action on nothing (an empty cell or a squashed guy)");
    const AnimationTiming timing = TimeAnimation(events);
    readyAt = timed.ms + timing.ms;
    if (timing.lastCrackMs >= 0) popupsUntil = timed.ms + timing.lastCrackMs + kPopupMs;
  }
  // The game looks at the board and the countdown once the last animation has run.
  int64_t endsAt = std::max(readyAt, outOfTime);
  if (rules.Cleared()) {
    const int64_t secondsLeft = SecondsLeftAt(replay.gameTime, readyAt);
    // The bonus counts down its seconds on screen before the game ends.
    endsAt = readyAt + AnimationMs(rules.TimeBonus(static_cast<int>(secondsLeft)));
    rules.DoubleScore();
  }
  if (replay.endMs < endsAt)
    return Refuse(rules, replay.endLine,
                  "the game ends before its countdown ran out or its board was cleared (at " +
                      std::to_string(endsAt) + " ms)");
  if (replay.endMs > endsAt + kEndSlackMs)
    return Refuse(rules, replay.endLine, "the game ends later than its game time allows");
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
