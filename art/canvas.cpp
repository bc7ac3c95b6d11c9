#include "art/canvas.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "art/files.h"

namespace art {

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Rgb Lighter(Rgb c, double t) { return Mix(c, {1, 1, 1}, t); }
Rgb Darker(Rgb c, double t) { return Mix(c, {0, 0, 0}, t); }

Canvas::Canvas(int w, int h) : w_(w), h_(h) {
  surf_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cr_ = cairo_create(surf_);
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_t* fo = cairo_font_options_create();
  cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr_, fo);
  cairo_font_options_destroy(fo);
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surf_);
}

uint32_t Canvas::Pixel(int x, int y) const {
  const unsigned char* data = cairo_image_surface_get_data(surf_);
  int stride = cairo_image_surface_get_stride(surf_);
  uint32_t v;
  std::memcpy(&v, data + y * stride + x * 4, 4);
  return v;
}

// Below this alpha a pixel counts as background and becomes the key; above
// it, it is composed over the matte so its edge blends into what it will be
// drawn on instead of into blue or black.
constexpr unsigned kSolidAlpha = 24;

namespace {

int To8(double v) { return std::clamp(static_cast<int>(std::lround(v * 255.0)), 0, 255); }

// What the programs' loader keeps of a channel: the top 5 or 6 bits.
bool TurnsBlue(int r, int g, int b) { return b >= 248 && r < 8 && g < 4; }
bool TurnsBlack(int r, int g, int b) { return r < 8 && g < 4 && b < 8; }

// The programs keep the top 5, 6 and 5 bits of each channel, so a gentle
// gradient falls into visible bands. An ordered (4 x 4 Bayer) dither picks
// the level above or below in proportion to where the colour lies between
// them; a colour on a level (as the display widens it back) stays exact.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

int DitherChannel(int v, int bits, int threshold) {
  const int top = (1 << bits) - 1;
  const int level = std::min((v * top * 16 + threshold * 255) / (255 * 16), top);
  // Written so that keeping the top bits gives the level back.
  return (level << (8 - bits)) | (level >> (2 * bits - 8));
}

uint32_t Compose(uint32_t argb, int mr, int mg, int mb, Key key, int x, int y) {
  unsigned a = argb >> 24;
  if (key == Key::Blue && a < kSolidAlpha) return 0x0000ffu;
  if (key == Key::Black && a < kSolidAlpha) return 0x000000u;
  int pr = (argb >> 16) & 255, pg = (argb >> 8) & 255, pb = argb & 255;
  int r = pr + (mr * static_cast<int>(255 - a) + 127) / 255;
  int g = pg + (mg * static_cast<int>(255 - a) + 127) / 255;
  int b = pb + (mb * static_cast<int>(255 - a) + 127) / 255;
  const int threshold = kBayer[y & 3][x & 3];
  r = DitherChannel(std::min(r, 255), 5, threshold);
  g = DitherChannel(std::min(g, 255), 6, threshold);
  b = DitherChannel(std::min(b, 255), 5, threshold);
  if ((key == Key::Blue || key == Key::Opaque) && TurnsBlue(r, g, b)) g = 8;
  if ((key == Key::Black || key == Key::BlackFree) && TurnsBlack(r, g, b)) r = g = b = 10;
  return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

}  // namespace

void UniteFaceMasks(Canvas& c, int faceW, int faces, Rgb matte) {
  cairo_surface_flush(c.surface());
  unsigned char* data = cairo_image_surface_get_data(c.surface());
  const int stride = cairo_image_surface_get_stride(c.surface());
  const uint32_t solid = 0xff000000u | (static_cast<uint32_t>(To8(matte.r)) << 16) |
                         (static_cast<uint32_t>(To8(matte.g)) << 8) | static_cast<uint32_t>(To8(matte.b));
  for (int y = 0; y < c.h(); ++y)
    for (int x = 0; x < faceW; ++x) {
      bool anySolid = false;
      for (int f = 0; f < faces; ++f) anySolid = anySolid || (c.Pixel(f * faceW + x, y) >> 24) >= kSolidAlpha;
      if (!anySolid) continue;
      for (int f = 0; f < faces; ++f)
        if ((c.Pixel(f * faceW + x, y) >> 24) < kSolidAlpha)
          std::memcpy(data + y * stride + (f * faceW + x) * 4, &solid, 4);
    }
  cairo_surface_mark_dirty(c.surface());
}

std::vector<uint32_t> Flatten(const Canvas& c, Key key, const Canvas* matteImg, Rgb matte) {
  cairo_surface_flush(c.surface());
  if (matteImg) cairo_surface_flush(matteImg->surface());
  std::vector<uint32_t> out(static_cast<size_t>(c.w()) * c.h());
  int mr = To8(matte.r), mg = To8(matte.g), mb = To8(matte.b);
  for (int y = 0; y < c.h(); ++y) {
    for (int x = 0; x < c.w(); ++x) {
      if (matteImg) {
        uint32_t m = matteImg->Pixel(x, y);
        mr = (m >> 16) & 255;
        mg = (m >> 8) & 255;
        mb = m & 255;
      }
      out[static_cast<size_t>(y) * c.w() + x] = Compose(c.Pixel(x, y), mr, mg, mb, key, x, y);
    }
  }
  return out;
}

namespace {

void PutLe(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 255));
}

