// The mixer's master limiter: the sum of any number of voices leaves it
// below full scale, without the hard edges of cutting at the limit. A peak
// envelope with a fast attack and a slow release turns the gain down when
// the sum rises above the threshold; what the envelope has not yet caught
// (the first fraction of a millisecond of a sudden peak) is bent smoothly
// towards the ceiling, keeping its shape. Below the threshold the output is the input, sample
// for sample: one voice at normal volume is never touched. No look-ahead,
// so it adds no latency.
#pragma once

#include <cstdint>

namespace platform {

class Limiter {
 public:
  static constexpr int32_t kThreshold = 22938;  // 0.7 of full scale, about -3 dBFS
  static constexpr int32_t kCeiling = 31130;    // 0.95 of full scale, never reached

  explicit Limiter(uint32_t rate);

  // Interleaved stereo: frames pairs of 32-bit sums in, 16-bit samples out.
  void Process(const int32_t* in, int16_t* out, uint32_t frames);

  // The gain the limiter is applying now (1 when idle).
  float Gain() const;

 private:
  float Shape(float x) const;

  float attack_;
  float release_;
  float envelope_ = 0;
};

}  // namespace platform
