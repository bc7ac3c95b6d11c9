#include "launcher/bitmap_font.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "gx/gx.h"
#include "gx/surface.h"

namespace {

bool ColumnIsKey(const uint16_t* pixels, int pitch, int height, int col, uint16_t key) {
  for (int row = 0; row < height; ++row)
    if (pixels[static_cast<size_t>(row) * static_cast<size_t>(pitch) + static_cast<size_t>(col)] != key) return false;
  return true;
}

}  // namespace

bool ScanFontColumns(const uint16_t* pixels, int pitch, int width, int height, uint16_t key,
                     FontGlyph glyphs[kFontGlyphs]) {
  // Glyphs the scan does not reach stay marked as not found.
  for (int i = 0; i < kFontGlyphs; ++i) glyphs[i] = {-1, -1, 0};
  if (!pixels || width <= 0 || height <= 0 || pitch < width) return false;
  int col = 0;
  for (int i = 0; i < kFontGlyphs; ++i) {
    FontGlyph& glyph = glyphs[i];
    if (col >= width) return false;
    while (col < width && ColumnIsKey(pixels, pitch, height, col, key)) ++col;
    if (col >= width) return false;
    glyph.start = col++;
    while (col < width && !ColumnIsKey(pixels, pitch, height, col, key)) ++col;
    if (col >= width) return false;
    glyph.end = col++;
    glyph.width = glyph.end - glyph.start;
  }
  return true;
}

std::unique_ptr<BitmapFont> LoadFont(const char* path, int spacing) {
  auto font = std::make_unique<BitmapFont>();
  font->LoadProportional(path);
  if (spacing != -1) font->spacing = spacing;
  return font;
}

BitmapFont::BitmapFont() : surface(nullptr), cellWidth(0), height(0), spaceWidth(0), spacing(0), shared(0) {
  for (FontGlyph& glyph : glyphs) glyph = {-1, -1, 0};
}

BitmapFont::~BitmapFont() {
  if (surface) surface->Release();
}

bool BitmapFont::LoadProportional(const char* path) {
  if (surface) surface->Release();
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
  const bool found = desc.ddpfPixelFormat.dwRGBBitCount == 16 &&
                     ScanFontColumns(static_cast<const uint16_t*>(desc.lpSurface), static_cast<int>(desc.lPitch / 2),
                                     width, height, key, glyphs);
  surface->Unlock(nullptr);
  if (!found) return false;

  int widest = 0;
  for (const FontGlyph& glyph : glyphs) widest = std::max(widest, static_cast<int>(glyph.width));
  spaceWidth = static_cast<int32_t>(widest * 0.5);
  spacing = static_cast<int32_t>(widest * 0.1);
  return true;
}

const FontGlyph* BitmapFont::GlyphOf(int ch) const {
  const int index = (ch & 0xFF) - kFontFirstChar;
  if (index < 0 || index >= kFontGlyphs) return nullptr;
  const FontGlyph& glyph = glyphs[index];
  return (glyph.start == -1 || glyph.end == -1) ? nullptr : &glyph;
}

int BitmapFont::DrawChar(IDirectDrawSurface* target, int ch, int x, int y) {
  if ((ch & 0xFF) == ' ') return spaceWidth;
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
  if ((ch & 0xFF) < kFontFirstChar) return spaceWidth;
  const FontGlyph* glyph = GlyphOf(ch);
  return glyph ? glyph->width + spacing : 0;
}

int BitmapFont::TextWidth(const char* text) const {
  int width = 0;
  for (const char* p = text; p && *p; ++p) width += CharAdvance(static_cast<unsigned char>(*p));
  return width;
}

int BitmapFont::DrawString(IDirectDrawSurface* target, const char* text, int x, int y, int align, int rightLimit) {
  if (!text) return 1;
  if (align == 0) {
    for (const char* p = text; *p; ++p) {
      const int ch = static_cast<unsigned char>(*p);
      if (rightLimit != -1 && x + CharAdvance(ch) >= rightLimit) break;
      x += DrawChar(target, ch, x, y);
    }
  } else if (align == 1) {
    for (const char* p = text + std::strlen(text); p != text;) {
      const int ch = static_cast<unsigned char>(*--p);
      x -= CharAdvance(ch);
      DrawChar(target, ch, x, y);
    }
  }
  return 1;
}
