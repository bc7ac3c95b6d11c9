// The generator's own pieces: how a drawing becomes key-safe BMP pixels, how
// a bitmap font is laid out, and the sample handling the voices go through.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "art/audio.h"
#include "art/canvas.h"
#include "art/characters.h"
#include "art/files.h"
#include "art/ui.h"
#include "launcher/bitmap_font.h"
#include "platform/win/bitmap.h"

namespace {

namespace fs = std::filesystem;
using art::Canvas;
using art::Key;

std::string TempPath(const std::string& name) {
  return (fs::temp_directory_path() / ("art-kit-" + std::to_string(getpid()) + "-" + name)).string();
}

void Dot(Canvas& c, int x, int y, double r, double g, double b, double a) {
  cairo_rectangle(c.cr(), x, y, 1, 1);
  cairo_set_source_rgba(c.cr(), r, g, b, a);
  cairo_fill(c.cr());
}

uint32_t At(const std::vector<uint32_t>& px, const Canvas& c, int x, int y) { return px[y * c.w() + x]; }

TEST(ArtKit, FlattenKeysFaintPixelsAndComposesEdgesOverTheMatte) {
  Canvas c(4, 1);
  Dot(c, 0, 0, 1, 0, 0, 1.0);   // solid red
  Dot(c, 1, 0, 1, 0, 0, 0.5);   // half red: an anti-aliased edge
  Dot(c, 2, 0, 1, 0, 0, 0.05);  // a whisper of red: background
  // (3, 0) untouched: transparent
  auto blue = art::Flatten(c, Key::Blue, nullptr, art::Hex(0xffffff));
  EXPECT_EQ(At(blue, c, 0, 0), 0xff0000u);
  uint32_t edge = At(blue, c, 1, 0);
  EXPECT_EQ(edge >> 16, 255u);
  // Half way to the white matte, within the one 16-bit level the dither may pick.
  EXPECT_NEAR(static_cast<int>((edge >> 8) & 255), 128, 5) << "edge not blended with the white matte";
  EXPECT_NEAR(static_cast<int>(edge & 255), 128, 9);
  EXPECT_EQ(At(blue, c, 2, 0), 0x0000ffu);
  EXPECT_EQ(At(blue, c, 3, 0), 0x0000ffu);
  auto black = art::Flatten(c, Key::Black, nullptr, art::Hex(0xffffff));
  EXPECT_EQ(At(black, c, 3, 0), 0x000000u);
  EXPECT_EQ(At(black, c, 1, 0), edge);
}

TEST(ArtKit, PixelsThatWouldTurnIntoTheKeyAreNudgedOff) {
  Canvas c(3, 1);
  Dot(c, 0, 0, 0, 0, 1, 1.0);                       // drawn pure blue
  Dot(c, 1, 0, 4 / 255.0, 2 / 255.0, 250 / 255.0, 1);  // blue after 565 truncation
  Dot(c, 2, 0, 0, 0, 0, 1.0);                       // drawn black
  auto blue = art::Flatten(c, Key::Blue, nullptr, art::Hex(0x808080));
  for (int x = 0; x < 2; ++x) {
    uint32_t v = At(blue, c, x, 0);
    bool turnsBlue = (v & 255) >= 248 && (v >> 16) < 8 && ((v >> 8) & 255) < 4;
    EXPECT_FALSE(turnsBlue) << x;
  }
  auto free = art::Flatten(c, Key::BlackFree, nullptr, art::Hex(0x000000));
  uint32_t v = At(free, c, 2, 0);
  EXPECT_FALSE((v >> 16) < 8 && ((v >> 8) & 255) < 4 && (v & 255) < 8);
  // A black-free picture has no transparency: the empty pixel takes the
  // matte (here black, so it is nudged too).
  Canvas empty(1, 1);
  auto e = art::Flatten(empty, Key::BlackFree, nullptr, art::Hex(0x000000));
  EXPECT_NE(e[0], 0u);
}

// The BMP writer's rows run bottom-up; the programs' loader must see the
// picture the right way round and with the exact colours.
// The game draws any tile beside any other: a head's ink outside its 41 x 55
// cell would be cut flat in the sheet, or show as a sliver in its neighbour.
TEST(ArtKit, EveryHeadFitsItsTile) {
  constexpr int kMargin = 10;
  for (int colour = 0; colour < 5; ++colour)
    for (int face = 0; face < 5; ++face) {
      Canvas c(art::kCellW + 2 * kMargin, art::kCellH + 2 * kMargin);
      art::DrawHead(c.cr(), kMargin, kMargin, colour, face);
      cairo_surface_flush(c.surface());
      int outside = 0;
      for (int y = 0; y < c.h(); ++y)
        for (int x = 0; x < c.w(); ++x) {
          const bool inTile = x >= kMargin && x < kMargin + art::kCellW && y >= kMargin && y < kMargin + art::kCellH;
          if (!inTile && (c.Pixel(x, y) >> 24) != 0) ++outside;
        }
      EXPECT_EQ(outside, 0) << "colour " << colour << " face " << face;
    }
}

// At 16 bits a slow gradient falls into bands one level wide; dithered, each
// band's neighbours mix in, so the average follows the gradient. Colours the
// 16-bit picture can show exactly stay exact (flat fills keep their colour).
TEST(ArtKit, GradientsAreDitheredAndExactColoursStay) {
  Canvas c(256, 8);
  cairo_pattern_t* ramp = cairo_pattern_create_linear(0, 0, 256, 0);
  cairo_pattern_add_color_stop_rgb(ramp, 0, 0.25, 0.25, 0.25);
  cairo_pattern_add_color_stop_rgb(ramp, 1, 0.25 + 16 / 255.0, 0.25 + 16 / 255.0, 0.25 + 16 / 255.0);
  cairo_set_source(c.cr(), ramp);
  cairo_rectangle(c.cr(), 0, 0, 256, 4);
  cairo_fill(c.cr());
  cairo_pattern_destroy(ramp);
  const double exact[3] = {(20 << 3 | 20 >> 2) / 255.0, (41 << 2 | 41 >> 4) / 255.0, (9 << 3 | 9 >> 2) / 255.0};
  cairo_set_source_rgb(c.cr(), exact[0], exact[1], exact[2]);
  cairo_rectangle(c.cr(), 0, 4, 256, 4);
  cairo_fill(c.cr());
  const auto px = art::Flatten(c, Key::Opaque, nullptr, art::Hex(0));
  // The red channel's 5-bit level, averaged over 16-pixel columns, climbs
  // smoothly instead of in two steps.
  double previous = -1;
  int distinctAverages = 0;
  for (int x0 = 0; x0 < 256; x0 += 16) {
    double sum = 0;
    for (int y = 0; y < 4; ++y)
      for (int x = x0; x < x0 + 16; ++x) sum += (px[y * 256 + x] >> 16) >> 3;
    const double average = sum / 64;
    EXPECT_GE(average, previous - 0.1) << x0;
    if (average > previous + 0.05) ++distinctAverages;
    previous = average;
  }
  EXPECT_GE(distinctAverages, 8);
  for (int x = 0; x < 256; ++x) {
    const uint32_t p = px[5 * 256 + x];
    EXPECT_EQ(p >> 19, 20u);
    EXPECT_EQ((p >> 10) & 63, 41u);
    EXPECT_EQ((p & 255) >> 3, 9u);
  }
}

TEST(ArtKit, WrittenBmpLoadsTheRightWayRound) {
  Canvas c(5, 3);  // odd width: rows need padding
  cairo_set_source_rgb(c.cr(), 1, 1, 1);
  cairo_paint(c.cr());
  Dot(c, 0, 0, 1, 0, 0, 1);
  Dot(c, 4, 2, 0, 1, 0, 1);
  std::string path = TempPath("corner.bmp");
  art::WriteBmp(c, path, Key::BlackFree, art::Hex(0xffffff));
  IDirectDrawSurface* s = platform::LoadBitmapSurface(path.c_str(), 16);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Width(), 5);
  EXPECT_EQ(s->Height(), 3);
  auto px = [&](int x, int y) {
    uint16_t v;
    std::memcpy(&v, s->Pixels() + y * s->Pitch() + x * 2, 2);
    return v;
  };
  EXPECT_EQ(px(0, 0), 0xF800);
  EXPECT_EQ(px(4, 2), 0x07E0);
  EXPECT_EQ(px(2, 1), 0xFFFF);
  s->Release();
  fs::remove(path);
}

