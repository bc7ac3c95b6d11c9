// A proportional font painted side by side in one bitmap, glyphs separated
// by columns of pure blue. The glyph boundaries are not stored anywhere:
// loading finds them by scanning the columns.
//
// The strip holds, left to right: the 94 glyphs "!" to "~" (a font may stop
// there); then the letters and signs of kFontExtraRanges, range by range in
// code order; and last a placeholder (a box) that stands for any character
// the font has no glyph for. A strip with fewer extras than this table (made
// before a range was added) still loads: its last glyph is the placeholder,
// and the letters it lacks draw as the placeholder. A strip of the 94 alone
// has no placeholder of its own and draws "?" in its place.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/win/ddraw.h"

struct FontGlyph {
  int32_t start;  // first column, -1 when not found
  int32_t end;    // first column after the glyph, -1 when not found
  int32_t width;  // end - start
};

constexpr int kFontGlyphs = 94;
constexpr int kFontFirstChar = 33;

// The characters painted after the 94, in this order: what names and e-mail
// addresses typed on European keyboards need. The art tool paints the same
// list (a test holds the two together).
struct FontRange {
  char32_t first, last;
};
inline constexpr FontRange kFontExtraRanges[] = {
    {0x00A1, 0x017F},  // Latin-1 letters and signs, Latin Extended-A
    {0x0218, 0x021B},  // Romanian S and T with comma below
    {0x02BB, 0x02BC},  // the okina and the modifier apostrophe (Hawaiian, Ukrainian names)
    {0x2013, 0x2014},  // en and em dash
    {0x2018, 0x2019},  // typographic single quotes: O'Neil as phones type it
    {0x201C, 0x201D},  // typographic double quotes
    {0x2026, 0x2026},  // ellipsis
    {0x20AC, 0x20AC},  // euro sign
};
constexpr int CountFontExtras() {
  int n = 0;
  for (const FontRange& range : kFontExtraRanges) n += static_cast<int>(range.last - range.first) + 1;
  return n;
}
constexpr int kFontExtraGlyphs = CountFontExtras();
// The 94, the extras and the placeholder.
constexpr int kFontMaxGlyphs = kFontGlyphs + kFontExtraGlyphs + 1;

// The position of c among the extras (0 for U+00A1), -1 when it is not one.
int FontExtraIndex(char32_t c);

// The column scan over a 16-bit pixel block (pitch in pixels). Returns how
// many glyphs the strip holds, up to kFontMaxGlyphs (the last slot then holds
// the strip's last glyph, its placeholder), or 0 when one of the 94 first
// lacks its start or its closing all-key column before the right edge.
// After the 94 a glyph without a closing column ends the strip. Glyphs not
// found stay {-1, -1, 0}. Reads only inside width x height.
int ScanFontColumns(const uint16_t* pixels, int pitch, int width, int height, uint16_t key,
                    FontGlyph glyphs[kFontMaxGlyphs]);

class BitmapFont;

// A font loaded from path; spacing -1 keeps the spacing the scan derived.
// A bitmap that fails to load still gives a font, which draws nothing.
std::unique_ptr<BitmapFont> LoadFont(const char* path, int spacing = -1);

// Text is UTF-8; a malformed byte is one character with no glyph. Characters
// are Unicode code points: a space (or a no-break space) advances by
// spaceWidth, other codes below "!" advance by spaceWidth and draw nothing,
// and every other character without a glyph draws the placeholder.
class BitmapFont {
 public:
  BitmapFont();
  ~BitmapFont();
  BitmapFont(const BitmapFont&) = delete;
  BitmapFont& operator=(const BitmapFont&) = delete;

  bool LoadProportional(const char* path);
  // Returns the advance; control codes return 0.
  int DrawChar(IDirectDrawSurface* target, int ch, int x, int y);
  // align 0 = left from x, stopping before the first character that would
  // reach rightLimit (-1 = no limit); 1 = right-aligned ending at x, no limit;
  // anything else draws nothing. Always 1.
  int DrawString(IDirectDrawSurface* target, const char* text, int x, int y, int align, int rightLimit);
  int TextWidth(const char* text) const;
  int CharAdvance(int ch) const;

  IDirectDrawSurface* surface;
  int32_t cellWidth;
  int32_t height;
  int32_t spaceWidth;
  int32_t spacing;
  // "!".."~" first (glyph i is code 33 + i), then the extras and the
  // placeholder as the strip holds them.
  FontGlyph glyphs[kFontMaxGlyphs];
  int32_t shared;
  int32_t glyphCount;  // 94, or more when the strip has extras and a placeholder

 private:
  // The glyph drawn for ch: its own, else the placeholder; null when neither was found.
  const FontGlyph* GlyphOf(int ch) const;
};
