// Samples as a browser's decoder gives them (one array of floats in -1..1
// per channel) made into the mixer's interleaved 16-bit stereo.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// out[2i] and out[2i+1] from left[i] and right[i], each scaled by 32767,
// rounded to the nearest and held within 16 bits.
void InterleavePcm16(const float* left, const float* right, size_t frames, int16_t* out);

}  // namespace platform
