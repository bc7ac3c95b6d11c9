// Replays verified per second on one core, for games of 10, 100 and 1,000
// actions, a typical game of the standard rules (300 s, played as fast as
// the game takes actions) and the heaviest replays that fit in the 64 KB an
// upload may have: the text read and every action replayed through the
// rules with its timing checked, as the score server does for an upload.
#include <benchmark/benchmark.h>

#include <string>

#include "game/rules/moves.h"
#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"

namespace {

void Measure(benchmark::State& state, const quibbleton::Replay& replay) {
  const std::string text = quibbleton::FormatReplay(replay);
  if (text.size() > quibbleton::kMaxReplayBytes) {
    state.SkipWithError("the replay is over 64 KB");
    return;
  }
  int score = 0;
  for (auto _ : state) {
    const quibbleton::Verdict verdict = quibbleton::VerifyReplayText(text);
    if (!verdict.ok) {
      state.SkipWithError(verdict.reason.c_str());
      return;
    }
    score = verdict.score;
    benchmark::DoNotOptimize(score);
  }
  state.counters["replays_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = static_cast<double>(text.size());
  state.counters["actions"] = static_cast<double>(replay.actions.size());
}

void BM_VerifyReplay(benchmark::State& state) {
  const int actions = static_cast<int>(state.range(0));
  // A day's game time, so a thousand actions fit before the countdown.
  const quibbleton::Replay replay = quibbleton::PlayBotGame(4242, 2, 86400, actions);
  if (static_cast<int>(replay.actions.size()) != actions) {
    state.SkipWithError("the bot played fewer actions");
    return;
  }
  Measure(state, replay);
}
BENCHMARK(BM_VerifyReplay)->Arg(10)->Arg(100)->Arg(1000)->MeasureProcessCPUTime();

// The standard rules' five minutes, every action in the first frame the game takes it.
void BM_VerifyTypicalGame(benchmark::State& state) {
  Measure(state, quibbleton::PlayBotGame(4242, 2, 300, quibbleton::kMaxReplayActions));
}
BENCHMARK(BM_VerifyTypicalGame)->MeasureProcessCPUTime();

// As many actions as 64 KB holds: the bot's clicks and orders, or orders
// alone (the shortest lines, each a walk along a row, a push and a settling).
quibbleton::Replay Fill64K(quibbleton::Replay replay) {
  while (quibbleton::FormatReplay(replay).size() > quibbleton::kMaxReplayBytes) replay.actions.pop_back();
  return replay;
}

void BM_VerifyWorst64K(benchmark::State& state) {
  quibbleton::Replay replay;
  if (state.range(0) == 0) {
    replay = Fill64K(quibbleton::PlayBotGame(4242, 2, 86400, quibbleton::kMaxReplayActions));
  } else {
    replay.seed = 4242;
    replay.gameTime = 86400;
    quibbleton::Rules rules;
    quibbleton::Lcg random(replay.seed);
    rules.Deal(random);
    quibbleton::PlayTimeline timeline(replay.gameTime);
    for (int i = 0; i < quibbleton::kMaxReplayActions; ++i) {
      const int64_t at = timeline.ReadyAt() + quibbleton::kFrameMs;
      const quibbleton::Action order{quibbleton::Action::Kind::kOrder, quibbleton::kRows + i % quibbleton::kRows};
      timeline.Took(at, rules.Apply(order));
      replay.actions.push_back({at, order, 0});
    }
    replay.endMs = timeline.RunsOutAt();
    replay = Fill64K(replay);
  }
  replay.endMs = int64_t{replay.gameTime} * 1000;
  Measure(state, replay);
}
BENCHMARK(BM_VerifyWorst64K)->Arg(0)->Arg(1)->MeasureProcessCPUTime();

// The game asks whether any move is left after every action. Its cheapest
// answer is on a fresh deal (a group at once); its dearest on a board with
// none, where every group is looked for and every guy's order tried: seed
// 2948 played to such a board, taking the first group from the bottom right
// by colour, else by face, else the first order that moves a head.
quibbleton::Rules PlayedToNoMove(uint32_t seed) {
  using namespace quibbleton;
  Rules rules;
  Lcg random(seed);
  rules.Deal(random);
  const auto first = [&rules](GroupKey key) {
    for (int cell = kCells - 1; cell >= 0; --cell)
      if (!GroupCells(rules, cell, key).empty()) return cell;
    return -1;
  };
  while (AnyMoveLeft(rules)) {
    if (const int colour = first(GroupKey::kColour); colour >= 0) {
      rules.Apply({Action::Kind::kClickColour, colour});
    } else if (const int face = first(GroupKey::kFace); face >= 0) {
      rules.Apply({Action::Kind::kClickFace, face});
    } else {
      for (int guy = 0; guy < kGuys; ++guy) {
        Rules trial = rules;
        trial.Apply({Action::Kind::kOrder, guy});
        if (!(trial.GetBoard() == rules.GetBoard())) {
          rules = trial;
          break;
        }
      }
    }
  }
  return rules;
}

void BM_AnyMoveLeft(benchmark::State& state) {
  quibbleton::Rules rules;
  if (state.range(0) == 0) {
    quibbleton::Lcg random(2948);
    rules.Deal(random);
  } else {
    rules = PlayedToNoMove(2948);
  }
  bool any = false;
  for (auto _ : state) {
    any = quibbleton::AnyMoveLeft(rules);
    benchmark::DoNotOptimize(any);
  }
  state.counters["heads"] = rules.GetBoard().Count();
  state.counters["move_left"] = any;
}
BENCHMARK(BM_AnyMoveLeft)->Arg(0)->Arg(1)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
