// Band-limited interpolation for the mixer. A voice whose rate differs from
// the output's reads each output frame as a weighted sum of the source
// frames around its position: a Kaiser-windowed sinc, tabulated for 512
// fractional positions. Linear interpolation leaves mirror images of the
// source spectrum above its Nyquist frequency; this filter keeps them below
// -50 dB for what the game plays (22.05 kHz effects raised to 44.1 kHz).
#pragma once

#include <cstdint>

namespace platform {

constexpr int kResampleTaps = 24;
// The weights of a position are centred this many frames after its first tap.
constexpr int kResampleCentre = kResampleTaps / 2 - 1;
constexpr int kResampleShift = 14;  // weights are Q14; each position sums to exactly 1 << 14

// The kResampleTaps weights that, applied to source frames first ...
// first + kResampleTaps - 1, give the signal at first + kResampleCentre +
// fraction / 2^32. A constant signal comes out unchanged.
const int16_t* ResampleWeights(uint32_t fraction);

}  // namespace platform
