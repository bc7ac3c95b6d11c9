#include "launcher/bitmap_font.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "gx/gx.h"
#include "gx/surface.h"
#include "records/utf8.h"

namespace {

bool ColumnIsKey(const uint16_t* pixels, int pitch, int height, int col, uint16_t key) {
  for (int row = 0; row < height; ++row)
    if (pixels[static_cast<size_t>(row) * static_cast<size_t>(pitch) + static_cast<size_t>(col)] != key) return false;
  return true;
}

constexpr char32_t kNoBreakSpace = 0xA0;

// Calls draw(codePoint) for each character of text, a malformed byte being
// one character of its own.
template <typename Draw>
void ForEachCharacter(const char* text, Draw&& draw) {
  if (!text) return;
  const std::string_view view(text);
  for (size_t at = 0; at < view.size();)
    if (!draw(static_cast<int>(records::NextCodePoint(view, &at)))) return;
}

}  // namespace

int FontExtraIndex(char32_t c) {
  int before = 0;
  for (const FontRange& range : kFontExtraRanges) {
    if (c >= range.first && c <= range.last) return before + static_cast<int>(c - range.first);
    before += static_cast<int>(range.last - range.first) + 1;
  }
  return -1;
}

int ScanFontColumns(const uint16_t* pixels, int pitch, int width, int height, uint16_t key,
                    FontGlyph glyphs[kFontMaxGlyphs]) {
  // Glyphs the scan does not reach stay marked as not found.
  for (int i = 0; i < kFontMaxGlyphs; ++i) glyphs[i] = {-1, -1, 0};
  if (!pixels || width <= 0 || height <= 0 || pitch < width) return 0;
  int col = 0, count = 0;
  for (;;) {
    while (col < width && ColumnIsKey(pixels, pitch, height, col, key)) ++col;
    if (col >= width) break;
    const int start = col++;
    while (col < width && !ColumnIsKey(pixels, pitch, height, col, key)) ++col;
    if (col >= width) break;
    // Past the table's room the last slot keeps taking the next glyph, so
    // it ends up with the strip's last: its placeholder.
    glyphs[std::min(count, kFontMaxGlyphs - 1)] = {start, col, col - start};
    ++col;
    ++count;
  }
  return count < kFontGlyphs ? 0 : std::min(count, kFontMaxGlyphs);
}

std::unique_ptr<BitmapFont> LoadFont(const char* path, int spacing) {
  auto font = std::make_unique<BitmapFont>();
  font->LoadProportional(path);
  if (spacing != -1) font->spacing = spacing;
  return font;
}

BitmapFont::BitmapFont()
    : surface(nullptr), cellWidth(0), height(0), spaceWidth(0), spacing(0), shared(0), glyphCount(0) {
  for (FontGlyph& glyph : glyphs) glyph = {-1, -1, 0};
}

BitmapFont::~BitmapFont() {
  if (surface) surface->Release();
}

bool BitmapFont::LoadProportional(const char* path) {
  if (surface) surface->Release();
  glyphCount = 0;
  surface = GXLoadBitmap(path, 16);
  if (!surface) return false;
  int width = 0;
  GetSurfaceSize(surface, &width, &height);
  SetColorKeyRGB(surface, 0, 0, 255);
  const uint16_t key = PackColor(surface, 0, 0, 255);

  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return false;
  // A font is always loaded at 16 bits; anything else has no columns to scan.
  if (desc.ddpfPixelFormat.dwRGBBitCount == 16)
    glyphCount = ScanFontColumns(static_cast<const uint16_t*>(desc.lpSurface), static_cast<int>(desc.lPitch / 2),
                                 width, height, key, glyphs);
  surface->Unlock(nullptr);
  if (glyphCount == 0) return false;

  // Measured on "!".."~" alone, so a font's extras leave its spacing and
  // the width of a space as they were.
  int widest = 0;
  for (int i = 0; i < kFontGlyphs; ++i) widest = std::max(widest, static_cast<int>(glyphs[i].width));
  spaceWidth = static_cast<int32_t>(widest * 0.5);
  spacing = static_cast<int32_t>(widest * 0.1);
  return true;
}

const FontGlyph* BitmapFont::GlyphOf(int ch) const {
  int index = ch - kFontFirstChar;
  if (ch < kFontFirstChar || index >= kFontGlyphs) {
    const int extra = ch < 0 ? -1 : FontExtraIndex(static_cast<char32_t>(ch));
    // The strip's last glyph is its placeholder, so the extras it holds are the ones before it.
    const int extrasHeld = glyphCount - kFontGlyphs - 1;
    if (extra >= 0 && extra < extrasHeld)
      index = kFontGlyphs + extra;
    else
      index = glyphCount > kFontGlyphs ? glyphCount - 1 : '?' - kFontFirstChar;
  }
  const FontGlyph& glyph = glyphs[index];
  return (glyph.start == -1 || glyph.end == -1) ? nullptr : &glyph;
}

int BitmapFont::DrawChar(IDirectDrawSurface* target, int ch, int x, int y) {
  if (ch == ' ' || ch == kNoBreakSpace) return spaceWidth;
  if (ch >= 0 && ch < ' ') return 0;
  const FontGlyph* glyph = GlyphOf(ch);
  if (!glyph) return 0;
  if (surface && target) {
    RECT source{glyph->start, 0, glyph->end, height};
    RECT destination{x, y, x + glyph->width, y + height};
    target->Blt(&destination, surface, &source, DDBLT_KEYSRC | DDBLT_WAIT, nullptr);
  }
  return glyph->width + spacing;
}

int BitmapFont::CharAdvance(int ch) const {
  if ((ch >= 0 && ch < kFontFirstChar) || ch == kNoBreakSpace) return spaceWidth;
  const FontGlyph* glyph = GlyphOf(ch);
  return glyph ? glyph->width + spacing : 0;
}

int BitmapFont::TextWidth(const char* text) const {
  int width = 0;
  ForEachCharacter(text, [&](int ch) {
    width += CharAdvance(ch);
    return true;
  });
  return width;
}

int BitmapFont::DrawString(IDirectDrawSurface* target, const char* text, int x, int y, int align, int rightLimit) {
  if (align == 0) {
    ForEachCharacter(text, [&](int ch) {
      if (rightLimit != -1 && x + CharAdvance(ch) >= rightLimit) return false;
      x += DrawChar(target, ch, x, y);
      return true;
    });
  } else if (align == 1) {
    // Each character ends where the next begins, the last one at x: the same
    // places as walking back from x, without decoding the text backwards.
    x -= TextWidth(text);
    ForEachCharacter(text, [&](int ch) {
      DrawChar(target, ch, x, y);
      x += CharAdvance(ch);
      return true;
    });
  }
  return 1;
}