TEST(ArtKit, BitmapFontKeepsSplitGlyphsWholeAndProportional) {
  std::string path = TempPath("font.bmp");
  art::WriteBitmapFont(path, art::Font::Bold, 16, 24, 18, art::pal::kInk, art::pal::kField);
  IDirectDrawSurface* s = platform::LoadBitmapSurface(path.c_str(), 16);
  ASSERT_NE(s, nullptr);
  auto blank = [&](int x) {
    for (int y = 0; y < s->Height(); ++y) {
      uint16_t v;
      std::memcpy(&v, s->Pixels() + y * s->Pitch() + x * 2, 2);
      if (v != 0x001F) return false;
    }
    return true;
  };
  std::vector<int> widths;
  for (int x = 0; x < s->Width();) {
    while (x < s->Width() && blank(x)) ++x;
    int a = x;
    while (x < s->Width() && !blank(x)) ++x;
    if (x > a) widths.push_back(x - a);
  }
  ASSERT_EQ(widths.size(), static_cast<size_t>(kFontMaxGlyphs)) << "'\"' or '%' fell apart, or glyphs merged";
  EXPECT_LT(widths['i' - 33], widths['W' - 33]);
  EXPECT_LT(widths['.' - 33], widths['m' - 33]);
  // The extras in the strip's order: a wide letter, a narrow one, the box last.
  const std::vector<char32_t> characters = art::BitmapFontCharacters();
  const auto widthOf = [&](char32_t c) {
    return widths[static_cast<size_t>(std::find(characters.begin(), characters.end(), c) - characters.begin())];
  };
  EXPECT_GT(widthOf(0x00C6), widthOf('E'));  // AE
  EXPECT_LT(widthOf(0x0131), widthOf('n'));  // dotless i
  EXPECT_GT(widths.back(), widthOf('l'));

  s->Release();
  fs::remove(path);
}

