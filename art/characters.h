// The game's characters: the 25 heads (5 colours x 5 face shapes) and the
// guys who push the rows.
#pragma once

#include <cairo.h>

#include "art/canvas.h"

namespace art {

constexpr int kCellW = 41, kCellH = 55;

// Draws head (colour, face) in the 41 x 55 cell whose top-left is (x, y).
// scale < 1 draws it smaller about the cell's centre; heads holds the five
// colours (the usual set or the colour-blind one).
void DrawHead(cairo_t* cr, double x, double y, int colour, int face, double scale = 1.0,
              const Rgb* heads = pal::kHead);

// Crumble frame 0..6 of head (colour, face) in the cell at (x, y).
void DrawCrumble(cairo_t* cr, double x, double y, int colour, int face, int frame,
                 const Rgb* heads = pal::kHead);

// Guy pose 0..13 (see the sheet's layout) in the cell at (x, y); mirrored
// draws the right-hand guys, who face the other way.
void DrawGuy(cairo_t* cr, double x, double y, int pose, bool mirrored);

}  // namespace art
