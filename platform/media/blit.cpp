// The pixel loops behind IDirectDrawSurface::Blt.
//
// The keyed 16-bit copy is what both programs spend their drawing time in:
// every sprite, button and screen picture goes through it. Sprites are mostly
// long runs of fully transparent or fully opaque pixels, so the SIMD path
// tests eight pixels at a time and skips or stores the whole group without a
// blend when it can; only the groups on a sprite's edge pay for the blend.
#include "platform/media/blit.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <immintrin.h>
#define QB_BLIT_AVX2 1
#else
#define QB_BLIT_AVX2 0
#endif

namespace blit {
namespace {

inline uint8_t* Row(View v, int x, int y, int bytesPerPixel) {
  return v.pixels + static_cast<ptrdiff_t>(y) * v.pitch + static_cast<ptrdiff_t>(x) * bytesPerPixel;
}

inline uint16_t* Row16(View v, int x, int y) { return reinterpret_cast<uint16_t*>(Row(v, x, y, 2)); }

// True when the bytes the source rectangle covers and those the destination
// rectangle covers can share memory (a blit within one surface).
bool MayAlias(const uint8_t* dst, const uint8_t* src, ptrdiff_t dstPitch, ptrdiff_t srcPitch, int rowBytes, int h) {
  const uint8_t* dstEnd = dst + dstPitch * (h - 1) + rowBytes;
  const uint8_t* srcEnd = src + srcPitch * (h - 1) + rowBytes;
  return dst < srcEnd && src < dstEnd;
}

// Row-by-row copy of rowBytes bytes. When the rectangles share memory and the
// destination lies after the source, the rows go bottom-up so no source row is
// overwritten before it is read; memmove takes care of overlap inside a row.
void CopyRows(uint8_t* dst, ptrdiff_t dstPitch, const uint8_t* src, ptrdiff_t srcPitch, int rowBytes, int h) {
  if (rowBytes <= 0 || h <= 0) return;
  if (!MayAlias(dst, src, dstPitch, srcPitch, rowBytes, h)) {
    for (int y = 0; y < h; ++y) std::memcpy(dst + dstPitch * y, src + srcPitch * y, rowBytes);
    return;
  }
  if (dst > src) {
    for (int y = h - 1; y >= 0; --y) std::memmove(dst + dstPitch * y, src + srcPitch * y, rowBytes);
  } else {
    for (int y = 0; y < h; ++y) std::memmove(dst + dstPitch * y, src + srcPitch * y, rowBytes);
  }
}

inline void KeyedRowPlain(uint16_t* d, const uint16_t* s, int w, uint16_t key) {
  for (int x = 0; x < w; ++x) {
    uint16_t p = s[x];
    if (p != key) d[x] = p;
  }
}

#if defined(__SSE2__)
// The SIMD rows blend every group of pixels without branching: load the
// source, compare with the key, keep the old destination where it matched,
// store. On sprite data the outcome of a per-group "all transparent" test
// changes from row to row along the outline, and the mispredictions cost more
// than the stores they would save; rewriting a transparent group with the
// values it already holds is harmless when the rectangles do not share memory
// (the caller checks).
//
// A row whose width is not a multiple of the group ends with one group
// aligned to the row's end, overlapping the group before it. Its old
// destination is loaded before the row's first store: loading it after the
// overlapping store would stall the store-to-load forwarding on every row, and
// the values loaded early give the same result, since the overlapping group
// blended with those same old values.
inline __m128i Blend16Sse2(__m128i px, __m128i old, __m128i key) {
  __m128i transparent = _mm_cmpeq_epi16(px, key);
  return _mm_or_si128(_mm_and_si128(transparent, old), _mm_andnot_si128(transparent, px));
}

// Requires w >= 8.
void KeyedRowsSse2(uint8_t* d, ptrdiff_t dstPitch, const uint8_t* s, ptrdiff_t srcPitch, int w, int h,
                   uint16_t key) {
  const __m128i k = _mm_set1_epi16(static_cast<short>(key));
  const int full = w & ~7;
  for (int y = 0; y < h; ++y, d += dstPitch, s += srcPitch) {
    auto* drow = reinterpret_cast<uint16_t*>(d);
    auto* srow = reinterpret_cast<const uint16_t*>(s);
    __m128i tailOld = _mm_setzero_si128();
    if (full != w) tailOld = _mm_loadu_si128(reinterpret_cast<const __m128i*>(drow + w - 8));
    for (int x = 0; x < full; x += 8) {
      __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srow + x));
      __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(drow + x));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(drow + x), Blend16Sse2(px, old, k));
    }
    if (full != w) {
      __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(srow + w - 8));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(drow + w - 8), Blend16Sse2(px, tailOld, k));
    }
  }
}
#endif

