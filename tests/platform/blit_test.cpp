// The pixel loops: the SIMD keyed copy against the plain one, our keyed blit
// against SDL's colour-key blit (the same clipping, the same pixels), copies
// within one surface, fills and stretches.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "platform/media/blit.h"

namespace {

// A surface in a larger buffer: a margin of guard pixels on every side lets
// the tests see a write that leaves the rectangle it was given.
struct Canvas {
  static constexpr int kMargin = 24;
  int width, height, bpp, pitch;
  std::vector<uint8_t> bytes;

  Canvas(int w, int h, int bytesPerPixel, int extraPitch = 0)
      : width(w), height(h), bpp(bytesPerPixel), pitch((w + 2 * kMargin) * bytesPerPixel + extraPitch),
        bytes(static_cast<size_t>(pitch) * (h + 2 * kMargin)) {}

  blit::View View() { return {bytes.data() + kMargin * pitch + kMargin * bpp, pitch, width, height}; }
  uint16_t& At16(int x, int y) {
    return *reinterpret_cast<uint16_t*>(bytes.data() + (y + kMargin) * pitch + (x + kMargin) * 2);
  }
  uint8_t& At8(int x, int y) { return bytes[(y + kMargin) * pitch + (x + kMargin)]; }
  // Random 16-bit pixels drawn from a few values, so the key is frequent and
  // runs of keyed and unkeyed pixels of every length occur.
  void Randomise(std::mt19937& rng, uint16_t key) {
    const uint16_t palette[] = {key, key, key, 0x0000, 0xFFFF, 0x1234, static_cast<uint16_t>(key ^ 1),
                                static_cast<uint16_t>(key ^ 0x8000)};
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      uint16_t v = (rng() & 1) ? palette[rng() % 8] : static_cast<uint16_t>(rng());
      std::memcpy(&bytes[i], &v, 2);
    }
  }
};

TEST(BlitKeyed, EverySimdPathMatchesThePlainLoop) {
  std::mt19937 rng(7);
  const uint16_t keys[] = {0x001F, 0x0000, 0xF81F};
  std::vector<blit::KeyedPath> paths = {blit::KeyedPath::kSse2, blit::KeyedPath::kAvx2};
  int tested = 0;
  for (blit::KeyedPath path : paths) {
    if (!blit::KeyedPathSupported(path)) continue;
    ++tested;
    for (int w = 1; w <= 40; ++w) {
      for (int offset : {0, 1, 3, 7}) {
        const uint16_t key = keys[(w + offset) % 3];
        const int h = 1 + static_cast<int>(rng() % 6);
        Canvas src(48, 8, 2, 2 * (offset & 1)), expected(50, 9, 2, 6);
        src.Randomise(rng, key);
        expected.Randomise(rng, key);
        Canvas actual = expected;
        const int dx = offset + 1, dy = offset % 3, sx = offset, sy = 1;
        blit::CopyKeyed16Plain(expected.View(), dx, dy, src.View(), sx, sy, w, h, key);
        blit::CopyKeyed16Using(path, actual.View(), dx, dy, src.View(), sx, sy, w, h, key);
        ASSERT_EQ(expected.bytes, actual.bytes) << "path " << static_cast<int>(path) << " width " << w
                                                << " offset " << offset;
      }
    }
  }
  EXPECT_GT(tested, 0);
  // The default entry point is one of the paths tested above or the plain loop itself.
  Canvas src(40, 4, 2), a(40, 4, 2);
  src.Randomise(rng, 0x001F);
  a.Randomise(rng, 0x001F);
  Canvas b = a;
  blit::CopyKeyed16(a.View(), 0, 0, src.View(), 0, 0, 40, 4, 0x001F);
  blit::CopyKeyed16Plain(b.View(), 0, 0, src.View(), 0, 0, 40, 4, 0x001F);
  EXPECT_EQ(a.bytes, b.bytes);
}

TEST(BlitKeyed, PlainLoopKeepsKeyedPixelsAndCopiesTheRest) {
  Canvas src(4, 1, 2), dst(4, 1, 2);
  const uint16_t in[] = {5, 0x001F, 7, 0x001F};
  for (int x = 0; x < 4; ++x) {
    src.At16(x, 0) = in[x];
    dst.At16(x, 0) = 100;
  }
  blit::CopyKeyed16Plain(dst.View(), 0, 0, src.View(), 0, 0, 4, 1, 0x001F);
  EXPECT_EQ(dst.At16(0, 0), 5);
  EXPECT_EQ(dst.At16(1, 0), 100);
  EXPECT_EQ(dst.At16(2, 0), 7);
  EXPECT_EQ(dst.At16(3, 0), 100);
}

