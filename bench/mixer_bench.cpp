// The mixer's CPU time per second of output with 8, 32 and 64 voices
// playing: 16-bit mono effects at 22050 Hz, as the game's sounds are, so
// every voice is resampled to the output rate (the 24-tap windowed sinc),
// and the sum goes through the master limiter. The counter "cpu_per_s" is
// the share of one core that one second of output costs.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/win/dsound.h"
#include "platform/media/mixer.h"

namespace {

void MixVoices(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  IDirectSound* ds = nullptr;
  DirectSoundCreate(nullptr, &ds, nullptr);
  ds->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE);
  WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
  DSBUFFERDESC d{sizeof(DSBUFFERDESC), DSBCAPS_STATIC | DSBCAPS_CTRLPOSITIONNOTIFY, 22050 * 2, 0, &f};
  std::vector<IDirectSoundBuffer*> buffers;
  for (int i = 0; i < voices; ++i) {
    IDirectSoundBuffer* b = nullptr;
    ds->CreateSoundBuffer(&d, &b, nullptr);
    void* p1;
    void* p2;
    DWORD n1, n2;
    b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER);
    auto* s = static_cast<int16_t*>(p1);
    for (DWORD k = 0; k < n1 / 2; ++k) s[k] = static_cast<int16_t>((k * (37 + i)) & 0x0FFF);
    b->Unlock(p1, n1, p2, n2);
    b->SetCurrentPosition((i * 997 * 2) % n1);
    b->Play(0, 0, DSBPLAY_LOOPING);
    buffers.push_back(b);
  }
  // One second of output in the blocks an audio device asks for.
  std::vector<int16_t> out(512 * 2);
  for (auto _ : state) {
    for (uint32_t done = 0; done < platform::kMixRate; done += 512) {
      platform::Mixer::Get().Render(out.data(), 512);
    }
    benchmark::DoNotOptimize(out.data());
  }
  // Seconds of CPU per second of audio = the share of one core.
  state.counters["cpu_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  for (IDirectSoundBuffer* b : buffers) b->Release();
  ds->Release();
}

}  // namespace

BENCHMARK(MixVoices)->Arg(8)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
