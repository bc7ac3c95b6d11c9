// The game's heaviest frame: the whole board redrawn (the board area restored
// from the background, 150 heads drawn, every HUD part) and presented, beside
// a plain memcpy of one 800 x 600 16-bit picture, the physical floor of
// moving a frame's bytes. An idle frame (nothing dirty) is measured too.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "bench/headless_graphics.h"
#include "game/game.h"
#include "game/game_screen.h"
#include "platform/win/window.h"
#include "gx/frame_clock.h"
#include "gx/gx.h"
#include "gx/random.h"
#include "widgets/redraw_manager.h"

namespace {

IDirectDrawSurface* BringUpGame() {
  static IDirectDrawSurface* back = nullptr;
  if (back) return back;
  back = BringUpHeadlessGraphics();
  // The staged game folder: only read (no score is ever entered here).
  if (chdir(QB_GAME_ASSETS) != 0) std::abort();
  lcg::srand(1);
  gameScreen.Enter(GXGetLPDD(), back);
  return back;
}

void BM_FullBoardFrame(benchmark::State& state) {
  IDirectDrawSurface* back = BringUpGame();
  for (auto _ : state) {
    game.SetDirty(1);
    game.DrawFrame(back);
    gameScreen.Flip();
  }
  state.SetBytesProcessed(state.iterations() * 800 * 600 * 2);
}
BENCHMARK(BM_FullBoardFrame);

void BM_IdleFrame(benchmark::State& state) {
  IDirectDrawSurface* back = BringUpGame();
  for (auto _ : state) {
    game.DrawFrame(back);
    gameScreen.Flip();
  }
}
BENCHMARK(BM_IdleFrame);

void BM_Memcpy800x600(benchmark::State& state) {
  std::vector<uint16_t> from(800 * 600, 0x1234), to(800 * 600);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(uint16_t));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 800 * 600 * 2);
}
BENCHMARK(BM_Memcpy800x600);

}  // namespace

BENCHMARK_MAIN();