TEST(BlitKeyed, WithinOneSurfaceMatchesThePlainLoop) {
  // Overlapping keyed blits on one surface depend on write order; the fast
  // entry point must fall back to the plain loop's order there.
  std::mt19937 rng(11);
  for (int shift : {-9, -1, 1, 9}) {
    for (int dy : {1, 2, 3}) {
      Canvas a(64, 8, 2);
      a.Randomise(rng, 0);
      Canvas b = a;
      blit::CopyKeyed16(a.View(), 20 + shift, dy, a.View(), 20, 2, 30, 5, 0);
      blit::CopyKeyed16Plain(b.View(), 20 + shift, dy, b.View(), 20, 2, 30, 5, 0);
      EXPECT_EQ(a.bytes, b.bytes) << shift << "," << dy;
    }
  }
}

// Clips (sx, sy, w, h) -> (dx, dy) to both surfaces the way a blit to a
// position must: the part of the source rectangle outside the source, then
// the part landing outside the destination, is dropped.
struct Clip {
  int sx, sy, dx, dy, w, h;
};
Clip ClipToBoth(Clip c, int srcW, int srcH, int dstW, int dstH) {
  if (c.sx < 0) { c.dx -= c.sx; c.w += c.sx; c.sx = 0; }
  if (c.sy < 0) { c.dy -= c.sy; c.h += c.sy; c.sy = 0; }
  if (c.sx + c.w > srcW) c.w = srcW - c.sx;
  if (c.sy + c.h > srcH) c.h = srcH - c.sy;
  if (c.dx < 0) { c.sx -= c.dx; c.w += c.dx; c.dx = 0; }
  if (c.dy < 0) { c.sy -= c.dy; c.h += c.dy; c.dy = 0; }
  if (c.dx + c.w > dstW) c.w = dstW - c.dx;
  if (c.dy + c.h > dstH) c.h = dstH - c.dy;
  return c;
}

struct SdlSurface {
  SDL_Surface* s;
  SdlSurface(int w, int h) : s(SDL_CreateRGBSurfaceWithFormat(0, w, h, 16, SDL_PIXELFORMAT_RGB565)) {}
  ~SdlSurface() { SDL_FreeSurface(s); }
  SdlSurface(const SdlSurface&) = delete;
  SdlSurface& operator=(const SdlSurface&) = delete;
  uint16_t& At(int x, int y) { return reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(s->pixels) + y * s->pitch)[x]; }
  blit::View View() { return {static_cast<uint8_t*>(s->pixels), s->pitch, s->w, s->h}; }
};

TEST(BlitKeyed, MatchesSdlColourKeyBlitWithClippingAtEveryEdge) {
  constexpr int kSrcW = 37, kSrcH = 23, kDstW = 64, kDstH = 48;
  constexpr uint16_t kKey = 0x001F;
  std::mt19937 rng(2024);
  SdlSurface src(kSrcW, kSrcH), sdlDst(kDstW, kDstH), ourDst(kDstW, kDstH);
  ASSERT_TRUE(src.s && sdlDst.s && ourDst.s) << SDL_GetError();
  for (int y = 0; y < kSrcH; ++y)
    for (int x = 0; x < kSrcW; ++x) src.At(x, y) = (rng() % 3 == 0) ? kKey : static_cast<uint16_t>(rng());
  ASSERT_EQ(SDL_SetColorKey(src.s, SDL_TRUE, kKey), 0) << SDL_GetError();

  // Destination positions off every edge, flush with it, and inside; source
  // rectangles that are whole, inner, or run off the source's own edges.
  const int xs[] = {-40, -20, -1, 0, 5, kDstW - kSrcW, kDstW - 10, kDstW - 1, kDstW, kDstW + 3};
  const int ys[] = {-30, -8, -1, 0, 4, kDstH - kSrcH, kDstH - 5, kDstH - 1, kDstH};
  const SDL_Rect sources[] = {{0, 0, kSrcW, kSrcH}, {3, 2, 20, 11}, {-4, -3, 30, 20}, {10, 9, 40, 30}};
  int drawn = 0;
  for (const SDL_Rect& from : sources) {
    for (int dx : xs) {
      for (int dy : ys) {
        for (int y = 0; y < kDstH; ++y)
          for (int x = 0; x < kDstW; ++x) sdlDst.At(x, y) = ourDst.At(x, y) = static_cast<uint16_t>(rng());
        SDL_Rect srcRect = from, to{dx, dy, 0, 0};
        ASSERT_EQ(SDL_BlitSurface(src.s, &srcRect, sdlDst.s, &to), 0) << SDL_GetError();

        Clip c = ClipToBoth({from.x, from.y, dx, dy, from.w, from.h}, kSrcW, kSrcH, kDstW, kDstH);
        if (c.w > 0 && c.h > 0) {
          ++drawn;
          EXPECT_EQ(to.x, c.dx);
          EXPECT_EQ(to.y, c.dy);
          EXPECT_EQ(to.w, c.w);
          EXPECT_EQ(to.h, c.h);
          blit::CopyKeyed16(ourDst.View(), c.dx, c.dy, src.View(), c.sx, c.sy, c.w, c.h, kKey);
        } else {
          EXPECT_TRUE(to.w == 0 || to.h == 0);
        }
        for (int y = 0; y < kDstH; ++y)
          for (int x = 0; x < kDstW; ++x)
            ASSERT_EQ(ourDst.At(x, y), sdlDst.At(x, y))
                << "pixel " << x << "," << y << " source " << from.x << "," << from.y << " at " << dx << "," << dy;
      }
    }
  }
  EXPECT_GT(drawn, 100);
}

