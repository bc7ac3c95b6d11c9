// The WAV reading path of the sound library, fed through its file hooks:
// whatever the bytes, loading, playing, mixing and freeing a sample (and
// loading a stream) stay inside their buffers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win/fileio.h"
#include "platform/media/mixer.h"
#include "sound/gx_sound.h"

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0;

HANDLE OpenFuzzInput(const char*) { return platform::CreateMemoryFile(g_data, g_size); }

GXSound& Library() {
  static GXSound* sound = [] {
    auto* s = new GXSound();
    s->Init(nullptr, 8);
    GXSound::SetFileOpenFunc(OpenFuzzInput);
    return s;
  }();
  return *sound;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GXSound& sound = Library();
  g_data = data;
  g_size = size;
  if (sound.LoadSample("fuzz.wav", 1)) {
    SNDSample* s = sound.PlaySample(1, 0xFFFF, 0x8000);
    static int16_t out[512 * 2];
    platform::Mixer::Get().Render(out, 512);
    if (s) s->StopSample();
    sound.FreeSample(1u);
    sound.FlushSamples();
  }
  GXSound::ClearSampleList();
  if (sound.LoadStream("fuzz.wav", 2)) {
    sound.PlayStream(STRF_REPEAT);
    sound.StopStream();
  }
  return 0;
}