#if QB_BLIT_AVX2
// The same with sixteen pixels per group, for processors that have AVX2
// (chosen at run time: the build targets the x86-64 baseline). Requires w >= 16.
__attribute__((target("avx2"))) void KeyedRowsAvx2(uint8_t* d, ptrdiff_t dstPitch, const uint8_t* s,
                                                   ptrdiff_t srcPitch, int w, int h, uint16_t key) {
  const __m256i k = _mm256_set1_epi16(static_cast<short>(key));
  const int full = w & ~15;
  for (int y = 0; y < h; ++y, d += dstPitch, s += srcPitch) {
    auto* drow = reinterpret_cast<uint16_t*>(d);
    auto* srow = reinterpret_cast<const uint16_t*>(s);
    __m256i tailOld = _mm256_setzero_si256();
    if (full != w) tailOld = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(drow + w - 16));
    for (int x = 0; x < full; x += 16) {
      __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(srow + x));
      __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(drow + x));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(drow + x),
                          _mm256_blendv_epi8(px, old, _mm256_cmpeq_epi16(px, k)));
    }
    if (full != w) {
      __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(srow + w - 16));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(drow + w - 16),
                          _mm256_blendv_epi8(px, tailOld, _mm256_cmpeq_epi16(px, k)));
    }
  }
}
#endif

KeyedPath DetectBestKeyedPath() {
#if QB_BLIT_AVX2
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return KeyedPath::kAvx2;
#endif
#if defined(__SSE2__)
  return KeyedPath::kSse2;
#else
  return KeyedPath::kPlain;
#endif
}

// Chosen on first use rather than by a global initialiser, so a blit made
// from another file's initialiser still finds it set.
KeyedPath BestPath() {
  static const KeyedPath best = DetectBestKeyedPath();
  return best;
}

template <typename Pixel>
void StretchRows(View dst, int dx, int dy, int dw, int dh, View src, int sx, int sy, int sw, int sh, bool keyed,
                 Pixel key) {
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  constexpr int kBpp = static_cast<int>(sizeof(Pixel));
  // Each destination pixel takes the source pixel under its centre:
  // floor((i + 1/2) * sw / dw). A 1:1 stretch is therefore an exact copy, and
  // halving or doubling picks pixels symmetrically.
  int localMap[512];
  std::vector<int> heapMap;
  int* xmap = localMap;
  if (dw > 512) {
    heapMap.resize(dw);
    xmap = heapMap.data();
  }
  for (int i = 0; i < dw; ++i)
    xmap[i] = static_cast<int>((static_cast<int64_t>(2 * i + 1) * sw) / (2 * static_cast<int64_t>(dw)));
  int lastSourceRow = -1;
  const Pixel* lastDestRow = nullptr;
  for (int j = 0; j < dh; ++j) {
    int srow = static_cast<int>((static_cast<int64_t>(2 * j + 1) * sh) / (2 * static_cast<int64_t>(dh)));
    Pixel* d = reinterpret_cast<Pixel*>(Row(dst, dx, dy + j, kBpp));
    if (!keyed && srow == lastSourceRow) {
      // Enlarging repeats source rows: copy the row already built.
      std::memcpy(d, lastDestRow, static_cast<size_t>(dw) * kBpp);
      continue;
    }
    const Pixel* s = reinterpret_cast<const Pixel*>(Row(src, sx, sy + srow, kBpp));
    if (keyed) {
      for (int i = 0; i < dw; ++i) {
        Pixel p = s[xmap[i]];
        if (p != key) d[i] = p;
      }
    } else {
      for (int i = 0; i < dw; ++i) d[i] = s[xmap[i]];
    }
    lastSourceRow = srow;
    lastDestRow = d;
  }
}

}  // namespace

void Copy16(View dst, int dx, int dy, View src, int sx, int sy, int w, int h) {
  if (w <= 0 || h <= 0) return;
  CopyRows(Row(dst, dx, dy, 2), dst.pitch, Row(src, sx, sy, 2), src.pitch, w * 2, h);
}