TEST(BlitCopy, OverlappingRectanglesCopyAsIfThroughATemporary) {
  std::mt19937 rng(3);
  const int shifts[][2] = {{1, 1}, {-1, -1}, {3, 0}, {-3, 0}, {0, 2}, {0, -2}, {5, -4}, {-5, 4}};
  for (auto& s : shifts) {
    Canvas c(40, 30, 2);
    c.Randomise(rng, 0);
    Canvas expected = c;
    // Reference: copy out, then in.
    std::vector<uint16_t> temp(20 * 15);
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 20; ++x) temp[y * 20 + x] = expected.At16(10 + x, 8 + y);
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 20; ++x) expected.At16(10 + s[0] + x, 8 + s[1] + y) = temp[y * 20 + x];
    blit::Copy16(c.View(), 10 + s[0], 8 + s[1], c.View(), 10, 8, 20, 15);
    EXPECT_EQ(c.bytes, expected.bytes) << s[0] << "," << s[1];

    Canvas c8(40, 30, 1);
    for (auto& b : c8.bytes) b = static_cast<uint8_t>(rng());
    Canvas expected8 = c8;
    std::vector<uint8_t> temp8(20 * 15);
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 20; ++x) temp8[y * 20 + x] = expected8.At8(10 + x, 8 + y);
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 20; ++x) expected8.At8(10 + s[0] + x, 8 + s[1] + y) = temp8[y * 20 + x];
    blit::Copy8(c8.View(), 10 + s[0], 8 + s[1], c8.View(), 10, 8, 20, 15);
    EXPECT_EQ(c8.bytes, expected8.bytes) << s[0] << "," << s[1];
  }
}

TEST(BlitFill, FillsExactlyTheRectangle) {
  for (int w : {1, 3, 8, 17, 33}) {
    Canvas c(40, 10, 2);
    blit::Fill16(c.View(), 2, 3, w, 4, 0xBEEF);
    Canvas c8(40, 10, 1);
    blit::Fill8(c8.View(), 2, 3, w, 4, 0x5A);
    for (int y = -Canvas::kMargin; y < 10 + Canvas::kMargin; ++y) {
      for (int x = -Canvas::kMargin; x < 40 + Canvas::kMargin; ++x) {
        bool inside = x >= 2 && x < 2 + w && y >= 3 && y < 7;
        ASSERT_EQ(c.At16(x, y), inside ? 0xBEEF : 0) << w << " " << x << "," << y;
        ASSERT_EQ(c8.At8(x, y), inside ? 0x5A : 0) << w << " " << x << "," << y;
      }
    }
  }
}

