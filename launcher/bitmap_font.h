// A proportional font whose 94 glyphs ("!" to "~") are painted side by side
// in one bitmap, separated by columns of pure blue. The glyph boundaries are
// not stored anywhere: loading finds them by scanning the columns.
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

// The column scan over a 16-bit pixel block (pitch in pixels): fills the 94
// glyphs and returns false when a glyph's start or its closing all-key column
// is missing before the right edge. Reads only inside width x height.
bool ScanFontColumns(const uint16_t* pixels, int pitch, int width, int height, uint16_t key,
                     FontGlyph glyphs[kFontGlyphs]);

class BitmapFont;

// A font loaded from path; spacing -1 keeps the spacing the scan derived.
// A bitmap that fails to load still gives a font, which draws nothing.
std::unique_ptr<BitmapFont> LoadFont(const char* path, int spacing = -1);

class BitmapFont {
 public:
  BitmapFont();
  ~BitmapFont();
  BitmapFont(const BitmapFont&) = delete;
  BitmapFont& operator=(const BitmapFont&) = delete;

  bool LoadProportional(const char* path);
  // Returns the advance; draws nothing for codes without a glyph.
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
  FontGlyph glyphs[kFontGlyphs];
  int32_t shared;

 private:
  // The glyph of a printable code, null for codes outside "!".."~" or not found.
  const FontGlyph* GlyphOf(int ch) const;
};
