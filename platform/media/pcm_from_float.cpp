#include "platform/media/pcm_from_float.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace platform {

void InterleavePcm16(const float* left, const float* right, size_t frames, int16_t* out) {
  size_t i = 0;
#if defined(__SSE2__)
  // Four frames at a time, held within 16 bits before the conversion
  // (which rounds to the nearest) so that no value is out of its range.
  const __m128 scale = _mm_set1_ps(32767.0f), low = _mm_set1_ps(-32768.0f), high = _mm_set1_ps(32767.0f);
  for (; i + 4 <= frames; i += 4) {
    __m128 l = _mm_mul_ps(_mm_loadu_ps(left + i), scale), r = _mm_mul_ps(_mm_loadu_ps(right + i), scale);
    l = _mm_and_ps(l, _mm_cmpord_ps(l, l));  // NaN, which no comparison holds, is silence
    r = _mm_and_ps(r, _mm_cmpord_ps(r, r));
    const __m128i li = _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(l, low), high));
    const __m128i ri = _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(r, low), high));
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
