// Drawing helpers of the artwork generator: a cairo canvas per picture, the
// house palette, DejaVu text, and the writer that flattens a canvas into a
// 24-bit BMP obeying the picture's colour-key rule.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

namespace art {

struct Rgb {
  double r, g, b;
};

constexpr Rgb Hex(unsigned v) {
  return {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0};
}
Rgb Mix(Rgb a, Rgb b, double t);
Rgb Lighter(Rgb c, double t);  // towards white
Rgb Darker(Rgb c, double t);   // towards black

// One palette for both programs, so every picture looks like the same family.
namespace pal {
inline constexpr Rgb kInk = Hex(0x2b2340);        // outlines and dark text (never black)
inline constexpr Rgb kSkyTop = Hex(0x3d5bbf);     // page backdrop gradient
inline constexpr Rgb kSkyBottom = Hex(0x7a4bb0);
inline constexpr Rgb kShelf = Hex(0x3a2f7a);      // plate behind every button and tile
inline constexpr Rgb kPanel = Hex(0xfff1cf);      // cream panels
inline constexpr Rgb kPanelEdge = Hex(0xe8b85c);
inline constexpr Rgb kBoard = Hex(0xd9e1f2);      // the heads' well; heads are anti-aliased against it
inline constexpr Rgb kDotWell = Hex(0x2f3f7f);    // timer-dot well
inline constexpr Rgb kHudBox = Hex(0x3a2f7a);     // number boxes of the HUD (score font cells)
inline constexpr Rgb kField = Hex(0xfffaf0);      // light field colour of every name box
inline constexpr Rgb kRow = Hex(0xfdf0d5);        // hall-of-fame rows
inline constexpr Rgb kOrange = Hex(0xff9f1c);     // button faces
inline constexpr Rgb kOrangeLight = Hex(0xffd166);
inline constexpr Rgb kTeal = Hex(0x2ec4b6);
inline constexpr Rgb kWhite = Hex(0xfffdf7);
inline constexpr Rgb kPurple = Hex(0x7b2cbf);
inline constexpr Rgb kHighlight = Hex(0xc2410c);
// Head colours: five of the Okabe-Ito colours, which stay apart for every
// common kind of colour blindness.
inline constexpr Rgb kHead[5] = {Hex(0xe69f00), Hex(0x56b4e9), Hex(0x009e73), Hex(0xf0e442),
                                 Hex(0xcc79a7)};
// The colour-blind set the player may choose instead. Under a full
// deuteranopia, protanopia or tritanopia simulation the usual set above lets
// orange meet yellow and pink meet blue or orange; these five were searched
// for so that every two stay at least 26 CIEDE2000 apart under each of the
// three and under normal vision (tests/art/palette_distance_test.cpp), by
// lightness as much as by hue: red, lavender, teal, yellow, violet, each in
// the place of the usual colour it resembles.
inline constexpr Rgb kHeadColourBlind[5] = {Hex(0xe8140a), Hex(0xc4c2ff), Hex(0x1e9582),
                                            Hex(0xf9e030), Hex(0x8a3cff)};
}  // namespace pal

enum class Font { Sans, Bold, CondBold, SerifBold };

class Canvas {
 public:
  Canvas(int w, int h);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  int w() const { return w_; }
  int h() const { return h_; }
  cairo_t* cr() const { return cr_; }
  cairo_surface_t* surface() const { return surf_; }
  // Premultiplied ARGB32 pixel at (x, y), after a flush.
  uint32_t Pixel(int x, int y) const;

 private:
  int w_, h_;
  cairo_surface_t* surf_;
  cairo_t* cr_;
};

// Colour-key rules of the files (in the programs' 16-bit conversion).
enum class Key {
  Blue,       // pure blue is transparent; faint pixels become blue
  Black,      // black is transparent; faint pixels become black
  BlackFree,  // fully opaque, and nothing may turn black
  Opaque,     // fully opaque, nothing may turn pure blue
};

// Flattens the canvas: every pixel of at least kSolidAlpha is composed over
// `matte` (the colour the picture is seen on), the rest becomes the key.
// Pixels that would decay into the key at 16 bits are nudged off it.
void WriteBmp(const Canvas& c, const std::string& path, Key key, Rgb matte);
// Same, with a per-pixel matte picture (same size).
void WriteBmp(const Canvas& c, const std::string& path, Key key, const Canvas& matte);
// Flattened pixels as 0xRRGGBB, as written (used by the contact sheet).
std::vector<uint32_t> Flatten(const Canvas& c, Key key, const Canvas* matteImg, Rgb matte);

// Makes the faces of a strip (faceW wide, side by side) cover the same
// pixels: where one face is faint but another is solid, the faint one gets
// the matte colour. A button drawn over its other face then leaves nothing
// of it behind.
void UniteFaceMasks(Canvas& c, int faceW, int faces, Rgb matte);

// Registers a written picture for the contact sheet.
void AddToPreview(const std::string& label, int w, int h, std::vector<uint32_t> pixels);
void WritePreview(const std::string& path);

// The flattened pixels of a picture already written, by its sheet label.
const std::vector<uint32_t>& WrittenPixels(const std::string& label, int* w, int* h);

// A mock screen for the contact sheet, composed from pictures already
// written, with their keys, the way the programs will blit them.
class Mock {
 public:
  Mock(std::string label, const std::string& background);
  // Copies the cell (sx, sy, w, h) of a written picture to (dx, dy);
  // `key` is 0x0000ff or 0x000000 for keyed blits, -1 for opaque.
  void Blit(const std::string& picture, int sx, int sy, int w, int h, int dx, int dy, long key);
  void Done();

 private:
  std::string label_;
  std::vector<uint32_t> px_;
};

// --- drawing ---------------------------------------------------------------
void SetColor(cairo_t* cr, Rgb c, double a = 1.0);
void RoundRect(cairo_t* cr, double x, double y, double w, double h, double r);
void VGradient(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom);
// Fill the current path with a vertical gradient, keeping the path.
void FillGradPreserve(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom);
void Star(cairo_t* cr, double cx, double cy, double r1, double r2, int points, double rot);

struct TextStyle {
  Font font = Font::Bold;
  double size = 16;
  Rgb fill = pal::kWhite;
  double outline = 0;  // outline width in pixels, 0 = none
  Rgb outlineColor = pal::kInk;
  double shadow = 0;  // drop-shadow offset
};
double TextWidth(cairo_t* cr, const TextStyle& st, const std::string& s);
// Draws s with its baseline at y; align 0 left, 1 centre, 2 right at x.
void DrawText(cairo_t* cr, const TextStyle& st, const std::string& s, double x, double y,
              int align = 1);
// Shrinks st.size until s fits in maxWidth, then draws centred at x.
void DrawFitText(cairo_t* cr, TextStyle st, const std::string& s, double x, double y,
                 double maxWidth);
void SelectFont(cairo_t* cr, Font f, double size);
void ReleaseFonts();

}  // namespace art
