// The launcher's game pages at scale: a launcher directory with 1,000 and
// with 10,000 game folders. Entering the pages scans the folders and shows
// the first page (the launcher does it at start and at every return from a
// title menu); a page turn restores the screen and draws the next twelve.
// "pictures_MiB" is what the games' button pictures hold once the page is
// shown.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "bench/headless_graphics.h"
#include "launcher/game_pages.h"

namespace {

namespace fs = std::filesystem;

// A scratch launcher directory of count games (the artwork linked from the
// staged tree) as the current directory, and the graphics library up.
IDirectDrawSurface* BringUpLauncher(int count) {
  static IDirectDrawSurface* back = BringUpHeadlessGraphics();
  static std::map<int, fs::path> roots;
  fs::path& root = roots[count];
  if (root.empty()) {
    root = fs::temp_directory_path() / ("qb_pages_" + std::to_string(getpid()) + "_" + std::to_string(count));
    fs::create_directories(root);
    for (const auto& entry : fs::directory_iterator(QB_DIST_DIR))
      if (entry.is_regular_file()) fs::create_symlink(entry.path(), root / entry.path().filename());
    const fs::path button = fs::path(QB_DIST_DIR) / "Quibbleton" / "LobboButton.bmp";
    for (int i = 0; i < count; ++i) {
      const fs::path game = root / ("Game" + std::to_string(100000 + i));
      fs::create_directories(game);
      fs::create_symlink(button, game / "LobboButton.bmp");
    }
    static bool cleanUp = [] {
      std::atexit([] {
        for (const auto& [n, path] : roots) fs::remove_all(path);
      });
      return true;
    }();
    (void)cleanUp;
  }
  if (fs::current_path() != root) {
    gamePagesScreen.Leave();
    fs::current_path(root);
    gamePagesScreen.Enter(GXGetLPDD(), back);
  }
  return back;
}

double PictureMiB() {
  double bytes = 0;
  for (int i = 0; i < gamePagesScreen.GameCount(); ++i) {
    const Sprite* picture = gamePagesScreen.Game(i)->buttonImage.get();
    if (picture) bytes += 2.0 * picture->width * picture->height * picture->FrameCount();
  }
  return bytes / (1 << 20);
}

void BM_EnterPages(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  IDirectDrawSurface* back = BringUpLauncher(count);
  for (auto _ : state) {
    gamePagesScreen.Leave();
    gamePagesScreen.Enter(GXGetLPDD(), back);
    gamePagesScreen.Flip();
  }
  if (gamePagesScreen.GameCount() != count) state.SkipWithError("the scan did not find every game");
  state.counters["pictures_MiB"] = PictureMiB();
}
BENCHMARK(BM_EnterPages)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PageTurn(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  BringUpLauncher(count);
  int step = 1;
  for (auto _ : state) {
    if (gamePagesScreen.Page() == 0) step = 1;
    if (!PageLayout::HasNextPage(gamePagesScreen.Page(), count)) step = -1;
    gamePagesScreen.TurnPage(step);
    gamePagesScreen.Flip();
    gamePagesScreen.Flip();  // the turned page reaches the back buffer one flip later
  }
}
BENCHMARK(BM_PageTurn)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