void CopyKeyed16Plain(View dst, int dx, int dy, View src, int sx, int sy, int w, int h, uint16_t key) {
  if (w <= 0 || h <= 0) return;
  for (int y = 0; y < h; ++y) KeyedRowPlain(Row16(dst, dx, dy + y), Row16(src, sx, sy + y), w, key);
}

bool KeyedPathSupported(KeyedPath path) {
  switch (path) {
    case KeyedPath::kPlain:
      return true;
    case KeyedPath::kSse2:
#if defined(__SSE2__)
      return true;
#else
      return false;
#endif
    case KeyedPath::kAvx2:
      return BestPath() == KeyedPath::kAvx2;
  }
  return false;
}

KeyedPath BestKeyedPath() { return BestPath(); }

void CopyKeyed16Using(KeyedPath path, View dst, int dx, int dy, View src, int sx, int sy, int w, int h,
                      uint16_t key) {
  if (w <= 0 || h <= 0) return;
  uint8_t* d = Row(dst, dx, dy, 2);
  const uint8_t* s = Row(src, sx, sy, 2);
  // Narrow rectangles, and keyed blits within one surface (whose result
  // depends on the order pixels are written), take the plain loop.
  if (path != KeyedPath::kPlain && w >= 8 && !MayAlias(d, s, dst.pitch, src.pitch, w * 2, h)) {
#if QB_BLIT_AVX2
    if (path == KeyedPath::kAvx2 && w >= 16 && BestPath() == KeyedPath::kAvx2) {
      KeyedRowsAvx2(d, dst.pitch, s, src.pitch, w, h, key);
      return;
    }
#endif
#if defined(__SSE2__)
    KeyedRowsSse2(d, dst.pitch, s, src.pitch, w, h, key);
    return;
#endif
  }
  CopyKeyed16Plain(dst, dx, dy, src, sx, sy, w, h, key);
}

void CopyKeyed16(View dst, int dx, int dy, View src, int sx, int sy, int w, int h, uint16_t key) {
  CopyKeyed16Using(BestPath(), dst, dx, dy, src, sx, sy, w, h, key);
}

void Stretch16(View dst, int dx, int dy, int dw, int dh, View src, int sx, int sy, int sw, int sh, bool keyed,
               uint16_t key) {
  if (dw == sw && dh == sh) {
    if (keyed)
      CopyKeyed16(dst, dx, dy, src, sx, sy, dw, dh, key);
    else
      Copy16(dst, dx, dy, src, sx, sy, dw, dh);
    return;
  }
  StretchRows<uint16_t>(dst, dx, dy, dw, dh, src, sx, sy, sw, sh, keyed, key);
}

void Fill16(View dst, int dx, int dy, int w, int h, uint16_t value) {
  if (w <= 0 || h <= 0) return;
  for (int y = 0; y < h; ++y) std::fill_n(Row16(dst, dx, dy + y), w, value);
}

void Copy8(View dst, int dx, int dy, View src, int sx, int sy, int w, int h) {
  if (w <= 0 || h <= 0) return;
  CopyRows(Row(dst, dx, dy, 1), dst.pitch, Row(src, sx, sy, 1), src.pitch, w, h);
}

void CopyKeyed8(View dst, int dx, int dy, View src, int sx, int sy, int w, int h, uint8_t key) {
  if (w <= 0 || h <= 0) return;
  // Palette surfaces are rare here (a few loaded pictures), so the plain loop
  // is enough; the compiler vectorises it.
  for (int y = 0; y < h; ++y) {
    uint8_t* d = Row(dst, dx, dy + y, 1);
    const uint8_t* s = Row(src, sx, sy + y, 1);
    for (int x = 0; x < w; ++x) {
      uint8_t p = s[x];
      if (p != key) d[x] = p;
    }
  }
}

void Stretch8(View dst, int dx, int dy, int dw, int dh, View src, int sx, int sy, int sw, int sh, bool keyed,
              uint8_t key) {
  if (dw == sw && dh == sh) {
    if (keyed)
      CopyKeyed8(dst, dx, dy, src, sx, sy, dw, dh, key);
    else
      Copy8(dst, dx, dy, src, sx, sy, dw, dh);
    return;
  }
  StretchRows<uint8_t>(dst, dx, dy, dw, dh, src, sx, sy, sw, sh, keyed, key);
}

void Fill8(View dst, int dx, int dy, int w, int h, uint8_t value) {
  if (w <= 0 || h <= 0) return;
  for (int y = 0; y < h; ++y) std::memset(Row(dst, dx, dy + y, 1), value, static_cast<size_t>(w));
}

}  // namespace blit
