// Windows' sound output: waveOut at the mixer's rate, 16-bit stereo, a few
// short buffers kept queued. The device sets an event each time it is done
// with one; a thread of the output's own waits on that event and refills
// every finished buffer straight from the mixer, as SDL's callback does.
// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <atomic>
#include <cstdio>
#include <thread>

#include "platform/device/audio_output.h"
#include "platform/media/mixer.h"

namespace platform {
namespace {

// Eight buffers of about 12 ms: under 100 ms from the mix to the speaker.
// Half as many dropped out several times a minute under Wine on a busy
// machine, where the refilling thread may wait its turn for tens of
// milliseconds.
constexpr int kBuffers = 8;
constexpr uint32_t kBufferFrames = 512;

class WaveOutAudio final : public AudioOutput {
 public:
  bool Open() {
    event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!event_) return false;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kMixRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = kMixRate * 4;
    if (waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event_), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR) {
      device_ = nullptr;
      return false;
    }
    for (int i = 0; i < kBuffers; ++i) {
      WAVEHDR& h = headers_[i];
      h.lpData = reinterpret_cast<LPSTR>(samples_[i]);
      h.dwBufferLength = sizeof samples_[i];
      if (waveOutPrepareHeader(device_, &h, sizeof h) != MMSYSERR_NOERROR) return false;
      prepared_ = i + 1;
    }
    // The first fill and queueing happen on the thread, like every other.
    for (WAVEHDR& h : headers_) h.dwFlags |= WHDR_DONE;
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  ~WaveOutAudio() override {
    if (thread_.joinable()) {
      stop_.store(true, std::memory_order_release);
      SetEvent(event_);
      thread_.join();
    }
    if (device_) {
      waveOutReset(device_);  // hands every queued buffer back
      for (int i = 0; i < prepared_; ++i) waveOutUnprepareHeader(device_, &headers_[i], sizeof headers_[i]);
      waveOutClose(device_);
    }
    if (event_) CloseHandle(event_);
  }

 private:
  void Run() {
    // The mix is what the player hears late if this thread is late.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    while (!stop_.load(std::memory_order_acquire)) {
      for (int i = 0; i < kBuffers; ++i) {
        WAVEHDR& h = headers_[i];
        if (!(h.dwFlags & WHDR_DONE)) continue;
        h.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        Mixer::Get().Render(samples_[i], kBufferFrames);
        if (waveOutWrite(device_, &h, sizeof h) != MMSYSERR_NOERROR) {
          std::fprintf(stderr, "audio: the sound device stopped taking sound\n");
          return;
        }
      }
      // The event is set for each buffer the device finishes (and by the
      // destructor); an auto-reset event set twice before the wait still
      // wakes it once, which is why every buffer is looked at each time.
      WaitForSingleObject(event_, INFINITE);
    }
  }

  HANDLE event_ = nullptr;
  HWAVEOUT device_ = nullptr;
  WAVEHDR headers_[kBuffers]{};
  int prepared_ = 0;
  int16_t samples_[kBuffers][kBufferFrames * 2]{};
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace

std::unique_ptr<AudioOutput> CreateWin32AudioOutput() {
  auto audio = std::make_unique<WaveOutAudio>();
  if (!audio->Open()) {
    std::fprintf(stderr, "audio: no sound device; sound is not heard\n");
    return nullptr;
  }
  return audio;
}

}  // namespace platform
