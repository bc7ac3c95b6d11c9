// The SDL audio device: 16-bit stereo at the mixer's rate, pulled by SDL's
// audio thread straight from the mixer.
#include <SDL.h>

#include <cstdio>

#include "platform/device/audio_output.h"
#include "platform/media/mixer.h"

namespace platform {
namespace {

class SdlAudio final : public AudioOutput {
 public:
  bool Open() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    initialised_ = true;
    SDL_AudioSpec want{}, have{};
    want.freq = static_cast<int>(kMixRate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 512;  // about 12 ms a period
    want.callback = [](void*, Uint8* stream, int bytes) {
      Mixer::Get().Render(reinterpret_cast<int16_t*>(stream), static_cast<uint32_t>(bytes) / 4);
    };
    // The mixer produces exactly this format; SDL converts if the device differs.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }
  ~SdlAudio() override {
    if (device_) SDL_CloseAudioDevice(device_);
    if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

 private:
  SDL_AudioDeviceID device_ = 0;
  bool initialised_ = false;
};

}  // namespace

std::unique_ptr<AudioOutput> CreateSdlAudioOutput() {
  auto audio = std::make_unique<SdlAudio>();
  if (!audio->Open()) {
    std::fprintf(stderr, "audio: no audio device (%s); sound is not heard\n", SDL_GetError());
    return nullptr;
  }
  return audio;
}

}  // namespace platform
