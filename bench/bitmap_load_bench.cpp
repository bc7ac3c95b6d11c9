// Loading a 24-bit picture into an RGB565 surface, as the programs do for
// every background and sheet at start: our own decoder against SDL's
// decoder with its generic conversion.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "platform/win/bitmap.h"

namespace {

void PutLe(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 255));
}

// An 800 x 600 24-bit BMP of a busy picture, in memory.
const std::string& Picture() {
  static const std::string file = [] {
    constexpr int kW = 800, kH = 600, kRow = kW * 3;
    std::string f = "BM";
    PutLe(f, 54 + kRow * kH, 4);
    PutLe(f, 0, 4);
    PutLe(f, 54, 4);
    PutLe(f, 40, 4);
    PutLe(f, kW, 4);
    PutLe(f, kH, 4);
    PutLe(f, 1, 2);
    PutLe(f, 24, 2);
    PutLe(f, 0, 4);
    PutLe(f, kRow * kH, 4);
    PutLe(f, 2835, 4);
    PutLe(f, 2835, 4);
    PutLe(f, 0, 4);
    PutLe(f, 0, 4);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        f.push_back(static_cast<char>(x * 3 + y));
        f.push_back(static_cast<char>(x ^ y));
        f.push_back(static_cast<char>(y * 5 - x));
      }
    return f;
  }();
  return file;
}

void BM_Load24Bit_Ours(benchmark::State& state) {
  const std::string& file = Picture();
  for (auto _ : state) {
    IDirectDrawSurface* s = platform::LoadBitmapSurfaceFromMemory(file.data(), file.size(), 16);
    benchmark::DoNotOptimize(s);
    if (s) s->Release();
  }
  state.SetItemsProcessed(state.iterations() * 800 * 600);
}
BENCHMARK(BM_Load24Bit_Ours)->Unit(benchmark::kMicrosecond);

void BM_Load24Bit_SdlConversion(benchmark::State& state) {
  const std::string& file = Picture();
  for (auto _ : state) {
    SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB565, 0);
    benchmark::DoNotOptimize(converted);
    SDL_FreeSurface(converted);
    SDL_FreeSurface(loaded);
  }
  state.SetItemsProcessed(state.iterations() * 800 * 600);
}
BENCHMARK(BM_Load24Bit_SdlConversion)->Unit(benchmark::kMicrosecond);

// The decoding alone, which both of the above include.
void BM_Decode24Bit_Sdl(benchmark::State& state) {
  const std::string& file = Picture();
  for (auto _ : state) {
    SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
    benchmark::DoNotOptimize(loaded);
    SDL_FreeSurface(loaded);
  }
  state.SetItemsProcessed(state.iterations() * 800 * 600);
}
BENCHMARK(BM_Decode24Bit_Sdl)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
