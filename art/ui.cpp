#include "art/ui.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace art {

namespace {
// A small fixed generator: the scatter of bubbles is part of the design and
// must come out the same on every run.
struct Lcg {
  uint32_t s;
  double Next() {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) / 16777216.0;
  }
};
}  // namespace

Rgb BackdropAt(double y, int h) { return Mix(pal::kSkyTop, pal::kSkyBottom, y / h); }

void Backdrop(cairo_t* cr, int w, int h, unsigned seed) {
  VGradient(cr, 0, h, pal::kSkyTop, pal::kSkyBottom);
  Lcg rng{seed};
  for (int i = 0; i < w * h / 9000; ++i) {
    double x = rng.Next() * w, y = rng.Next() * h, r = 8 + rng.Next() * 38;
    cairo_arc(cr, x, y, r, 0, 2 * M_PI);
    SetColor(cr, pal::kWhite, 0.04 + rng.Next() * 0.05);
    cairo_fill(cr);
  }
  for (int i = 0; i < w * h / 14000; ++i) {
    double x = rng.Next() * w, y = rng.Next() * h, r = 1.5 + rng.Next() * 2.5;
    Star(cr, x, y, r * 1.8, r * 0.6, 4, rng.Next());
    SetColor(cr, pal::kOrangeLight, 0.35 + rng.Next() * 0.3);
    cairo_fill(cr);
  }
}

void Plate(cairo_t* cr, double x, double y, double w, double h, double margin) {
  RoundRect(cr, x - margin, y - margin, w + 2 * margin, h + 2 * margin, 9 + margin);
  SetColor(cr, Lighter(pal::kShelf, 0.35));
  cairo_fill(cr);
  RoundRect(cr, x - margin + 2, y - margin + 2, w + 2 * margin - 4, h + 2 * margin - 4, 7 + margin);
  SetColor(cr, pal::kShelf);
  cairo_fill(cr);
}

ButtonLook GreenLook() {
  ButtonLook l;
  l.top = Hex(0x8ee6a0);
  l.bottom = Hex(0x23a55a);
  return l;
}
ButtonLook CoralLook() {
  ButtonLook l;
  l.top = Hex(0xffa69e);
  l.bottom = Hex(0xe5484d);
  return l;
}
ButtonLook BlueLook() {
  ButtonLook l;
  l.top = Hex(0x9fd8ff);
  l.bottom = Hex(0x3d7fd9);
  return l;
}

void ButtonFace(cairo_t* cr, double x, double y, double w, double h, const std::string& label,
                Face face, const ButtonLook& look) {
  cairo_save(cr);
  double inset = 1.5, dy = face == Face::Pressed ? 2 : 0;
  Rgb top = look.top, bottom = look.bottom;
  if (face == Face::Over) {
    top = Lighter(top, 0.45);
    bottom = Lighter(bottom, 0.25);
  } else if (face == Face::Pressed) {
    top = Darker(look.bottom, 0.08);
    bottom = Darker(look.top, 0.12);
  }
  // shadow under the button, gone when it is pressed down
  if (face != Face::Pressed) {
    RoundRect(cr, x + inset, y + inset + 2.5, w - 2 * inset, h - 2 * inset - 2.5, look.radius);
    SetColor(cr, pal::kInk, 0.55);
    cairo_fill(cr);
  }
  RoundRect(cr, x + inset, y + inset + dy, w - 2 * inset, h - 2 * inset - 2.5, look.radius);
  FillGradPreserve(cr, y + dy, y + h - 2.5 + dy, top, bottom);
  SetColor(cr, face == Face::Over ? pal::kWhite : pal::kInk);
  cairo_set_line_width(cr, face == Face::Over ? 2.6 : 2);
  cairo_stroke(cr);
  if (face == Face::Over) {  // the lit face glows with a white rim
    RoundRect(cr, x + inset + 2.5, y + inset + 2.5, w - 2 * inset - 5, h - 2 * inset - 7.5,
              look.radius - 2);
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
  }
  // gloss
  RoundRect(cr, x + inset + 5, y + inset + 3 + dy, w - 2 * inset - 10, (h - 8) * 0.36,
            look.radius * 0.6);
  SetColor(cr, pal::kWhite, face == Face::Pressed ? 0.12 : 0.3);
  cairo_fill(cr);

  TextStyle st;
  st.font = look.font;
  st.size = look.fontSize;
  st.fill = face == Face::Over ? Hex(0xfffbe6) : pal::kWhite;
  st.outline = 2;
  std::vector<std::string> lines;
  size_t p = 0, q;
  while ((q = label.find('\n', p)) != std::string::npos) {
    lines.push_back(label.substr(p, q - p));
    p = q + 1;
  }
  lines.push_back(label.substr(p));
  // One size for all lines, the largest that fits the face.
  double maxW = w - 16;
  double lineH;
  for (;;) {
    double widest = 0;
    for (auto& l : lines) widest = std::max(widest, TextWidth(cr, st, l));
    lineH = st.size * 1.05;
    if ((widest + 2 * st.outline <= maxW && lineH * lines.size() <= h - 10) || st.size <= 7) break;
    st.size -= 0.5;
  }
  double cy = y + (h - 2.5) / 2 + dy;
  double first = cy - lineH * (lines.size() - 1) / 2 + st.size * 0.36;
  for (size_t i = 0; i < lines.size(); ++i)
    DrawText(cr, st, lines[i], x + w / 2, first + i * lineH, 1);
  cairo_restore(cr);
}

