// The small pixel font the graphics library prints with (the frame-rate
// readout): printable ASCII in 5 x 7 glyphs on a 6 x 8 cell.
#pragma once

#include <cstdint>

#include "platform/media/blit.h"

constexpr int kPixelFontCellWidth = 6;
constexpr int kPixelFontCellHeight = 8;

// Draws text on a 16-bit view with its top-left corner at (x, y), one cell per
// character, each cell opaque (paper behind the ink) so the text reads on any
// picture. Characters outside 32..126 draw as '?'. Clipped to the view.
// Returns the width of the text in pixels, whether or not clipping hid part of it.
int DrawPixelText(blit::View dst, int x, int y, const char* text, uint16_t ink, uint16_t paper);
