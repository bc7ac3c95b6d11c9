// The cost of showing a frame in a real window through the SDL backend: a
// frame where everything changed, one where only the score and countdown
// area changed (what most game frames are), and an unchanged one. Needs a
// display (run it under Xvfb); without one it reports an error and skips.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/win/ddraw.h"
#include "platform/device/video.h"
#include "platform/win/present.h"

namespace {

struct SurfaceRelease {
  void operator()(IDirectDrawSurface* s) const { s->Release(); }
};
using Frame = std::unique_ptr<IDirectDrawSurface, SurfaceRelease>;

Frame MakeFrame(uint16_t seed) {
  Frame f(new IDirectDrawSurface(800, 600, 16, 0));
  for (int y = 0; y < 600; ++y) {
    auto* row = reinterpret_cast<uint16_t*>(f->Pixels() + static_cast<size_t>(y) * f->Pitch());
    for (int x = 0; x < 800; ++x) row[x] = static_cast<uint16_t>((x * 7 + y * 13) ^ seed);
  }
  return f;
}

constexpr RECT kWhole{0, 0, 800, 600};
// The game's HUD: the score and multiplier digits and the countdown dots,
// a column left of the board, about 130 x 230 pixels.
constexpr RECT kHud{4, 20, 134, 250};

void ChangeHud(IDirectDrawSurface& f, uint16_t value) {  // value != 0
  for (int y = 20; y < 250; ++y) {
    auto* row = reinterpret_cast<uint16_t*>(f.Pixels() + static_cast<size_t>(y) * f.Pitch());
    for (int x = 4; x < 134; ++x) row[x] = static_cast<uint16_t>(row[x] ^ value);
  }
}

platform::VideoBackend* Window(benchmark::State& state) {
  static std::unique_ptr<platform::VideoBackend> video;
  static bool tried = false;
  if (!tried) {
    tried = true;
    video = platform::CreateSdlVideo();
    std::string reason;
    platform::WindowParams params;
    params.title = "present bench";
    if (!video->Start(&reason) || !video->OpenWindow(params)) video.reset();
  }
  if (!video) state.SkipWithError("no window (run under a display, e.g. Xvfb)");
  return video.get();
}

// Presents a and b in turn, each marked as written in `area` first.
void Alternate(benchmark::State& state, IDirectDrawSurface& a, IDirectDrawSurface& b, const RECT& area) {
  platform::VideoBackend* video = Window(state);
  if (!video) return;
  bool flip = false;
  for (auto _ : state) {
    IDirectDrawSurface& f = flip ? a : b;
    f.MarkWritten(area);
    video->Present(platform::TakeFrameView(f));
    flip = !flip;
  }
}

void BM_PresentWholeFrame(benchmark::State& state) {
  Frame a = MakeFrame(0), b = MakeFrame(0x5555);
  Alternate(state, *a, *b, kWhole);
}
BENCHMARK(BM_PresentWholeFrame);

void BM_PresentHudOnly(benchmark::State& state) {
  Frame a = MakeFrame(0), b = MakeFrame(0);
  ChangeHud(*b, 0x0842);
  Alternate(state, *a, *b, kHud);  // as the game's blits of its digits and dots would mark it
}
BENCHMARK(BM_PresentHudOnly);

void BM_PresentUnchanged(benchmark::State& state) {
  platform::VideoBackend* video = Window(state);
  if (!video) return;
  Frame a = MakeFrame(0);
  video->Present(platform::TakeFrameView(*a));
  for (auto _ : state) {
    a->MarkWritten(kWhole);  // drawn again, all of it, the same
    video->Present(platform::TakeFrameView(*a));
  }
}
BENCHMARK(BM_PresentUnchanged);

}  // namespace

BENCHMARK_MAIN();
