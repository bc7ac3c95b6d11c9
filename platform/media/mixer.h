// The software mixer behind the sound buffers and the MCI player. Voices are
// PCM data (8-bit unsigned or 16-bit signed, mono or stereo, any rate) that
// are resampled to the output rate, scaled by their gains, summed and
// passed through a master limiter into 16-bit stereo. Render runs on the audio backend's thread
// and never allocates; it takes the mixer lock, which is also what guards
// every voice's playing state.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/media/limiter.h"

namespace platform {

constexpr uint32_t kMixRate = 44100;  // output frames per second, 16-bit stereo
constexpr uint32_t kMaxVoices = 512;  // playing at once
constexpr uint32_t kMaxNotifyPositions = 64;

struct NotifyPosition {
  uint32_t offset;  // byte offset, or 0xFFFFFFFF for "when the voice stops"
  void* event;      // handed to the mixer's signal function (Mixer::SetSignal)
};

// One source of sound. Its owner fills it in; everything below `data` may
// only be read or changed with the mixer lock held once the voice has been
// started.
struct MixVoice {
  const uint8_t* data = nullptr;
  uint32_t size = 0;  // bytes
  uint32_t channels = 1;
  uint32_t bits = 16;
  uint32_t blockAlign = 2;

  uint32_t frequency = 22050;  // playback rate in Hz
  int32_t gainLeft = 65536;    // Q16 linear gains
  int32_t gainRight = 65536;
  bool playing = false;
  bool looping = false;
  uint32_t frame = 0;     // play cursor in frames
  uint32_t fraction = 0;  // and its Q32 fraction
  uint32_t notifyCount = 0;
  NotifyPosition notify[kMaxNotifyPositions];
  // Called after the mix, without the lock, when the voice played to its
  // end (not when stopped by its owner): a one-shot has stopped there, a
  // looping voice goes on from its start.
  void (*onEnd)(void* user) = nullptr;
  void* user = nullptr;
  // Called with the lock held before each block of outputFrames is mixed,
  // when set: the voice will read frames below `frames` (counted from the
  // data's start) in this block, so a source that produces its data as it
  // plays can make them ready, just ahead of the play position. It may
  // shorten `size` (down to the play position, which ends the voice).
  void (*prepare)(MixVoice* voice, uint32_t frames, uint32_t outputFrames) = nullptr;

  uint32_t Frames() const { return blockAlign ? size / blockAlign : 0; }
  uint32_t ByteCursor() const { return frame * blockAlign; }
};

// Gains in Q16 for a DirectSound volume (hundredths of a dB, -10000..0) and
// pan (-10000 left only .. +10000 right only).
void VolumePanToGains(int32_t volume, int32_t pan, int32_t* left, int32_t* right);

class Mixer {
 public:
  static Mixer& Get();

  // How a notify position's event is signalled when the play position passes
  // it (the sound buffers set their kernel events); none until set.
  void SetSignal(void (*signal)(void* event)) { signal_.store(signal, std::memory_order_relaxed); }

  std::mutex& Lock() { return lock_; }

  // With the lock held. Start adds the voice to the playing set (false when
  // the set is full); Stop removes it. Neither signals anything.
  bool StartLocked(MixVoice* voice);
  void StopLocked(MixVoice* voice);

  // Mixes frames of 16-bit stereo into out (interleaved). Returns the number
  // of events signalled and end callbacks run, so a virtual-time driver
  // knows when threads may have work to do.
  uint32_t Render(int16_t* out, uint32_t frames);

  uint32_t PlayingCount();

 private:
  Mixer() = default;
  std::mutex lock_;
  std::atomic<void (*)(void*)> signal_{nullptr};
  MixVoice* voices_[kMaxVoices] = {};
  Limiter limiter_{kMixRate};  // under the lock: its envelope runs on from block to block
  uint32_t voiceCount_ = 0;
};

}  // namespace platform
