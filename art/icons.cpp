// The desktop icon of the launcher: three of the game's heads on the blue
// tile of the game's button in the launcher, as PNGs at the sizes desktops
// ask for and as SVG for every other size; and the web app's icons, one of
// them "maskable" (a phone crops it to its own shape, so it fills the square
// and keeps the heads inside the middle circle every shape keeps).
#include <cairo-svg.h>
#include <cairo.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "art/canvas.h"
#include "art/characters.h"
#include "art/generator.h"

namespace art {
namespace {

constexpr double kDesign = 128;  // the icon is drawn on a 128-unit square

void DrawIcon(cairo_t* cr, double size) {
  cairo_scale(cr, size / kDesign, size / kDesign);
  // The same tile, colours and outline as the game's button in the launcher.
  RoundRect(cr, 6, 6, 116, 116, 24);
  FillGradPreserve(cr, 6, 122, Hex(0x9fd8ff), Hex(0x4b6fd6));
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);
  // Two heads behind, one in front: each head's cell is 41 x 55.
  struct Placed {
    double x, y, scale;
    int colour, face;
  };
  const Placed heads[] = {{14, 10, 1.05, 1, 3}, {73, 10, 1.05, 4, 1}, {38, 50, 1.5, 0, 0}};
  for (const Placed& h : heads) DrawHead(cr, h.x, h.y, h.colour, h.face, h.scale);
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

void Check(cairo_status_t status, const std::string& what) {
  if (status != CAIRO_STATUS_SUCCESS) throw std::runtime_error(what + ": " + cairo_status_to_string(status));
}

// The maskable icon: the tile's gradient to every edge, the icon shrunk to
// the middle 80 % (the circle a launcher's mask never cuts into).
void DrawMaskable(cairo_t* cr, double size) {
  cairo_rectangle(cr, 0, 0, size, size);
  FillGradPreserve(cr, 0, size, Hex(0x9fd8ff), Hex(0x4b6fd6));
  cairo_new_path(cr);
  cairo_translate(cr, size * 0.1, size * 0.1);
  DrawIcon(cr, size * 0.8);
}

std::string PngOf(int size, const std::string& what, void (*draw)(cairo_t*, double) = DrawIcon) {
  Canvas c(size, size);
  draw(c.cr(), size);
  cairo_surface_flush(c.surface());
  std::string png;
  Check(cairo_surface_write_to_png_stream(c.surface(), Append, &png), what);
  return png;
}

void WritePng(const std::string& path, int size, void (*draw)(cairo_t*, double) = DrawIcon) {
  WriteFile(path, PngOf(size, path, draw));
}

void PutLittleEndian(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Windows' icon file (the programs' and the installer's): the sizes the
// desktop, the Start menu and the task bar ask for, each a PNG, which
// Windows has read in icon files since Vista.
void WriteIco(const std::string& path) {
  const int sizes[] = {16, 24, 32, 48, 64, 256};
  const uint32_t count = sizeof sizes / sizeof sizes[0];
  std::string header, images;
  PutLittleEndian(&header, 0, 2);  // reserved
  PutLittleEndian(&header, 1, 2);  // an icon, not a cursor
  PutLittleEndian(&header, count, 2);
  uint32_t offset = 6 + 16 * count;
  for (const int size : sizes) {
    const std::string png = PngOf(size, path);
    header.push_back(static_cast<char>(size == 256 ? 0 : size));  // 0 means 256
    header.push_back(static_cast<char>(size == 256 ? 0 : size));
    PutLittleEndian(&header, 0, 2);   // no palette, reserved
    PutLittleEndian(&header, 1, 2);   // planes
    PutLittleEndian(&header, 32, 2);  // bits per pixel
    PutLittleEndian(&header, static_cast<uint32_t>(png.size()), 4);
    PutLittleEndian(&header, offset, 4);
    offset += static_cast<uint32_t>(png.size());
    images += png;
  }
  WriteFile(path, header + images);
}

void WriteSvg(const std::string& path) {
  std::string svg;
  cairo_surface_t* surface = cairo_svg_surface_create_for_stream(Append, &svg, kDesign, kDesign);
  cairo_t* cr = cairo_create(surface);
  DrawIcon(cr, kDesign);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  Check(status, path);
  WriteFile(path, svg);
}

}  // namespace

void MakeIcons(const std::string& dir) {
  MakeDirs(dir);
  for (int size : {48, 64, 128, 256}) WritePng(dir + "/lobbo-" + std::to_string(size) + ".png", size);
  WriteSvg(dir + "/lobbo.svg");
  for (int size : {192, 512}) WritePng(dir + "/web-" + std::to_string(size) + ".png", size);
  WritePng(dir + "/web-maskable-512.png", 512, DrawMaskable);
  WriteIco(dir + "/lobbo.ico");
}

}  // namespace art
