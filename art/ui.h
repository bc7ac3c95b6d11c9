// Shared pieces of both programs' pictures: the page backdrop, the plates
// that buttons sit on, button faces, panels, and bitmap fonts.
#pragma once

#include <string>
#include <vector>

#include "art/canvas.h"

namespace art {

// The sky gradient with soft bubbles and sparkles behind every page.
void Backdrop(cairo_t* cr, int w, int h, unsigned seed);
Rgb BackdropAt(double y, int h);  // the gradient's colour at height y

// A flat plate in the shelf colour under a button or tile of w x h at (x, y);
// the button's anti-aliased edges are made against this colour.
void Plate(cairo_t* cr, double x, double y, double w, double h, double margin = 5);

enum class Face { Normal, Over, Pressed };
struct ButtonLook {
  Rgb top = pal::kOrangeLight;
  Rgb bottom = pal::kOrange;
  double radius = 12;
  double fontSize = 20;
  Font font = Font::Bold;
};
// One face of a labelled button filling the w x h cell at (x, y). A label
// may hold a '\n' for two lines.
void ButtonFace(cairo_t* cr, double x, double y, double w, double h, const std::string& label,
                Face face, const ButtonLook& look = {});
ButtonLook GreenLook();
ButtonLook CoralLook();
ButtonLook BlueLook();

// Writes a strip of faces (normal, over[, pressed]) of one button.
void WriteButtonStrip(const std::string& path, int faceW, int faceH, int faces,
                      const std::string& label, const ButtonLook& look = {});

// A cream panel filling a picture, with a title banner; its outside corners
// are left transparent.
void Panel(cairo_t* cr, double x, double y, double w, double h, const std::string& title);

// A light box in the field colour (name fields, form fields, hall rows).
void FieldBox(cairo_t* cr, double x, double y, double w, double h, Rgb fill = pal::kField);

// The characters of a launcher font's strip in order: '!'..'~', then the
// extra letters and signs names need (Latin-1, Latin Extended-A and a few
// more). The placeholder box follows them in the strip.
std::vector<char32_t> BitmapFontCharacters();

// Writes a proportional bitmap font of BitmapFontCharacters() and the
// placeholder box, each followed by an all-blue column, inked for the
// `matte` colour it is drawn on.
void WriteBitmapFont(const std::string& path, Font font, double size, int height,
                     double baseline, Rgb ink, Rgb matte);

// A points or multiplier pop-up's text in the 40 x 17 tile at (x, y): it
// rises over the board, so it is inked for it.
void PopText(cairo_t* cr, const std::string& s, double x, double y, Rgb fill);

// A golden cup, its rim centred at (cx, top), s = scale.
void Trophy(cairo_t* cr, double cx, double top, double s);

}  // namespace art