void WriteButtonStrip(const std::string& path, int faceW, int faceH, int faces,
                      const std::string& label, const ButtonLook& look) {
  Canvas c(faceW * faces, faceH);
  for (int i = 0; i < faces; ++i)
    ButtonFace(c.cr(), i * faceW, 0, faceW, faceH, label,
               i == 0 ? Face::Normal : i == 1 ? Face::Over : Face::Pressed, look);
  UniteFaceMasks(c, faceW, faces, pal::kShelf);
  WriteBmp(c, path, Key::Blue, pal::kShelf);
}

void Panel(cairo_t* cr, double x, double y, double w, double h, const std::string& title) {
  RoundRect(cr, x + 1, y + 1, w - 2, h - 2, 22);
  SetColor(cr, pal::kInk);
  cairo_fill(cr);
  RoundRect(cr, x + 4, y + 4, w - 8, h - 8, 19);
  FillGradPreserve(cr, y, y + h, Lighter(pal::kPanel, 0.4), pal::kPanel);
  cairo_new_path(cr);
  RoundRect(cr, x + 9, y + 9, w - 18, h - 18, 15);
  SetColor(cr, pal::kPanelEdge);
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  if (!title.empty()) {
    double bw = std::min(w - 80, 420.0), bh = 54, bx = x + (w - bw) / 2, by = y + 20;
    RoundRect(cr, bx, by, bw, bh, 26);
    FillGradPreserve(cr, by, by + bh, pal::kOrangeLight, pal::kOrange);
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
    TextStyle st;
    st.size = 32;
    st.outline = 2.5;
    st.shadow = 2;
    DrawFitText(cr, st, title, x + w / 2, by + 39, bw - 30);
  }
}

void FieldBox(cairo_t* cr, double x, double y, double w, double h, Rgb fill) {
  RoundRect(cr, x - 4, y - 3, w + 8, h + 6, 7);
  SetColor(cr, pal::kInk);
  cairo_fill(cr);
  RoundRect(cr, x - 2, y - 1, w + 4, h + 2, 5);
  SetColor(cr, fill);
  cairo_fill(cr);
}

namespace {

// The letters and signs after "!".."~", in the strip's order. The launcher's
// font reads the same table (kFontExtraRanges); a test holds the two alike.
constexpr std::pair<char32_t, char32_t> kFontExtraRanges[] = {
    {0x00A1, 0x017F},  // Latin-1 letters and signs, Latin Extended-A
    {0x0218, 0x021B},  // Romanian S and T with comma below
    {0x02BB, 0x02BC},  // the okina and the modifier apostrophe
    {0x2013, 0x2014},  // en and em dash
    {0x2018, 0x2019},  // typographic single quotes
    {0x201C, 0x201D},  // typographic double quotes
    {0x2026, 0x2026},  // ellipsis
    {0x20AC, 0x20AC},  // euro sign
};

std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

// The box drawn for characters a font has no glyph for: a letter's width
// and a capital's height, so a missing letter keeps its place in a name.
void PlaceholderBox(cairo_t* cr, double size, double baseline, Rgb ink) {
  const double w = std::round(size * 0.5), h = std::round(size * 0.72), line = std::round(size / 8);
  const double top = std::round(baseline) - h;
  cairo_rectangle(cr, 4, top, w, h);
  cairo_rectangle(cr, 4 + w - line, top + line, -(w - 2 * line), h - 2 * line);  // the hole, wound the other way
  SetColor(cr, ink);
  cairo_fill(cr);
}

}  // namespace

