// The bitmap font beyond "!".."~": the extra letters a strip may carry after
// the 94, the placeholder for characters it has none for, and UTF-8 text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/bitmap_font.h"
#include "tests/launcher/launcher_test_support.h"

namespace {

using namespace fwtest;
using launchertest::GlyphWidth;
using launchertest::kFontHeight;

constexpr int kPlaceholderWidth = 14;  // wider than any other glyph of the test strips

// The width of the test strip's extra glyph e (0 for U+00A1): 1 to 13, so
// a neighbour drawn in its place shows up as another width.
int ExtraWidth(int e) { return 1 + (e * 7) % 13; }

// A strip of the 94 ASCII glyphs (as launchertest::WriteTestFont), then
// `extras` extra glyphs and the placeholder.
std::string WriteExtendedFont(const std::string& path, int extras) {
  std::vector<bool> inked{false};
  const auto glyph = [&](int width) {
    inked.insert(inked.end(), static_cast<size_t>(width), true);
    inked.push_back(false);
  };
  for (int ch = 33; ch <= 126; ++ch) glyph(GlyphWidth(ch));
  for (int e = 0; e < extras; ++e) glyph(ExtraWidth(e));
  glyph(kPlaceholderWidth);
  return WriteBmp(path, static_cast<int>(inked.size()), kFontHeight,
                  [&](int x, int) { return inked[static_cast<size_t>(x)] ? 0xFFFFFFu : 0x0000FFu; });
}

class ExtendedFontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGraphics();
    ASSERT_TRUE(font_.LoadProportional(WriteExtendedFont(ScratchDir() + "/wide.bmp", kFontExtraGlyphs).c_str()));
  }
  // Which columns of a 200-pixel row the text inks when drawn from 0.
  std::vector<bool> Drawn(const char* text, int rightLimit = -1) {
    SurfaceHolder target(NewSurface(200, kFontHeight));
    FillAll(target, kBlack);
    font_.DrawString(target, text, 0, 0, 0, rightLimit);
    std::vector<bool> inked;
    for (int x = 0; x < 200; ++x) inked.push_back(Pixel(target, x, 0) == kWhite);
    return inked;
  }
  // The columns that glyphs of these widths, in order, ink from 0.
  std::vector<bool> Expected(const std::vector<int>& glyphWidths) const {
    std::vector<bool> inked(200, false);
    int x = 0;
    for (int w : glyphWidths) {
      for (int k = 0; k < w; ++k) inked[static_cast<size_t>(x + k)] = true;
      x += w + font_.spacing;
    }
    return inked;
  }
  static int Extra(char32_t c) { return ExtraWidth(FontExtraIndex(c)); }

  BitmapFont font_;
};

TEST_F(ExtendedFontTest, Utf8NamesDrawTheirOwnGlyphsAndMeasureAsDrawn) {
  EXPECT_EQ(font_.glyphCount, kFontMaxGlyphs);
  // "Zoë", "Łódź": two- and three-letter runs of extras between ASCII.
  EXPECT_EQ(Drawn("Zo\xC3\xAB"), Expected({GlyphWidth('Z'), GlyphWidth('o'), Extra(0xEB)}));
  EXPECT_EQ(Drawn("\xC5\x81\xC3\xB3" "d\xC5\xBA"), Expected({Extra(0x141), Extra(0xF3), GlyphWidth('d'), Extra(0x17A)}));
  // The last extras of the table: a typographic apostrophe and the euro sign.
  EXPECT_EQ(Drawn("O\xE2\x80\x99N\xE2\x82\xAC"),
            Expected({GlyphWidth('O'), Extra(0x2019), GlyphWidth('N'), Extra(0x20AC)}));
  const int s = font_.spacing;
  EXPECT_EQ(font_.TextWidth("Zo\xC3\xAB"), GlyphWidth('Z') + GlyphWidth('o') + Extra(0xEB) + 3 * s);
  EXPECT_EQ(font_.CharAdvance(0x17E), Extra(0x17E) + s);
  // The ASCII glyphs' metrics ignore the extras: the placeholder is the widest glyph.
  EXPECT_EQ(font_.spaceWidth, 5);
  EXPECT_EQ(font_.spacing, 1);
}

