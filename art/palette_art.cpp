// The pictures whose colours follow the heads' colours, drawn once with the
// usual set and once with the colour-blind set into files of the same sizes
// and layout (the colour-blind ones named with "cb" before ".bmp"), so the
// game only swaps the file to change the palette.
#include <cmath>
#include <string>

#include "art/canvas.h"
#include "art/characters.h"
#include "art/generator.h"
#include "art/ui.h"

namespace art {

namespace {

struct HeadSet {
  const Rgb* colours;
  const char* suffix;  // before ".bmp"
};

constexpr HeadSet kHeadSets[] = {{pal::kHead, ""}, {pal::kHeadColourBlind, "cb"}};

std::string Named(const std::string& dir, const char* stem, const HeadSet& set) {
  return dir + "/" + stem + set.suffix + ".bmp";
}

// Each tile of a sheet is drawn clipped to itself: the game shows a tile
// beside any other, so nothing of one may show in its neighbour.
void ClipToCell(cairo_t* cr, int column, int row) {
  cairo_reset_clip(cr);
  cairo_rectangle(cr, column * kCellW, row * kCellH, kCellW, kCellH);
  cairo_clip(cr);
}

void HeadsSheet(const std::string& dir, const HeadSet& set) {
  Canvas c(205, 275);
  for (int colour = 0; colour < 5; ++colour)
    for (int face = 0; face < 5; ++face) {
      ClipToCell(c.cr(), face, colour);
      DrawHead(c.cr(), face * kCellW, colour * kCellH, colour, face, 1.0, set.colours);
    }
  WriteBmp(c, Named(dir, "quibbleton", set), Key::Blue, pal::kBoard);
}

void CrumbleSheet(const std::string& dir, const HeadSet& set) {
  Canvas c(287, 1375);
  for (int t = 0; t < 25; ++t)
    for (int f = 0; f < 7; ++f) {
      ClipToCell(c.cr(), f, t);
      DrawCrumble(c.cr(), f * kCellW, t * kCellH, t / 5, t % 5, f, set.colours);
    }
  WriteBmp(c, Named(dir, "crumbleanim", set), Key::Blue, pal::kBoard);
}

// One column of points per head colour.
void ScoringSheet(const std::string& dir, const HeadSet& set) {
  Canvas c(200, 510);
  for (int r = 0; r < 30; ++r)
    for (int col = 0; col < 5; ++col)
      PopText(c.cr(), std::to_string((30 - r) * 100), col * 40, r * 17, set.colours[col]);
  WriteBmp(c, Named(dir, "scoring", set), Key::Blue, pal::kBoard);
}

void TimerDots(const std::string& dir, const HeadSet& set) {
  Canvas c(45, 9);
  for (int i = 0; i < 5; ++i) {
    cairo_arc(c.cr(), i * 9 + 4.5, 4.5, 3.7, 0, 2 * M_PI);
    SetColor(c.cr(), Lighter(set.colours[i], 0.1));
    cairo_fill_preserve(c.cr());
    SetColor(c.cr(), Lighter(set.colours[i], 0.6));
    cairo_set_line_width(c.cr(), 1);
    cairo_stroke(c.cr());
  }
  WriteBmp(c, Named(dir, "timerdots", set), Key::Blue, pal::kDotWell);
}

}  // namespace

void MakeHeadSheets(const std::string& gameDir) {
  for (const HeadSet& set : kHeadSets) {
    HeadsSheet(gameDir, set);
    CrumbleSheet(gameDir, set);
    ScoringSheet(gameDir, set);
    TimerDots(gameDir, set);
  }
}

}  // namespace art
