#include "platform/media/limiter.h"

#include <algorithm>
#include <cmath>

namespace platform {
namespace {

constexpr float kAttackSeconds = 0.0005f;
constexpr float kReleaseSeconds = 0.15f;

}  // namespace

Limiter::Limiter(uint32_t rate)
    : attack_(1.0f - std::exp(-1.0f / (kAttackSeconds * static_cast<float>(rate)))),
      release_(1.0f - std::exp(-1.0f / (kReleaseSeconds * static_cast<float>(rate)))) {}

float Limiter::Gain() const {
  return envelope_ > kThreshold ? static_cast<float>(kThreshold) / envelope_ : 1.0f;
}

// Identity up to the threshold, then the curve u / (1 + u) of the excess u,
// which leaves the threshold with slope one (no corner) and approaches the
// ceiling without reaching it. It approaches slowly (1 / u rather than the
// exponential of tanh), so even a peak many times full scale keeps its shape
// as a rounded top instead of a flat one.
float Limiter::Shape(float x) const {
  const float a = std::abs(x);
  if (a <= kThreshold) return x;
  constexpr float room = static_cast<float>(kCeiling - kThreshold);
  const float u = (a - kThreshold) / room;
  return std::copysign(kThreshold + room * u / (1 + u), x);
}

void Limiter::Process(const int32_t* in, int16_t* out, uint32_t frames) {
  for (uint32_t i = 0; i < frames; ++i) {
    const int32_t l = in[2 * i], r = in[2 * i + 1];
    const float peak = static_cast<float>(std::max(std::abs(l), std::abs(r)));
    envelope_ += (peak - envelope_) * (peak > envelope_ ? attack_ : release_);
    if (envelope_ < 1.0f) envelope_ = 0;  // no denormals in long silences
    if (envelope_ <= kThreshold && peak <= kThreshold) {
      // The common case, exact: nothing near the limit.
      out[2 * i] = static_cast<int16_t>(l);
      out[2 * i + 1] = static_cast<int16_t>(r);
      continue;
    }
    const float gain = Gain();
    out[2 * i] = static_cast<int16_t>(std::lround(Shape(static_cast<float>(l) * gain)));
    out[2 * i + 1] = static_cast<int16_t>(std::lround(Shape(static_cast<float>(r) * gain)));
  }
}

}  // namespace platform