void WritePixels(const std::string& path, int w, int h, const std::vector<uint32_t>& px) {
  int rowBytes = (w * 3 + 3) & ~3;
  std::string f;
  f.reserve(54 + static_cast<size_t>(rowBytes) * h);
  f += "BM";
  PutLe(f, 54 + rowBytes * h, 4);
  PutLe(f, 0, 4);
  PutLe(f, 54, 4);
  PutLe(f, 40, 4);
  PutLe(f, w, 4);
  PutLe(f, h, 4);  // positive: rows stored bottom-up
  PutLe(f, 1, 2);
  PutLe(f, 24, 2);
  PutLe(f, 0, 4);  // BI_RGB
  PutLe(f, rowBytes * h, 4);
  PutLe(f, 2835, 4);
  PutLe(f, 2835, 4);
  PutLe(f, 0, 4);
  PutLe(f, 0, 4);
  for (int y = h - 1; y >= 0; --y) {
    size_t start = f.size();
    for (int x = 0; x < w; ++x) {
      uint32_t v = px[static_cast<size_t>(y) * w + x];
      f.push_back(static_cast<char>(v & 255));
      f.push_back(static_cast<char>((v >> 8) & 255));
      f.push_back(static_cast<char>((v >> 16) & 255));
    }
    while (f.size() - start < static_cast<size_t>(rowBytes)) f.push_back(0);
  }
  WriteFile(path, f);
}

std::string Label(const std::string& path) {
  // The last two path components are enough to tell the pictures apart.
  size_t a = path.rfind('/');
  if (a == std::string::npos || a == 0) return path;
  size_t b = path.rfind('/', a - 1);
  return b == std::string::npos ? path : path.substr(b + 1);
}

}  // namespace

void WriteBmp(const Canvas& c, const std::string& path, Key key, Rgb matte) {
  auto px = Flatten(c, key, nullptr, matte);
  WritePixels(path, c.w(), c.h(), px);
  AddToPreview(Label(path), c.w(), c.h(), std::move(px));
}

void WriteBmp(const Canvas& c, const std::string& path, Key key, const Canvas& matte) {
  auto px = Flatten(c, key, &matte, {0, 0, 0});
  WritePixels(path, c.w(), c.h(), px);
  AddToPreview(Label(path), c.w(), c.h(), std::move(px));
}

// --- contact sheet -------------------------------------------------------------

namespace {
struct PreviewItem {
  std::string label;
  int w, h;
  std::vector<uint32_t> px;
};
std::vector<PreviewItem>& PreviewItems() {
  static std::vector<PreviewItem> items;
  return items;
}
}  // namespace

