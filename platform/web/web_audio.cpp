// Web Audio output: the same mixer as everywhere, rendered on the program's
// thread as the page's clock advances (its time listener), a little ahead of
// what is heard, and queued to the page's AudioContext. After each block that
// signalled an event, the sound threads (fibers here) do their work before
// mixing goes on, as on the virtual clock.
//
// Nothing is rendered while the mixer has nothing to play, and nothing is
// handed to the page while its AudioContext is not running (before the
// player's first gesture, or suspended): what plays meanwhile is mixed and
// dropped, so that sounds end and their threads go on as if heard. Sound
// handed to the page keeps the page's waits short (web_clock.cpp).
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/device/audio_output.h"
#include "platform/device/clock.h"
#include "platform/media/mixer.h"
#include "platform/web/web_page.h"
#include "platform/win/sync.h"

namespace {

EM_JS(int, qb_page_audio_running, (), {
  const audio = Module.qbPage.audio;
  return audio && audio.state === 'running' ? 1 : 0;
});

}  // namespace

namespace platform {
namespace {

constexpr uint32_t kBlockFrames = kMixRate / 50;  // 20 ms
constexpr uint32_t kLeadMs = 80;                  // what is queued ahead of the present

class WebAudioOutput final : public AudioOutput {
 public:
  WebAudioOutput() : startMs_(NowMs()) {
    listener_ = AddVirtualTimeListener([this](uint32_t now) { AdvanceTo(now); });
  }
  ~WebAudioOutput() override { RemoveVirtualTimeListener(listener_); }

 private:
  void AdvanceTo(uint32_t nowMs) {
    const int32_t elapsed = TickDiff(nowMs, startMs_);
    if (elapsed < 0) return;
    const uint64_t target = (static_cast<uint64_t>(elapsed) + kLeadMs) * kMixRate / 1000;
    if (rendered_ + kBlockFrames > target) return;
    // Silence is not made at all: a sound that starts goes from now. After
    // a stall (a hidden tab) too, rather than catching up.
    const bool silent = Mixer::Get().PlayingCount() == 0;
    if (silent || target > rendered_ + kMixRate / 2) rendered_ = target - kBlockFrames;
    if (silent) return;
    const bool heard = qb_page_audio_running() != 0;
    while (rendered_ + kBlockFrames <= target) {
      const uint32_t woken = Mixer::Get().Render(buffer_, kBlockFrames);
      if (heard) qb_page_audio_queue(buffer_, static_cast<int>(kBlockFrames), static_cast<int>(kMixRate));
      rendered_ += kBlockFrames;
      if (woken) WaitForThreadsIdle(0);
    }
    if (heard) NoteSoundQueued();
  }

  const uint32_t startMs_;
  int listener_ = 0;
  uint64_t rendered_ = 0;
  int16_t buffer_[kBlockFrames * 2];
};

}  // namespace

std::unique_ptr<AudioOutput> CreateWebAudioOutput() { return std::make_unique<WebAudioOutput>(); }

}  // namespace platform
