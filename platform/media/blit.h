// The pixel loops behind IDirectDrawSurface::Blt. Callers have already
// checked every rectangle against both surfaces: these functions trust their
// arguments and never clip. This is the hot path of both programs.
#pragma once

#include <cstdint>

namespace blit {

struct View {
  uint8_t* pixels;  // top-left pixel of the surface
  int pitch;        // bytes per row
  int width, height;
};

// Plain copy of a w x h rectangle, 16-bit pixels. Source and destination may
// be the same surface; overlapping rectangles copy as if through a temporary.
void Copy16(View dst, int dx, int dy, View src, int sx, int sy, int w, int h);
// Copy skipping source pixels equal to key (16-bit).
void CopyKeyed16(View dst, int dx, int dy, View src, int sx, int sy, int w, int h, uint16_t key);
// Same result as CopyKeyed16 without SIMD; the reference the fast path is tested against.
void CopyKeyed16Plain(View dst, int dx, int dy, View src, int sx, int sy, int w, int h, uint16_t key);
// The keyed copy's variants. CopyKeyed16 uses the best one the processor
// offers, chosen once at start-up; tests run each supported one against the
// plain loop. Every variant gives CopyKeyed16Plain's result.
enum class KeyedPath { kPlain, kSse2, kAvx2 };
bool KeyedPathSupported(KeyedPath path);
KeyedPath BestKeyedPath();
void CopyKeyed16Using(KeyedPath path, View dst, int dx, int dy, View src, int sx, int sy, int w, int h,
                      uint16_t key);
// Nearest-neighbour stretch of (sx, sy, sw, sh) onto (dx, dy, dw, dh), optionally keyed.
void Stretch16(View dst, int dx, int dy, int dw, int dh, View src, int sx, int sy, int sw, int sh, bool keyed,
               uint16_t key);
void Fill16(View dst, int dx, int dy, int w, int h, uint16_t value);

// The same for 8-bit surfaces.
void Copy8(View dst, int dx, int dy, View src, int sx, int sy, int w, int h);
void CopyKeyed8(View dst, int dx, int dy, View src, int sx, int sy, int w, int h, uint8_t key);
void Stretch8(View dst, int dx, int dy, int dw, int dh, View src, int sx, int sy, int sw, int sh, bool keyed,
              uint8_t key);
void Fill8(View dst, int dx, int dy, int w, int h, uint8_t value);

}  // namespace blit
