// The browser's decoded music made into the mixer's samples: the order of
// the channels, the rounding, and what lies beyond -1..1, in the four-frame
// path and the tail alike.
#include "platform/media/pcm_from_float.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(PcmFromFloat, InterleavesRoundsAndHoldsEveryFrameTheSameWay) {
  const std::vector<float> values = {0.0f, 1.0f, -1.0f, 0.5f, -0.5f, 1.5f, -1.5f, 1e12f, -1e12f,
                                     std::nanf(""), 0.25f / 32767, 0.75f / 32767, -0.75f / 32767};
  const std::vector<int16_t> expected = {0, 32767, -32767, 16384, -16384, 32767, -32768, 32767, -32768,
                                         0, 0, 1, -1};
  // Each value in each frame position (the vector path and the tail) and on both channels.
  for (size_t frames : {1u, 4u, 7u, 9u}) {
    for (size_t v = 0; v < values.size(); ++v) {
      std::vector<float> left(frames, 0.0f), right(frames, 0.0f);
      for (size_t f = 0; f < frames; ++f) (f % 2 ? right : left)[f] = values[v];
      std::vector<int16_t> out(frames * 2, 99);
      platform::InterleavePcm16(left.data(), right.data(), frames, out.data());
      for (size_t f = 0; f < frames; ++f) {
        EXPECT_EQ(out[2 * f + (f % 2)], expected[v]) << "value " << values[v] << ", frame " << f << " of " << frames;
        EXPECT_EQ(out[2 * f + 1 - (f % 2)], 0) << "the other channel, frame " << f;
      }
    }
  }
}

}  // namespace