TEST(BlitStretch, IntegerScalesAndOneToOne) {
  Canvas src(6, 4, 2);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) src.At16(x, y) = static_cast<uint16_t>(1 + y * 6 + x);
  // Enlarging by 3 turns each pixel into a 3 x 3 block.
  Canvas big(18, 12, 2);
  blit::Stretch16(big.View(), 0, 0, 18, 12, src.View(), 0, 0, 6, 4, false, 0);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 18; ++x) ASSERT_EQ(big.At16(x, y), src.At16(x / 3, y / 3)) << x << "," << y;
  // Halving picks one pixel of every 2 x 2 block, the same one in each.
  Canvas half(3, 2, 2);
  blit::Stretch16(half.View(), 0, 0, 3, 2, src.View(), 0, 0, 6, 4, false, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(half.At16(x, y), src.At16(2 * x + 1, 2 * y + 1));
  // Same size: a plain copy, with an offset source and destination.
  Canvas same(10, 10, 2);
  blit::Stretch16(same.View(), 2, 3, 4, 2, src.View(), 1, 1, 4, 2, false, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(same.At16(2 + x, 3 + y), src.At16(1 + x, 1 + y));
}

TEST(BlitStretch, OddSizesStayInsideAndUseEverySourcePixelWhenEnlarging) {
  std::mt19937 rng(5);
  // Sizes that are not multiples of each other, one wider than the map kept
  // on the stack, and single pixels.
  const int sizes[][4] = {{3, 2, 7, 5}, {7, 5, 3, 2}, {5, 3, 13, 11}, {1, 1, 9, 4}, {9, 4, 1, 1}, {10, 2, 700, 3}};
  for (auto& sz : sizes) {
    const int sw = sz[0], sh = sz[1], dw = sz[2], dh = sz[3];
    Canvas src(sw, sh, 2);
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < sw; ++x) src.At16(x, y) = static_cast<uint16_t>(1 + y * sw + x);
    Canvas dst(dw + 4, dh + 4, 2);
    blit::Stretch16(dst.View(), 2, 2, dw, dh, src.View(), 0, 0, sw, sh, false, 0);
    std::vector<bool> used(sw * sh + 1);
    int lastRow = -1;
    for (int y = -Canvas::kMargin; y < dh + 4 + Canvas::kMargin; ++y) {
      int lastCol = -1;
      for (int x = -Canvas::kMargin; x < dw + 4 + Canvas::kMargin; ++x) {
        uint16_t v = dst.At16(x, y);
        bool inside = x >= 2 && x < 2 + dw && y >= 2 && y < 2 + dh;
        if (!inside) {
          ASSERT_EQ(v, 0) << "write outside at " << x << "," << y;
          continue;
        }
        ASSERT_GE(v, 1);
        ASSERT_LE(v, sw * sh);
        int col = (v - 1) % sw, row = (v - 1) / sw;
        // Nearest neighbour never goes backwards along a row or down the rows.
        ASSERT_GE(col, lastCol);
        if (x == 2) {
          ASSERT_GE(row, lastRow);
          lastRow = row;
        } else {
          ASSERT_EQ(row, lastRow);
        }
        lastCol = col;
        used[v] = true;
      }
    }
    if (dw >= sw && dh >= sh) {
      for (int v = 1; v <= sw * sh; ++v) EXPECT_TRUE(used[v]) << "source pixel " << v - 1 << " unused";
    }
  }
}

TEST(BlitStretch, KeyedStretchLeavesTheDestinationUnderKeyPixels) {
  Canvas src(2, 2, 2), dst(4, 4, 2);
  src.At16(0, 0) = 0x001F;
  src.At16(1, 0) = 10;
  src.At16(0, 1) = 20;
  src.At16(1, 1) = 0x001F;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) dst.At16(x, y) = 99;
  blit::Stretch16(dst.View(), 0, 0, 4, 4, src.View(), 0, 0, 2, 2, true, 0x001F);
  const uint16_t want[4][4] = {{99, 99, 10, 10}, {99, 99, 10, 10}, {20, 20, 99, 99}, {20, 20, 99, 99}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.At16(x, y), want[y][x]) << x << "," << y;

  Canvas src8(2, 1, 1), dst8(4, 1, 1);
  src8.At8(0, 0) = 7;
  src8.At8(1, 0) = 3;
  for (int x = 0; x < 4; ++x) dst8.At8(x, 0) = 1;
  blit::Stretch8(dst8.View(), 0, 0, 4, 1, src8.View(), 0, 0, 2, 1, true, 7);
  EXPECT_EQ(dst8.At8(0, 0), 1);
  EXPECT_EQ(dst8.At8(1, 0), 1);
  EXPECT_EQ(dst8.At8(2, 0), 3);
  EXPECT_EQ(dst8.At8(3, 0), 3);
}

TEST(BlitKeyed, EightBitKeyedCopy) {
  Canvas src(5, 2, 1), dst(5, 2, 1);
  const uint8_t in[] = {0, 9, 0, 8, 0, 1, 2, 0, 0, 3};
  for (int i = 0; i < 10; ++i) {
    src.At8(i % 5, i / 5) = in[i];
    dst.At8(i % 5, i / 5) = 200;
  }
  blit::CopyKeyed8(dst.View(), 0, 0, src.View(), 0, 0, 5, 2, 0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(dst.At8(i % 5, i / 5), in[i] ? in[i] : 200) << i;
}

}  // namespace