void AddToPreview(const std::string& label, int w, int h, std::vector<uint32_t> pixels) {
  PreviewItems().push_back({label, w, h, std::move(pixels)});
}

namespace {
const PreviewItem& Find(const std::string& label) {
  for (auto& it : PreviewItems())
    if (it.label == label) return it;
  throw std::runtime_error("no picture " + label + " for the mock screen");
}
}  // namespace

const std::vector<uint32_t>& WrittenPixels(const std::string& label, int* w, int* h) {
  const PreviewItem& it = Find(label);
  *w = it.w;
  *h = it.h;
  return it.px;
}

Mock::Mock(std::string label, const std::string& background) : label_(std::move(label)) {
  const PreviewItem& bg = Find(background);
  px_ = bg.px;
  px_.resize(800 * 600);
}

void Mock::Blit(const std::string& picture, int sx, int sy, int w, int h, int dx, int dy, long key) {
  const PreviewItem& it = Find(picture);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int X = dx + x, Y = dy + y;
      if (X < 0 || Y < 0 || X >= 800 || Y >= 600 || sx + x >= it.w || sy + y >= it.h) continue;
      uint32_t v = it.px[static_cast<size_t>(sy + y) * it.w + sx + x];
      if (key >= 0 && v == static_cast<uint32_t>(key)) continue;
      px_[static_cast<size_t>(Y) * 800 + X] = v;
    }
}

void Mock::Done() { AddToPreview(label_, 800, 600, std::move(px_)); }

void WritePreview(const std::string& path) {
  // Shelf packing in a fixed-width sheet, each picture at its real size on a
  // checker so the key colour stays visible, its file name above it.
  const int sheetW = 2460, pad = 14, labelH = 16;
  struct Place {
    int x, y;
  };
  std::vector<Place> places;
  Canvas probe(4, 4);
  TextStyle lst;
  lst.font = Font::Sans;
  lst.size = 11;
  int x = pad, y = pad, rowH = 0;
  for (auto& it : PreviewItems()) {
    std::string label = it.label + "  " + std::to_string(it.w) + "x" + std::to_string(it.h);
    int cellW = std::max(it.w, static_cast<int>(TextWidth(probe.cr(), lst, label)) + 4);
    if (x + cellW + pad > sheetW) {
      x = pad;
      y += rowH + pad;
      rowH = 0;
    }
    places.push_back({x, y});
    x += cellW + pad;
    rowH = std::max(rowH, it.h + labelH);
  }
  int sheetH = y + rowH + pad;
  Canvas sheet(sheetW, sheetH);
  cairo_t* cr = sheet.cr();
  SetColor(cr, Hex(0x808080));
  cairo_paint(cr);
  cairo_surface_flush(sheet.surface());
  unsigned char* data = cairo_image_surface_get_data(sheet.surface());
  int stride = cairo_image_surface_get_stride(sheet.surface());
  for (size_t i = 0; i < PreviewItems().size(); ++i) {
    auto& it = PreviewItems()[i];
    for (int yy = 0; yy < it.h; ++yy) {
      auto* row = reinterpret_cast<uint32_t*>(data + (places[i].y + labelH + yy) * stride);
      for (int xx = 0; xx < it.w; ++xx) row[places[i].x + xx] = 0xff000000u | it.px[yy * it.w + xx];
    }
  }
  cairo_surface_mark_dirty(sheet.surface());
  for (size_t i = 0; i < PreviewItems().size(); ++i) {
    TextStyle st;
    st.font = Font::Sans;
    st.size = 11;
    st.fill = Hex(0xffffff);
    DrawText(cr, st, PreviewItems()[i].label + "  " + std::to_string(PreviewItems()[i].w) + "x" +
                         std::to_string(PreviewItems()[i].h),
             places[i].x, places[i].y + 12, 0);
  }
  cairo_surface_flush(sheet.surface());
  if (cairo_surface_write_to_png(sheet.surface(), path.c_str()) != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error("cannot write " + path);
}

// --- drawing -------------------------------------------------------------------

void SetColor(cairo_t* cr, Rgb c, double a) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::min({r, w / 2, h / 2});
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 1.5 * M_PI);
  cairo_close_path(cr);
}

