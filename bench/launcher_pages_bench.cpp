// The launcher's game pages at scale: a launcher directory with 1,000 game
// folders. Entering the pages scans the folders and loads every game's
// button picture (the launcher does it at start and at every return from a
// title menu); a page turn restores the screen and draws the next twelve.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/headless_graphics.h"
#include "launcher/game_pages.h"

namespace {

namespace fs = std::filesystem;
constexpr int kGames = 1000;

// A scratch launcher directory (the artwork linked from the staged tree) as
// the current directory, and the graphics library up.
IDirectDrawSurface* BringUpLauncher() {
  static IDirectDrawSurface* back = nullptr;
  if (back) return back;
  back = BringUpHeadlessGraphics();

  static const fs::path root = fs::temp_directory_path() / ("qb_pages_" + std::to_string(getpid()));
  fs::create_directories(root);
  std::atexit([] { fs::remove_all(root); });
  for (const auto& entry : fs::directory_iterator(QB_DIST_DIR))
    if (entry.is_regular_file()) fs::create_symlink(entry.path(), root / entry.path().filename());
  const fs::path button = fs::path(QB_DIST_DIR) / "Quibbleton" / "LobboButton.bmp";
  for (int i = 0; i < kGames; ++i) {
    const fs::path game = root / ("Game" + std::to_string(1000 + i));
    fs::create_directories(game);
    fs::create_symlink(button, game / "LobboButton.bmp");
  }
  fs::current_path(root);
  gamePagesScreen.Enter(GXGetLPDD(), back);
  return back;
}

void BM_EnterPagesWith1000Games(benchmark::State& state) {
  IDirectDrawSurface* back = BringUpLauncher();
  for (auto _ : state) {
    gamePagesScreen.Leave();
    gamePagesScreen.Enter(GXGetLPDD(), back);
    gamePagesScreen.Flip();
  }
  if (gamePagesScreen.GameCount() != kGames) state.SkipWithError("the scan did not find every game");
}
BENCHMARK(BM_EnterPagesWith1000Games)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PageTurn(benchmark::State& state) {
  BringUpLauncher();
  int step = 1;
  for (auto _ : state) {
    if (gamePagesScreen.Page() == 0) step = 1;
    if (!PageLayout::HasNextPage(gamePagesScreen.Page(), kGames)) step = -1;
    gamePagesScreen.TurnPage(step);
    gamePagesScreen.Flip();
    gamePagesScreen.Flip();  // the turned page reaches the back buffer one flip later
  }
}
BENCHMARK(BM_PageTurn)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
