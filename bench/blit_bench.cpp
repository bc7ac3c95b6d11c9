// The keyed 16-bit blit against SDL2's software blitter (colour key, with and
// without RLE) and against memcpy of the same bytes, on the same RGB565 data.
//
// The data is sprite-like: transparent (key colour) outside an ellipse that
// fills the rectangle, opaque pixels of varied colours inside, so each row is
// a transparent run, an opaque run and a transparent run, as in the game's
// sprites and buttons. Every benchmark counts the w x h pixels of the
// rectangle it copies as its items.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "platform/media/blit.h"

namespace {

constexpr uint16_t kKey = 0x001F;  // pure blue, the key of the programs' sprite cells
constexpr int kScreenW = 800, kScreenH = 600;

std::vector<uint16_t> SpritePixels(int w, int h) {
  std::vector<uint16_t> px(static_cast<size_t>(w) * h);
  std::mt19937 rng(12345);
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, rx = w / 2.0, ry = h / 2.0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double ex = (x - cx) / rx, ey = (y - cy) / ry;
      uint16_t v = kKey;
      if (ex * ex + ey * ey <= 1.0) {
        do v = static_cast<uint16_t>(rng()); while (v == kKey);
      }
      px[static_cast<size_t>(y) * w + x] = v;
    }
  }
  return px;
}

SDL_Surface* MakeSurface(int w, int h) {
  return SDL_CreateRGBSurfaceWithFormat(0, w, h, 16, SDL_PIXELFORMAT_RGB565);
}

SDL_Surface* SpriteSurface(int w, int h) {
  SDL_Surface* s = MakeSurface(w, h);
  std::vector<uint16_t> px = SpritePixels(w, h);
  for (int y = 0; y < h; ++y)
    std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch, px.data() + static_cast<size_t>(y) * w, w * 2);
  return s;
}

blit::View ViewOf(SDL_Surface* s) { return {static_cast<uint8_t*>(s->pixels), s->pitch, s->w, s->h}; }

// Small sprites land inside the screen-sized destination, the large one covers it.
int DestX(int w) { return w < kScreenW ? 100 : 0; }
int DestY(int h) { return h < kScreenH ? 100 : 0; }

void KeyedBlitOurs(benchmark::State& state, blit::KeyedPath path) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  SDL_Surface* src = SpriteSurface(w, h);
  SDL_Surface* dst = MakeSurface(kScreenW, kScreenH);
  blit::View s = ViewOf(src), d = ViewOf(dst);
  for (auto _ : state) {
    blit::CopyKeyed16Using(path, d, DestX(w), DestY(h), s, 0, 0, w, h, kKey);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * w * h);
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

void KeyedBlitSdl(benchmark::State& state, bool rle) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  SDL_Surface* src = SpriteSurface(w, h);
  SDL_Surface* dst = MakeSurface(kScreenW, kScreenH);
  SDL_SetColorKey(src, SDL_TRUE, kKey);
  if (rle) SDL_SetSurfaceRLE(src, 1);
  for (auto _ : state) {
    SDL_Rect to{DestX(w), DestY(h), w, h};
    if (SDL_BlitSurface(src, nullptr, dst, &to) != 0) {
      state.SkipWithError(SDL_GetError());
      break;
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * w * h);
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

// Ours is CopyKeyed16 as the programs call it (the best path this processor
// has); the Sse2 and Plain variants show what the baseline build and the
// reference loop give.
void BM_KeyedBlit_Ours(benchmark::State& state) { KeyedBlitOurs(state, blit::BestKeyedPath()); }
void BM_KeyedBlit_OursSse2(benchmark::State& state) { KeyedBlitOurs(state, blit::KeyedPath::kSse2); }
void BM_KeyedBlit_OursPlain(benchmark::State& state) { KeyedBlitOurs(state, blit::KeyedPath::kPlain); }
void BM_KeyedBlit_Sdl(benchmark::State& state) { KeyedBlitSdl(state, false); }
void BM_KeyedBlit_SdlRle(benchmark::State& state) { KeyedBlitSdl(state, true); }

void BM_Memcpy(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  SDL_Surface* src = SpriteSurface(w, h);
  SDL_Surface* dst = MakeSurface(kScreenW, kScreenH);
  for (auto _ : state) {
    for (int y = 0; y < h; ++y) {
      std::memcpy(static_cast<uint8_t*>(dst->pixels) + (DestY(h) + y) * dst->pitch + DestX(w) * 2,
                  static_cast<const uint8_t*>(src->pixels) + y * src->pitch, static_cast<size_t>(w) * 2);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * w * h);
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

#define QB_SIZES Args({41, 55})->Args({800, 600})
BENCHMARK(BM_KeyedBlit_Ours)->QB_SIZES;
BENCHMARK(BM_KeyedBlit_OursSse2)->QB_SIZES;
BENCHMARK(BM_KeyedBlit_OursPlain)->QB_SIZES;
BENCHMARK(BM_KeyedBlit_Sdl)->QB_SIZES;
BENCHMARK(BM_KeyedBlit_SdlRle)->QB_SIZES;
BENCHMARK(BM_Memcpy)->Args({800, 600});

}  // namespace

BENCHMARK_MAIN();
