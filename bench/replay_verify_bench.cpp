// Replays verified per second on one core, for games of 10, 100 and 1,000
// actions: the text read and every action replayed through the rules with
// its timing checked, as the score server does for an upload.
#include <benchmark/benchmark.h>

#include <string>

#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"

namespace {

void BM_VerifyReplay(benchmark::State& state) {
  const int actions = static_cast<int>(state.range(0));
  // A day's game time, so a thousand actions fit before the countdown.
  const quibbleton::Replay replay = quibbleton::PlayBotGame(4242, 2, 86400, actions);
  if (static_cast<int>(replay.actions.size()) != actions) {
    state.SkipWithError("the bot played fewer actions");
    return;
  }
  const std::string text = quibbleton::FormatReplay(replay);
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
}
BENCHMARK(BM_VerifyReplay)->Arg(10)->Arg(100)->Arg(1000)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