// The launcher finds a letter by its place in the strip, from its own copy
// of the table: the two must agree, range by range.
TEST(ArtKit, FontStripOrderIsTheLaunchersOrder) {
  std::vector<char32_t> expected;
  for (char32_t c = 33; c <= 126; ++c) expected.push_back(c);
  for (const FontRange& range : kFontExtraRanges)
    for (char32_t c = range.first; c <= range.last; ++c) expected.push_back(c);
  EXPECT_EQ(art::BitmapFontCharacters(), expected);
  EXPECT_EQ(expected.size() + 1, static_cast<size_t>(kFontMaxGlyphs));  // and the placeholder
}

TEST(ArtKit, WavRoundTripAndStreamedHeaders) {
  art::Wave w = {0.0, 0.5, -0.5, 1.0};
  std::string path = TempPath("t.wav");
  art::WriteWav(path, w);
  int rate = 0;
  art::Wave back = art::ReadWav(path, &rate);
  EXPECT_EQ(rate, art::kRate);
  ASSERT_EQ(back.size(), w.size());
  for (size_t i = 0; i < w.size(); ++i) EXPECT_NEAR(back[i], w[i], 1.0 / 16000);
  // A speech program writing to a stream leaves the data size at its
  // maximum: the samples that are there are read, nothing beyond.
  std::string bytes = art::ReadFile(path);
  size_t data = bytes.find("data");
  ASSERT_NE(data, std::string::npos);
  for (int i = 0; i < 4; ++i) bytes[data + 4 + i] = '\xff';
  art::WriteFile(path, bytes);
  back = art::ReadWav(path, &rate);
  EXPECT_EQ(back.size(), w.size());
  // Not PCM: refused.
  bytes[20] = 3;
  art::WriteFile(path, bytes);
  EXPECT_THROW(art::ReadWav(path, &rate), std::runtime_error);
  fs::remove(path);
}

int ZeroCrossings(const art::Wave& w) {
  int n = 0;
  for (size_t i = 1; i < w.size(); ++i) n += (w[i - 1] < 0) != (w[i] < 0);
  return n;
}

TEST(ArtKit, ResampleKeepsPitchAndLevel) {
  art::Wave in(44100);
  for (size_t i = 0; i < in.size(); ++i) in[i] = 0.8 * std::sin(2 * M_PI * 1000 * i / 44100.0);
  art::Wave out = art::Resample(in, 44100, 22050);
  EXPECT_NEAR(static_cast<double>(out.size()), 22050, 1);
  EXPECT_NEAR(ZeroCrossings(out), 2000, 4);
  double peak = 0;
  for (size_t i = 100; i + 100 < out.size(); ++i) peak = std::max(peak, std::abs(out[i]));
  EXPECT_NEAR(peak, 0.8, 0.03);
  // Playing faster (a pretended higher source rate) raises the pitch.
  art::Wave fast = art::Resample(out, 22050 * 1.25, 22050);
  EXPECT_NEAR(ZeroCrossings(fast) / (fast.size() / 22050.0), 2500, 30);
}

TEST(ArtKit, ShapeTrimsNormalisesAndFadesToZero) {
  art::Wave w(art::Samples(0.3), 0.0);
  for (int i = art::Samples(0.1); i < art::Samples(0.2); ++i) w[i] = 0.3 + 0.1 * std::sin(i * 0.3);  // with DC
  art::Shape(w, 0.8, 5, 20);
  EXPECT_LT(w.size(), static_cast<size_t>(art::Samples(0.16))) << "silence not trimmed";
  double peak = 0;
  for (double v : w) peak = std::max(peak, std::abs(v));
  EXPECT_NEAR(peak, 0.8, 1e-9);
  EXPECT_NEAR(w.front(), 0.0, 1e-9);
  EXPECT_LT(std::abs(w.back()), 0.01);
}

}  // namespace
