// Replays through the score server's upload path, per CPU-second of one
// core: the text read, verified by the rules, its fair-play figures worked
// out, and (the second pair) the whole request handled and stored in
// SQLite. A typical game (a bot's 300-second game of 150 actions, more than
// a person makes) against the worst one a 64 KB body can hold (a day-long
// game of orders on a board that never lets a group go, so every action
// looks at every cell for the greedy player's best).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"
#include "server/fair_play.h"
#include "server/service.h"
#include "server/storage.h"

namespace {

// A game of `kind` from each seed: distinct texts, as the server takes each
// replay once.
quibbleton::Replay Game(bool worst, uint32_t seed) {
  if (!worst) return quibbleton::PlayBotGame(seed, 2, 300, 150);
  quibbleton::Replay replay = quibbleton::PlayBotGame(seed, quibbleton::kMaxReplayBalloons, 86400,
                                                      quibbleton::kMaxReplayActions);
  // As many actions as 64 KB holds; the game then ends with its countdown.
  while (quibbleton::FormatReplay(replay).size() > quibbleton::kMaxReplayBytes) replay.actions.pop_back();
  return replay;
}

void BM_VerifyAndMeasure(benchmark::State& state) {
  const quibbleton::Replay replay = Game(state.range(0) == 1, 4242);
  const std::string text = quibbleton::FormatReplay(replay);
  for (auto _ : state) {
    const quibbleton::ReplayParse parsed = quibbleton::ParseReplay(text);
    const quibbleton::Verdict verdict = quibbleton::VerifyReplay(parsed.replay);
    if (!verdict.ok) {
      state.SkipWithError(verdict.reason.c_str());
      return;
    }
    benchmark::DoNotOptimize(score::MeasureFairPlay(parsed.replay));
  }
  state.counters["replays_per_cpu_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["bytes"] = double(text.size());
  state.counters["actions"] = double(replay.actions.size());
}
BENCHMARK(BM_VerifyAndMeasure)->ArgName("worst")->Arg(0)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_UploadPath(benchmark::State& state) {
  const bool worst = state.range(0) == 1;
  std::vector<std::string> bodies;
  std::vector<int> scores;
  for (uint32_t seed = 1; seed <= 64; ++seed) {
    const quibbleton::Replay replay = Game(worst, seed);
    bodies.push_back(quibbleton::FormatReplay(replay));
    scores.push_back(quibbleton::VerifyReplay(replay).score);
  }
  char pattern[] = "/tmp/score_replay_benchXXXXXX";
  const std::string folder = mkdtemp(pattern);
  {
    std::unique_ptr<score::Storage> storage = score::OpenStorage(folder + "/scores.db");
    score::ServiceOptions options;
    options.uploadsPerMinute = 0;
    score::Service service(*storage, options);
    size_t next = 0, stored = 0;
    for (auto _ : state) {
      // Past the 64 texts, a replay is refused as a repeat: after all the
      // same work but the write.
      const size_t i = next++ % bodies.size();
      score::Request request;
      request.method = "POST";
      request.target = "/api/replays?game=Quibbleton&name=P" + std::to_string(next) +
                       ":::N&score=" + std::to_string(scores[i]);
      request.client = "127.0.0.1";
      request.body = bodies[i];
      request.playerKey = "0123456789abcdef0123456789abcdef";
      const score::Response r = service.Handle(request);
      if (r.status == 200) ++stored;
      if (r.status != 200 && r.status != 409) {
        state.SkipWithError(r.body.c_str());
        break;
      }
    }
    state.counters["uploads_per_cpu_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["stored"] = double(stored);
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}
BENCHMARK(BM_UploadPath)->ArgName("worst")->Arg(0)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
