// The one table of the game's waits: a crack after the group's first 200 ms,
// a scored group 200, an order heard 250, a blocked guy 450, a step 150, a
// squash 350 (its squish 50, then the cry), a bonus second 100.
#include "game/rules/timing.h"

#include <algorithm>
#include <variant>

namespace quibbleton {

int64_t WaitMs(const Event& event) {
  namespace ev = quibbleton::event;
  const Overloaded wait{
      [](const ev::GroupFound&) -> int64_t { return 0; },
      [](const ev::HeadCracked& e) -> int64_t { return e.index > 0 ? 200 : 0; },
      [](const ev::GroupScored& e) -> int64_t { return e.removed > 0 ? 200 : 0; },
      [](const ev::HeadFell&) -> int64_t { return 0; },
      [](const ev::OrderHeard&) -> int64_t { return 250; },
      [](const ev::GuyBlocked&) -> int64_t { return 450; },
      [](const ev::GuyWalked&) -> int64_t { return 150; },
      [](const ev::HeadPushed&) -> int64_t { return 0; },
      [](const ev::GuyPushed& e) -> int64_t { return e.squashed ? kSquishMs + 300 : 150; },
      [](const ev::GuyWalkedBack&) -> int64_t { return 150; },
      [](const ev::GuyHome&) -> int64_t { return 0; },
      [](const ev::BonusSecond&) -> int64_t { return 100; },
      [](const ev::ScoreDoubled&) -> int64_t { return 0; },
  };
  return std::visit(wait, event);
}

AnimationTiming TimeAnimation(const Events& events) {
  AnimationTiming timing;
  for (const Event& e : events) {
    timing.ms += WaitMs(e);
    if (std::holds_alternative<event::HeadCracked>(e)) timing.lastCrackMs = timing.ms;
  }
  return timing;
}

int64_t AnimationMs(const Events& events) { return TimeAnimation(events).ms; }

PlayTimeline::Refusal PlayTimeline::Check(int64_t ms) const {
  // The game reads its input at the start of a frame and sees the countdown
  // first: the countdown's last moment with no pop-up is already too late.
  if (RunOut(ms)) return Refusal::kOutOfTime;
  if (ms < readyAt + kFrameMs) return Refusal::kDuringAnimation;
  return Refusal::kNone;
}

void PlayTimeline::Took(int64_t ms, const Events& events) {
  const AnimationTiming timing = TimeAnimation(events);
  readyAt = ms + timing.ms;
  if (timing.lastCrackMs >= 0) popupsUntil = ms + timing.lastCrackMs + kPopupMs;
}

int64_t PlayTimeline::RunsOutAt() const { return std::max({readyAt, outOfTime, popupsUntil + 1}); }

}  // namespace quibbleton