void FillGradPreserve(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
}

void VGradient(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
  cairo_set_source(cr, p);
  cairo_paint(cr);
  cairo_pattern_destroy(p);
}

void Star(cairo_t* cr, double cx, double cy, double r1, double r2, int points, double rot) {
  cairo_new_sub_path(cr);
  for (int i = 0; i < points * 2; ++i) {
    double r = (i % 2) ? r2 : r1;
    double a = rot + i * M_PI / points - M_PI / 2;
    double px = cx + r * std::cos(a), py = cy + r * std::sin(a);
    if (i == 0)
      cairo_move_to(cr, px, py);
    else
      cairo_line_to(cr, px, py);
  }
  cairo_close_path(cr);
}

// --- text ----------------------------------------------------------------------

namespace {
FT_Library g_ft = nullptr;
cairo_font_face_t* g_faces[4] = {};
FT_Face g_ftFaces[4] = {};
const char* kFontFiles[4] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf",
};

cairo_font_face_t* Face(Font f) {
  int i = static_cast<int>(f);
  if (!g_faces[i]) {
    if (!g_ft && FT_Init_FreeType(&g_ft)) throw std::runtime_error("FreeType init failed");
    if (FT_New_Face(g_ft, kFontFiles[i], 0, &g_ftFaces[i]))
      throw std::runtime_error(std::string("cannot open font ") + kFontFiles[i] +
                               " (install fonts-dejavu-core and fonts-dejavu-extra)");
    g_faces[i] = cairo_ft_font_face_create_for_ft_face(g_ftFaces[i], 0);
  }
  return g_faces[i];
}
}  // namespace

void SelectFont(cairo_t* cr, Font f, double size) {
  cairo_set_font_face(cr, Face(f));
  cairo_set_font_size(cr, size);
}

void ReleaseFonts() {
  for (int i = 0; i < 4; ++i) {
    if (g_faces[i]) cairo_font_face_destroy(g_faces[i]);
    g_faces[i] = nullptr;
  }
  // The FT faces stay with the library until the process ends: cairo may
  // still hold cached scaled fonts that point at them.
}

double TextWidth(cairo_t* cr, const TextStyle& st, const std::string& s) {
  SelectFont(cr, st.font, st.size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  return e.x_advance;
}

void DrawText(cairo_t* cr, const TextStyle& st, const std::string& s, double x, double y,
              int align) {
  double w = TextWidth(cr, st, s);
  double x0 = align == 0 ? x : align == 1 ? x - w / 2 : x - w;
  cairo_save(cr);
  SelectFont(cr, st.font, st.size);
  if (st.shadow > 0) {
    cairo_move_to(cr, x0 + st.shadow, y + st.shadow);
    cairo_text_path(cr, s.c_str());
    SetColor(cr, pal::kInk, 0.45);
    if (st.outline > 0) {
      cairo_set_line_width(cr, st.outline * 2);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      cairo_stroke_preserve(cr);
    }
    cairo_fill(cr);
  }
  cairo_move_to(cr, x0, y);
  cairo_text_path(cr, s.c_str());
  if (st.outline > 0) {
    SetColor(cr, st.outlineColor);
    cairo_set_line_width(cr, st.outline * 2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
  }
  SetColor(cr, st.fill);
  cairo_fill(cr);
  cairo_restore(cr);
}

void DrawFitText(cairo_t* cr, TextStyle st, const std::string& s, double x, double y,
                 double maxWidth) {
  while (st.size > 6 && TextWidth(cr, st, s) + 2 * st.outline > maxWidth) st.size -= 0.5;
  DrawText(cr, st, s, x, y, 1);
}

}  // namespace art
