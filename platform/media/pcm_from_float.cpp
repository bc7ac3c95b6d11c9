#include "platform/media/pcm_from_float.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {

void InterleavePcm16(const float* left, const float* right, size_t frames, int16_t* out) {
  size_t i = 0;
#if defined(__SSE2__)
  // Four frames at a time: the conversion rounds to the nearest, and the
  // pack to 16 bits saturates, which holds what lies beyond -1..1.
  const __m128i outOfRange = _mm_set1_epi32(INT32_MIN);  // what the conversion gives for too large or NaN
  const __m128 scale = _mm_set1_ps(32767.0f);
  for (; i + 4 <= frames; i += 4) {
    __m128 l = _mm_mul_ps(_mm_loadu_ps(left + i), scale), r = _mm_mul_ps(_mm_loadu_ps(right + i), scale);
    l = _mm_and_ps(l, _mm_cmpord_ps(l, l));  // NaN, which no comparison holds, is silence
    r = _mm_and_ps(r, _mm_cmpord_ps(r, r));
    __m128i li = _mm_cvtps_epi32(l), ri = _mm_cvtps_epi32(r);
    // A too large positive sample converts to the smallest integer: make it the largest.
    li = _mm_xor_si128(li, _mm_and_si128(_mm_cmpeq_epi32(li, outOfRange), _mm_castps_si128(_mm_cmpgt_ps(l, _mm_setzero_ps()))));
    ri = _mm_xor_si128(ri, _mm_and_si128(_mm_cmpeq_epi32(ri, outOfRange), _mm_castps_si128(_mm_cmpgt_ps(r, _mm_setzero_ps()))));
    const __m128i l16 = _mm_packs_epi32(li, li), r16 = _mm_packs_epi32(ri, ri);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi16(l16, r16));
  }
#endif
  for (; i < frames; ++i) {
    for (int c = 0; c < 2; ++c) {
      const float scaled = (c == 0 ? left[i] : right[i]) * 32767.0f;
      // NaN, which no comparison holds, stays silent.
      const float held = scaled > 32767.0f ? 32767.0f : scaled < -32768.0f ? -32768.0f : scaled == scaled ? scaled : 0.0f;
      out[2 * i + c] = static_cast<int16_t>(std::nearbyint(held));
    }
  }
}

}  // namespace platform