TEST_F(ExtendedFontTest, MissingLettersAndMalformedBytesDrawThePlaceholderSpacesStaySpaces) {
  const int box = kPlaceholderWidth + font_.spacing;
  EXPECT_EQ(font_.CharAdvance(0x4E2D), box);  // an ideograph
  EXPECT_EQ(font_.CharAdvance(0x7F), box);
  EXPECT_EQ(font_.CharAdvance(0x0180), box);  // just past Latin Extended-A
  EXPECT_EQ(font_.CharAdvance(-1), box);
  EXPECT_EQ(font_.TextWidth("\xE4\xB8\xAD"), box);  // one character, not three bytes
  EXPECT_EQ(font_.TextWidth("a\xFF" "b"), GlyphWidth('a') + box + GlyphWidth('b') + 2 * font_.spacing);
  EXPECT_EQ(Drawn("\xE4\xB8\xAD" "a"), Expected({kPlaceholderWidth, GlyphWidth('a')}));
  EXPECT_EQ(Drawn("\xC3"), Expected({kPlaceholderWidth}));  // a cut two-byte letter
  // A space and a no-break space advance alike and draw nothing.
  EXPECT_EQ(font_.TextWidth(" \xC2\xA0"), 2 * font_.spaceWidth);
  EXPECT_EQ(Drawn(" \xC2\xA0"), std::vector<bool>(200, false));
}

TEST_F(ExtendedFontTest, RightLimitAndRightAlignmentGoByCharacters) {
  const int e = font_.CharAdvance(0xEB);
  // The second "ë" would end exactly on the limit: only the first is drawn.
  EXPECT_EQ(Drawn("\xC3\xAB\xC3\xAB", 2 * e), Expected({Extra(0xEB)}));
  EXPECT_EQ(Drawn("\xC3\xAB\xC3\xAB", 2 * e + 1), Expected({Extra(0xEB), Extra(0xEB)}));
  // Right-aligned "Åa" ends at x, as its width says.
  SurfaceHolder target(NewSurface(200, kFontHeight));
  FillAll(target, kBlack);
  font_.DrawString(target, "\xC3\x85" "a", 100, 0, 1, -1);
  const int left = 100 - font_.TextWidth("\xC3\x85" "a");
  EXPECT_NE(Pixel(target, left - 1, 0), kWhite);
  EXPECT_EQ(Pixel(target, left, 0), kWhite);
  EXPECT_EQ(Pixel(target, left + Extra(0xC5) + font_.spacing, 0), kWhite);  // the "a"
  EXPECT_NE(Pixel(target, 100 - font_.spacing, 0), kWhite);
}

TEST(FontStrips, OlderAndNewerStripsKeepTheirLastGlyphAsThePlaceholder) {
  EnsureGraphics();
  // Made when the table was shorter: three extras ("¡¢£"), then its box.
  BitmapFont older;
  ASSERT_TRUE(older.LoadProportional(WriteExtendedFont(ScratchDir() + "/older.bmp", 3).c_str()));
  EXPECT_EQ(older.CharAdvance(0xA3), ExtraWidth(2) + older.spacing);
  EXPECT_EQ(older.CharAdvance(0xA4), kPlaceholderWidth + older.spacing);
  EXPECT_EQ(older.CharAdvance(0xE9), kPlaceholderWidth + older.spacing);
  // Made when it was longer: what this program knows, and the strip's last as the box.
  BitmapFont newer;
  ASSERT_TRUE(newer.LoadProportional(WriteExtendedFont(ScratchDir() + "/newer.bmp", kFontExtraGlyphs + 5).c_str()));
  EXPECT_EQ(newer.CharAdvance(0x20AC), ExtraWidth(kFontExtraGlyphs - 1) + newer.spacing);
  EXPECT_EQ(newer.CharAdvance(0x4E2D), kPlaceholderWidth + newer.spacing);
}

TEST(FontStrips, AnAsciiOnlyStripDrawsAQuestionMarkForWhatItLacks) {
  EnsureGraphics();
  BitmapFont ascii;
  ASSERT_TRUE(ascii.LoadProportional(launchertest::WriteTestFont(ScratchDir() + "/ascii.bmp").c_str()));
  EXPECT_EQ(ascii.glyphCount, kFontGlyphs);
  EXPECT_EQ(ascii.CharAdvance(0xE9), GlyphWidth('?') + ascii.spacing);
  EXPECT_EQ(ascii.TextWidth("Zo\xC3\xAB"), ascii.TextWidth("Zo?"));
  SurfaceHolder drawn(NewSurface(64, kFontHeight)), expected(NewSurface(64, kFontHeight));
  FillAll(drawn, kBlack);
  FillAll(expected, kBlack);
  ascii.DrawString(drawn, "Zo\xC3\xAB!", 0, 0, 0, -1);
  ascii.DrawString(expected, "Zo?!", 0, 0, 0, -1);
  for (int x = 0; x < 64; ++x) EXPECT_EQ(Pixel(drawn, x, 0), Pixel(expected, x, 0)) << x;
}

}  // namespace