std::vector<char32_t> BitmapFontCharacters() {
  std::vector<char32_t> all;
  for (char32_t c = 33; c <= 126; ++c) all.push_back(c);
  for (auto [first, last] : kFontExtraRanges)
    for (char32_t c = first; c <= last; ++c) all.push_back(c);
  return all;
}

void WriteBitmapFont(const std::string& path, Font font, double size, int height,
                     double baseline, Rgb ink, Rgb matte) {
  // First measure every glyph's inked columns on a scratch canvas, then lay
  // them out left to right with one all-blue column between them.
  struct Glyph {
    std::unique_ptr<Canvas> c;
    int x0, x1;
  };
  std::vector<Glyph> glyphs;
  int total = 1;
  const std::vector<char32_t> characters = BitmapFontCharacters();
  for (size_t i = 0; i <= characters.size(); ++i) {
    Glyph g;
    g.c = std::make_unique<Canvas>(static_cast<int>(size * 2) + 8, height);
    if (i < characters.size()) {
      TextStyle st;
      st.font = font;
      st.size = size;
      st.fill = ink;
      DrawText(g.c->cr(), st, Utf8(characters[i]), 4, baseline, 0);
    } else {
      PlaceholderBox(g.c->cr(), size, baseline, ink);  // last, after every character
    }
    cairo_surface_flush(g.c->surface());
    g.x0 = -1;
    g.x1 = -1;
    for (int x = 0; x < g.c->w(); ++x) {
      bool inked = false;
      for (int y = 0; y < height; ++y) inked |= (g.c->Pixel(x, y) >> 24) >= 24;
      if (inked) {
        if (g.x0 < 0) g.x0 = x;
        g.x1 = x + 1;
      }
    }
    // A glyph with no ink would shift every later one onto the wrong character.
    if (g.x0 < 0) throw std::runtime_error(path + ": no ink for glyph " + std::to_string(i));
    // One column of right-side bearing keeps letters apart on screen.
    total += (g.x1 - g.x0) + 1 + 1;
    glyphs.push_back(std::move(g));
  }
  Canvas out(total, height);
  std::vector<std::pair<int, int>> spans;  // columns [a, b) of each glyph in `out`
  int x = 1;
  for (auto& g : glyphs) {
    int w = g.x1 - g.x0 + 1;
    cairo_set_source_surface(out.cr(), g.c->surface(), x - g.x0, 0);
    cairo_rectangle(out.cr(), x, 0, w - 1, height);
    cairo_fill(out.cr());
    spans.push_back({x, x + w});
    x += w + 1;
  }
  // Columns inside a glyph with no ink (the gap in '"', the bearing column)
  // get one pixel in the matte colour at the baseline: invisible where the
  // font is drawn, but it keeps the glyph in one piece for the scanner.
  cairo_surface_flush(out.surface());
  int by = std::clamp(static_cast<int>(baseline) - 1, 1, height - 2);
  for (auto [a, b] : spans) {
    for (int col = a; col < b; ++col) {
      bool inked = false;
      for (int y = 0; y < height; ++y) inked |= (out.Pixel(col, y) >> 24) >= 24;
      if (!inked) {
        cairo_rectangle(out.cr(), col, by, 1, 1);
        SetColor(out.cr(), matte);
        cairo_fill(out.cr());
      }
    }
  }
  WriteBmp(out, path, Key::Blue, matte);
}

void Trophy(cairo_t* cr, double cx, double top, double s) {
  cairo_save(cr);
  cairo_translate(cr, cx, top);
  cairo_scale(cr, s, s);
  cairo_move_to(cr, -16, 0);
  cairo_line_to(cr, 16, 0);
  cairo_curve_to(cr, 16, 20, 8, 28, 0, 28);
  cairo_curve_to(cr, -8, 28, -16, 20, -16, 0);
  cairo_close_path(cr);
  cairo_rectangle(cr, -3, 27, 6, 8);
  RoundRect(cr, -11, 34, 22, 6, 2);
  SetColor(cr, Hex(0xffc83d));
  cairo_fill_preserve(cr);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  for (int sd = -1; sd <= 1; sd += 2) {
    cairo_arc(cr, sd * 18, 9, 6, 0, 2 * M_PI);
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
  }
  Star(cr, 0, 12, 7, 3, 5, 0);
  SetColor(cr, pal::kWhite);
  cairo_fill(cr);
  cairo_restore(cr);
}

void PopText(cairo_t* cr, const std::string& s, double x, double y, Rgb fill) {
  TextStyle st;
  st.font = Font::CondBold;
  st.size = 14;
  st.fill = fill;
  st.outline = 1.6;
  DrawFitText(cr, st, s, x + 20, y + 13.5, 39);
}

}  // namespace art
