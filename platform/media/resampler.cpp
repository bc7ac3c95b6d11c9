// The table is built once, on first use, from the closed forms; the cutoff
// sits a little below the source's Nyquist frequency so that the filter's
// transition band (24 taps are short) falls mostly above the images'
// lowest frequencies rather than on them.
#include "platform/media/resampler.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace platform {
namespace {

constexpr int kPhaseBits = 9;
constexpr int kPhases = 1 << kPhaseBits;
constexpr double kCutoff = 0.92;  // of the source's Nyquist frequency
constexpr double kBeta = 7.0;     // Kaiser window: about 70 dB of side-lobe rejection

// Modified Bessel function of the first kind, order 0, by its series.
double BesselI0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 40; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
  }
  return sum;
}

struct Table {
  // kPhases + 1 positions: the last one is the next frame's phase 0, so the
  // nearest position of any fraction is in the table.
  int16_t weights[kPhases + 1][kResampleTaps];

  Table() {
    const double half = kResampleTaps / 2.0;
    for (int p = 0; p <= kPhases; ++p) {
      double w[kResampleTaps];
      double sum = 0;
      for (int j = 0; j < kResampleTaps; ++j) {
        const double x = (j - kResampleCentre) - static_cast<double>(p) / kPhases;
        const double sx = kCutoff * x;
        const double sinc = std::abs(sx) < 1e-12 ? 1.0 : std::sin(std::numbers::pi * sx) / (std::numbers::pi * sx);
        const double r = x / half;
        const double window = std::abs(r) >= 1 ? 0.0 : BesselI0(kBeta * std::sqrt(1 - r * r)) / BesselI0(kBeta);
        w[j] = sinc * window;
        sum += w[j];
      }
      // Scaled so the rounded weights add up to exactly one: the rounding
      // error goes to the largest weight.
      int total = 0, largest = 0;
      for (int j = 0; j < kResampleTaps; ++j) {
        weights[p][j] = static_cast<int16_t>(std::lround(w[j] / sum * (1 << kResampleShift)));
        total += weights[p][j];
        if (std::abs(weights[p][j]) > std::abs(weights[p][largest])) largest = j;
      }
      weights[p][largest] = static_cast<int16_t>(weights[p][largest] + (1 << kResampleShift) - total);
    }
  }
};

}  // namespace

const int16_t* ResampleWeights(uint32_t fraction) {
  static const Table table;
  // The nearest position; fractions in the last half step round up to the
  // next frame's phase 0, which is the table's extra row.
  const uint64_t phase = (static_cast<uint64_t>(fraction) + (1u << (31 - kPhaseBits))) >> (32 - kPhaseBits);
  return table.weights[phase];
}

}  // namespace platform
