// Mixing is done in blocks of up to kBlock frames into a 32-bit accumulator
// on the stack, then passed through the master limiter into 16 bits. A voice
// at the output rate is copied; any other is resampled with the windowed
// sinc of platform/media/resampler.h and a Q32 step. The inner loops are
// specialised for the four sample layouts.
#include "platform/media/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/media/resampler.h"

namespace platform {
namespace {

constexpr uint32_t kBlock = 512;
constexpr uint32_t kMaxSignals = 256;
constexpr uint64_t kUnitStep = 1ull << 32;

template <int Bits>
inline int32_t SampleAt(const uint8_t* p) {
  if constexpr (Bits == 8) {
    return (static_cast<int32_t>(*p) - 128) << 8;
  } else {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
  }
}

// The filtered value of one channel at a play position. A looping voice may
// be a streaming ring buffer, refilled as soon as the cursor has passed, so
// its filter reads only the frames at and after the position (what is heard
// runs kResampleCentre source frames, half a millisecond at 22050 Hz, ahead
// of the cursor) and wraps at the end. A one-shot's filter is centred on
// the position, with silence before and after the data, so it starts and
// ends softly.
template <int Bits, int Channels>
inline int32_t Filtered(const uint8_t* data, uint32_t total, bool looping, uint32_t frame, const int16_t* w,
                        int channel) {
  constexpr uint32_t kFrameBytes = Bits / 8 * Channels;
  const int64_t first = looping ? static_cast<int64_t>(frame) : static_cast<int64_t>(frame) - kResampleCentre;
  int32_t sum = 0;
  if (first >= 0 && first + kResampleTaps <= total) {
    const uint8_t* p = data + static_cast<size_t>(first) * kFrameBytes + channel * (Bits / 8);
    for (int j = 0; j < kResampleTaps; ++j) sum += w[j] * SampleAt<Bits>(p + j * kFrameBytes);
  } else {
    for (int j = 0; j < kResampleTaps; ++j) {
      int64_t k = first + j;
      if (k < 0) continue;
      if (k >= total) {
        if (!looping) break;
        k %= total;
      }
      sum += w[j] * SampleAt<Bits>(data + static_cast<size_t>(k) * kFrameBytes + channel * (Bits / 8));
    }
  }
  return (sum + (1 << (kResampleShift - 1))) >> kResampleShift;
}

// Mixes up to `frames` output frames of one voice into acc. Returns the
// number of frames produced; fewer than asked when a non-looping voice ran
// out, in which case *ended is set. *wrapped is set when a looping voice
// went round.
template <int Bits, int Channels>
uint32_t MixVoiceBlock(MixVoice& v, int32_t* acc, uint32_t frames, uint64_t step, bool* ended, bool* wrapped) {
  constexpr uint32_t kBytes = Bits / 8;
  const uint32_t total = v.Frames();
  const uint8_t* data = v.data;
  const int32_t gl = v.gainLeft;
  const int32_t gr = v.gainRight;
  uint32_t frame = v.frame;
  uint32_t frac = v.fraction;
  uint32_t produced = 0;
  // At the output's own rate on a whole frame every position is a source
  // frame: a plain copy, exact.
  const bool copy = step == kUnitStep && frac == 0;
  while (produced < frames) {
    if (frame >= total) {
      if (!v.looping || total == 0) {
        *ended = true;
        break;
      }
      frame %= total;
      *wrapped = true;
    }
    int32_t left, right;
    if (copy) {
      const uint8_t* a = data + static_cast<size_t>(frame) * kBytes * Channels;
      left = SampleAt<Bits>(a);
      right = Channels == 2 ? SampleAt<Bits>(a + kBytes) : left;
    } else {
      const int16_t* w = ResampleWeights(frac);
      left = Filtered<Bits, Channels>(data, total, v.looping, frame, w, 0);
      right = Channels == 2 ? Filtered<Bits, Channels>(data, total, v.looping, frame, w, 1) : left;
    }
    acc[produced * 2] += static_cast<int32_t>((static_cast<int64_t>(left) * gl) >> 16);
    acc[produced * 2 + 1] += static_cast<int32_t>((static_cast<int64_t>(right) * gr) >> 16);
    ++produced;
    uint64_t advanced = frac + step;
    frame += static_cast<uint32_t>(advanced >> 32);
    frac = static_cast<uint32_t>(advanced);
  }
  if (frame >= total && v.looping && total) {
    frame %= total;
    *wrapped = true;
  }
  if (frame >= total && !v.looping) *ended = true;  // ended exactly at the block's end
  v.frame = frame;
  v.fraction = frac;
  return produced;
}

// Source frames per output frame in Q32, rounded up so that whole
// milliseconds of output land on whole source frames (8000 Hz for 100 ms
// is 800 frames, not 799.99).
uint64_t Step(const MixVoice& v) {
  uint64_t step = ((static_cast<uint64_t>(v.frequency) << 32) + kMixRate - 1) / kMixRate;
  return step ? step : 1;
}

uint32_t MixOne(MixVoice& v, int32_t* acc, uint32_t frames, bool* ended, bool* wrapped) {
  uint64_t step = Step(v);
  if (v.bits == 8) {
    return v.channels == 2 ? MixVoiceBlock<8, 2>(v, acc, frames, step, ended, wrapped)
                           : MixVoiceBlock<8, 1>(v, acc, frames, step, ended, wrapped);
  }
  return v.channels == 2 ? MixVoiceBlock<16, 2>(v, acc, frames, step, ended, wrapped)
                         : MixVoiceBlock<16, 1>(v, acc, frames, step, ended, wrapped);
}

// True when offset o lies in (from, from + moved] on a ring of size bytes.
bool Crossed(uint32_t o, uint32_t from, uint32_t moved, uint32_t size) {
  if (size == 0 || o >= size || moved == 0) return false;
  if (moved >= size) return true;
  uint32_t distance = (o + size - from) % size;  // bytes from `from` forward to o
  if (distance == 0) distance = size;
  return distance <= moved;
}

}  // namespace

void VolumePanToGains(int32_t volume, int32_t pan, int32_t* left, int32_t* right) {
  volume = std::clamp(volume, -10000, 0);
  pan = std::clamp(pan, -10000, 10000);
  auto gain = [](int32_t hundredthsDb) {
    if (hundredthsDb <= -10000) return 0.0;
    return std::pow(10.0, hundredthsDb / 2000.0);
  };
  double base = gain(volume);
  double l = base * (pan > 0 ? gain(-pan) : 1.0);
  double r = base * (pan < 0 ? gain(pan) : 1.0);
  *left = static_cast<int32_t>(std::lround(l * 65536.0));
  *right = static_cast<int32_t>(std::lround(r * 65536.0));
}

Mixer& Mixer::Get() {
  static Mixer* mixer = new Mixer();  // never destroyed: the audio thread may outlive statics
  return *mixer;
}

bool Mixer::StartLocked(MixVoice* voice) {
  for (uint32_t i = 0; i < voiceCount_; ++i) {
    if (voices_[i] == voice) {
      voice->playing = true;
      return true;
    }
  }
  if (voiceCount_ >= kMaxVoices) return false;
  voices_[voiceCount_++] = voice;
  voice->playing = true;
  return true;
}

void Mixer::StopLocked(MixVoice* voice) {
  voice->playing = false;
  for (uint32_t i = 0; i < voiceCount_; ++i) {
    if (voices_[i] == voice) {
      voices_[i] = voices_[--voiceCount_];
      voices_[voiceCount_] = nullptr;
      return;
    }
  }
}

uint32_t Mixer::PlayingCount() {
  std::lock_guard<std::mutex> lock(lock_);
  return voiceCount_;
}

uint32_t Mixer::Render(int16_t* out, uint32_t frames) {
  void* signals[kMaxSignals];
  uint32_t signalCount = 0;
  struct EndCall {
    void (*fn)(void*);
    void* user;
  };
  EndCall ends[kMaxSignals];
  uint32_t endCount = 0;
  int32_t acc[kBlock * 2];

  while (frames > 0) {
    uint32_t n = std::min(frames, kBlock);
    std::memset(acc, 0, sizeof(int32_t) * n * 2);
    {
      std::lock_guard<std::mutex> lock(lock_);
      for (uint32_t i = 0; i < voiceCount_;) {
        MixVoice& v = *voices_[i];
        if (v.prepare) {
          // The frames this block may read: the positions it passes and the
          // filter's reach beyond the last of them.
          const uint64_t reach = ((static_cast<uint64_t>(n) * Step(v)) >> 32) + kResampleTaps + 2;
          v.prepare(&v, static_cast<uint32_t>(std::min<uint64_t>(v.frame + reach, v.Frames())), n);
        }
        uint32_t before = v.ByteCursor();
        bool ended = false, wrapped = false;
        uint32_t produced = MixOne(v, acc, n, &ended, &wrapped);
        // Bytes of source consumed: frames moved on the ring, counted
        // forward from `before`.
        uint32_t after = ended ? v.size : v.ByteCursor();
        uint32_t moved;
        if (ended) {
          moved = v.size - before;
        } else {
          uint64_t framesMoved = (static_cast<uint64_t>(produced) * Step(v)) >> 32;
          moved = after >= before ? after - before : after + v.size - before;
          if (framesMoved * v.blockAlign >= v.size) moved = v.size;  // lapped the whole ring
        }
        for (uint32_t k = 0; k < v.notifyCount; ++k) {
          const NotifyPosition& p = v.notify[k];
          bool fire = p.offset == 0xFFFFFFFFu ? ended : Crossed(p.offset, before, moved, v.size);
          if (fire && signalCount < kMaxSignals) signals[signalCount++] = p.event;
        }
        if (ended) {
          // A buffer that played to its end stops with its cursor back at
          // the start, so the next Play begins the sound again.
          v.playing = false;
          v.frame = 0;
          v.fraction = 0;
          if (v.onEnd && endCount < kMaxSignals) ends[endCount++] = {v.onEnd, v.user};
          voices_[i] = voices_[--voiceCount_];
          voices_[voiceCount_] = nullptr;
          continue;
        }
        if (wrapped && v.onEnd && endCount < kMaxSignals) ends[endCount++] = {v.onEnd, v.user};
        ++i;
      }
      limiter_.Process(acc, out, n);
    }
    out += n * 2;
    frames -= n;
  }
  if (void (*signal)(void*) = signal_.load(std::memory_order_relaxed))
    for (uint32_t i = 0; i < signalCount; ++i) signal(signals[i]);
  for (uint32_t i = 0; i < endCount; ++i) ends[i].fn(ends[i].user);
  return signalCount + endCount;
}

}  // namespace platform
