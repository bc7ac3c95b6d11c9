#include "art/characters.h"

#include <cmath>
#include <memory>

#include "art/canvas.h"

namespace art {

namespace {

constexpr double kCx = kCellW / 2.0;
constexpr double kCy = 30.0;

// The silhouette of each face: the face can be told by shape alone, so the
// face rule of the game works without colour vision.
void HeadPath(cairo_t* cr, int face) {
  switch (face) {
    case 0:  // round
      cairo_new_sub_path(cr);
      cairo_arc(cr, kCx, kCy, 17.5, 0, 2 * M_PI);
      break;
    case 1:  // boxy
      RoundRect(cr, kCx - 17, kCy - 17, 34, 35, 6);
      break;
    case 2: {  // onion with a pointed top
      cairo_move_to(cr, kCx, kCy - 24);
      cairo_curve_to(cr, kCx + 6, kCy - 14, kCx + 19, kCy - 8, kCx + 18, kCy + 5);
      cairo_curve_to(cr, kCx + 17, kCy + 17, kCx + 7, kCy + 19, kCx, kCy + 19);
      cairo_curve_to(cr, kCx - 7, kCy + 19, kCx - 17, kCy + 17, kCx - 18, kCy + 5);
      cairo_curve_to(cr, kCx - 19, kCy - 8, kCx - 6, kCy - 14, kCx, kCy - 24);
      cairo_close_path(cr);
      break;
    }
    case 3:  // with ears (drawn separately, behind); narrower, so the ears fit the cell
      cairo_new_sub_path(cr);
      cairo_save(cr);
      cairo_translate(cr, kCx, kCy + 1);
      cairo_scale(cr, 15, 15);
      cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
      cairo_restore(cr);
      break;
    default: {  // crowned with spikes
      cairo_move_to(cr, kCx - 16, kCy - 6);
      cairo_line_to(cr, kCx - 17, kCy - 22);
      cairo_line_to(cr, kCx - 9, kCy - 14);
      cairo_line_to(cr, kCx - 3, kCy - 25);
      cairo_line_to(cr, kCx + 3, kCy - 14);
      cairo_line_to(cr, kCx + 11, kCy - 24);
      cairo_line_to(cr, kCx + 14, kCy - 13);
      cairo_line_to(cr, kCx + 17, kCy - 18);
      cairo_line_to(cr, kCx + 17, kCy + 8);
      cairo_curve_to(cr, kCx + 17, kCy + 17, kCx + 10, kCy + 19, kCx, kCy + 19);
      cairo_curve_to(cr, kCx - 10, kCy + 19, kCx - 17, kCy + 17, kCx - 16, kCy + 8);
      cairo_close_path(cr);
      break;
    }
  }
}

void Eye(cairo_t* cr, double x, double y, double r, double px, double py) {
  cairo_new_path(cr);
  cairo_arc(cr, x, y, r, 0, 2 * M_PI);
  SetColor(cr, pal::kWhite);
  cairo_fill_preserve(cr);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  cairo_arc(cr, x + px, y + py, r * 0.5, 0, 2 * M_PI);
  cairo_fill(cr);
}

void InkLine(cairo_t* cr, double w) {
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, w);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

void Features(cairo_t* cr, int face) {
  double ey = kCy - 3;
  switch (face) {
    case 0:  // happy: round eyes, wide smile
      Eye(cr, kCx - 6.5, ey, 4, 0.8, 0.5);
      Eye(cr, kCx + 6.5, ey, 4, 0.8, 0.5);
      cairo_arc(cr, kCx, kCy + 4, 8, 0.15 * M_PI, 0.85 * M_PI);
      InkLine(cr, 2.2);
      break;
    case 1:  // amazed: big eyes, round mouth
      Eye(cr, kCx - 7, ey - 1, 5, 0, -1);
      Eye(cr, kCx + 7, ey - 1, 5, 0, -1);
      cairo_new_path(cr);
      cairo_save(cr);
      cairo_translate(cr, kCx, kCy + 10);
      cairo_scale(cr, 3.6, 4.2);
      cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
      cairo_restore(cr);
      SetColor(cr, Hex(0x7a2335));
      cairo_fill_preserve(cr);
      InkLine(cr, 1.6);
      break;
    case 2:  // winking with a sly grin
      Eye(cr, kCx - 6.5, ey + 1, 4, 1, 0);
      cairo_move_to(cr, kCx + 3, ey + 1);
      cairo_curve_to(cr, kCx + 5, ey - 2, kCx + 9, ey - 2, kCx + 11, ey + 1);
      InkLine(cr, 2);
      cairo_move_to(cr, kCx - 6, kCy + 9);
      cairo_curve_to(cr, kCx - 2, kCy + 12, kCx + 5, kCy + 11, kCx + 8, kCy + 6);
      InkLine(cr, 2.2);
      break;
    case 3:  // grumpy: slanted brows, frown
      Eye(cr, kCx - 6.5, ey + 1, 3.5, 0, 0.8);
      Eye(cr, kCx + 6.5, ey + 1, 3.5, 0, 0.8);
      cairo_move_to(cr, kCx - 11, ey - 6);
      cairo_line_to(cr, kCx - 3, ey - 3);
      cairo_move_to(cr, kCx + 11, ey - 6);
      cairo_line_to(cr, kCx + 3, ey - 3);
      InkLine(cr, 2.2);
      cairo_arc(cr, kCx, kCy + 15, 6.5, 1.2 * M_PI, 1.8 * M_PI);
      InkLine(cr, 2.2);
      break;
    default:  // cheeky: squinting eyes, tongue out
      cairo_move_to(cr, kCx - 10, ey + 1);
      cairo_line_to(cr, kCx - 6, ey - 3);
      cairo_line_to(cr, kCx - 2, ey + 1);
      cairo_move_to(cr, kCx + 2, ey + 1);
      cairo_line_to(cr, kCx + 6, ey - 3);
      cairo_line_to(cr, kCx + 10, ey + 1);
      InkLine(cr, 2);
      cairo_move_to(cr, kCx - 7, kCy + 6);
      cairo_line_to(cr, kCx + 7, kCy + 6);
      InkLine(cr, 2);
      cairo_new_path(cr);
      cairo_move_to(cr, kCx - 4, kCy + 6.5);
      cairo_line_to(cr, kCx - 4, kCy + 10);
      cairo_arc_negative(cr, kCx, kCy + 10, 4, M_PI, 0);
      cairo_line_to(cr, kCx + 4, kCy + 6.5);
      cairo_close_path(cr);
      SetColor(cr, Hex(0xff6f91));
      cairo_fill_preserve(cr);
      InkLine(cr, 1.4);
      break;
  }
}

void HeadAt(cairo_t* cr, Rgb base, int face) {
  if (face == 3) {
    for (int s = -1; s <= 1; s += 2) {
      cairo_arc(cr, kCx + s * 15, kCy - 1, 4.3, 0, 2 * M_PI);
      SetColor(cr, Darker(base, 0.08));
      cairo_fill_preserve(cr);
      SetColor(cr, pal::kInk);
      cairo_set_line_width(cr, 2.2);
      cairo_stroke(cr);
      cairo_arc(cr, kCx + s * 15.4, kCy - 1, 1.9, 0, 2 * M_PI);
      SetColor(cr, Darker(base, 0.25));
      cairo_fill(cr);
    }
  }
  HeadPath(cr, face);
  cairo_pattern_t* p = cairo_pattern_create_radial(kCx - 6, kCy - 10, 2, kCx, kCy, 26);
  Rgb hi = Lighter(base, 0.45), lo = Darker(base, 0.18);
  cairo_pattern_add_color_stop_rgb(p, 0, hi.r, hi.g, hi.b);
  cairo_pattern_add_color_stop_rgb(p, 0.55, base.r, base.g, base.b);
  cairo_pattern_add_color_stop_rgb(p, 1, lo.r, lo.g, lo.b);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 2.2);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
  // Cheeks and a gloss spot make them friendlier at a glance.
  cairo_save(cr);
  cairo_translate(cr, kCx - 8, kCy - 12);
  cairo_scale(cr, 5, 3);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
  SetColor(cr, pal::kWhite, 0.55);
  cairo_fill(cr);
  for (int s = -1; s <= 1; s += 2) {
    cairo_arc(cr, kCx + s * 11, kCy + 5, 2.6, 0, 2 * M_PI);
    SetColor(cr, Hex(0xff5a5f), 0.35);
    cairo_fill(cr);
  }
  Features(cr, face);
}

}  // namespace

void DrawHead(cairo_t* cr, double x, double y, int colour, int face, double scale, const Rgb* heads) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  if (scale != 1.0) {
    cairo_translate(cr, kCx, kCy);
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, -kCx, -kCy);
  }
  HeadAt(cr, heads[colour], face);
  cairo_restore(cr);
}

// --- crumbling -----------------------------------------------------------------

namespace {

// Shards: wedges around the head's centre with jagged borders, always the
// same so the frames of one crumble follow each other.
constexpr int kShards = 6;
const double kShardAngle[kShards + 1] = {-1.75, -0.72, 0.18, 1.12, 2.05, 3.2, 4.53};

void ShardPath(cairo_t* cr, int i) {
  double a0 = kShardAngle[i], a1 = kShardAngle[i + 1];
  cairo_move_to(cr, kCx, kCy);
  // jagged first border
  for (int k = 1; k <= 4; ++k) {
    double r = k * 9.0, jig = (k % 2 ? 0.12 : -0.1);
    cairo_line_to(cr, kCx + r * std::cos(a0 + jig), kCy + r * std::sin(a0 + jig));
  }
  cairo_arc(cr, kCx, kCy, 36, a0, a1);
  for (int k = 4; k >= 1; --k) {
    double r = k * 9.0, jig = (k % 2 ? 0.12 : -0.1);
    cairo_line_to(cr, kCx + r * std::cos(a1 + jig), kCy + r * std::sin(a1 + jig));
  }
  cairo_close_path(cr);
}

void Cracks(cairo_t* cr, int face, double reach) {
  cairo_save(cr);
  HeadPath(cr, face);
  cairo_clip(cr);
  cairo_new_path(cr);
  for (int i = 0; i < kShards; ++i) {
    double a = kShardAngle[i];
    cairo_move_to(cr, kCx, kCy);
    for (int k = 1; k <= 4 && k * 9.0 <= reach + 1; ++k) {
      double r = k * 9.0 * std::min(1.0, reach / 36.0 * 1.6), jig = (k % 2 ? 0.12 : -0.1);
      cairo_line_to(cr, kCx + r * std::cos(a + jig), kCy + r * std::sin(a + jig));
    }
  }
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 1.5);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void Dust(cairo_t* cr, Rgb tint, double spread, double alpha, int count, double rise,
          double size = 1.0) {
  for (int i = 0; i < count; ++i) {
    double a = i * 2.399963;  // golden angle: an even, fixed scatter
    double r = spread * (0.35 + 0.65 * ((i * 37) % 11) / 10.0);
    double px = kCx + r * std::cos(a), py = kCy + 8 + r * 0.6 * std::sin(a) - rise;
    double pr = (2.2 + ((i * 13) % 5) * 0.8) * size;
    cairo_arc(cr, px, py, pr, 0, 2 * M_PI);
    SetColor(cr, Mix(tint, Hex(0xb8b0a8), 0.55), alpha);
    cairo_fill(cr);
  }
}

}  // namespace

void DrawCrumble(cairo_t* cr, double x, double y, int colour, int face, int frame,
                 const Rgb* heads) {
  const Rgb base = heads[colour];
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rectangle(cr, 0, 0, kCellW, kCellH);
  cairo_clip(cr);
  if (frame <= 1) {
    double shake = frame == 0 ? 0.0 : 1.0;
    cairo_translate(cr, shake, 0);
    HeadAt(cr, base, face);
    Cracks(cr, face, frame == 0 ? 14 : 30);
  } else if (frame <= 4) {
    // The head breaks into shards that fly apart and drop.
    Canvas head(kCellW, kCellH);
    HeadAt(head.cr(), base, face);
    Cracks(head.cr(), face, 36);
    double t = (frame - 1) / 3.0;  // 1/3, 2/3, 1
    for (int i = 0; i < kShards; ++i) {
      double mid = (kShardAngle[i] + kShardAngle[i + 1]) / 2;
      // Shards part a little and mostly drop, as a broken pot would.
      double dist = 1.5 + 6 * t;
      double dx = dist * std::cos(mid), dy = dist * 0.6 * std::sin(mid) + 16 * t * t;
      double rot = (i % 2 ? 1 : -1) * 0.3 * t;
      double scx = kCx + 10 * std::cos(mid), scy = kCy + 10 * std::sin(mid);
      cairo_save(cr);
      cairo_translate(cr, dx + scx, dy + scy);
      cairo_rotate(cr, rot);
      double s = 1.0 - 0.25 * t;
      cairo_scale(cr, s, s);
      cairo_translate(cr, -scx, -scy);
      ShardPath(cr, i);
      cairo_clip(cr);
      cairo_set_source_surface(cr, head.surface(), 0, 0);
      cairo_paint_with_alpha(cr, 1.0 - 0.25 * t);
      cairo_restore(cr);
    }
    if (frame == 4) Dust(cr, base, 12, 0.7, 8, 0);
  } else {
    // Dust settling: a puff, then a few specks.
    double fade = frame == 5 ? 0.85 : 0.45;
    Dust(cr, base, frame == 5 ? 15 : 20, fade, frame == 5 ? 14 : 8,
         frame == 5 ? 2 : 6, frame == 5 ? 1.0 : 0.5);
    if (frame == 5) {
      for (int i = 0; i < 5; ++i) {
        double a = 0.4 + i * 1.3;
        cairo_arc(cr, kCx + 14 * std::cos(a), kCy + 18 + 4 * std::sin(a), 1.8, 0, 2 * M_PI);
        SetColor(cr, Darker(base, 0.1));
        cairo_fill(cr);
      }
    }
  }
  cairo_restore(cr);
}

// --- guys ----------------------------------------------------------------------

namespace {

struct Pose {
  double bodyY = 0;          // vertical offset of the whole figure (jump)
  double lean = 0;           // forward lean of the upper body, radians
  double frontHand[2] = {24, 38};
  double backHand[2] = {17, 38};
  double frontFoot[2] = {24, 52};
  double backFoot[2] = {17, 52};
  int eyes = 0;   // 0 open, 1 closed, 2 looking up, 3 crosses, 4 wide
  int mouth = 0;  // 0 smile, 1 open, 2 flat, 3 wobbly
  bool faceBack = false;  // walks home: facing away from the board
  bool squashed = false;
  bool sweat = false;
};

const Rgb kSkin = Hex(0xf4c7a1);
const Rgb kCap = Hex(0xe63946);
const Rgb kOveralls = Hex(0x3d5bbf);
const Rgb kShirt = Hex(0xfff1cf);
const Rgb kBoot = Hex(0x6b3e26);

void Limb(cairo_t* cr, double x0, double y0, double x1, double y1, Rgb c, double w) {
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, w + 2.2);
  cairo_stroke_preserve(cr);
  SetColor(cr, c);
  cairo_set_line_width(cr, w);
  cairo_stroke(cr);
}

void Blob(cairo_t* cr, double x, double y, double r, Rgb c) {
  cairo_arc(cr, x, y, r, 0, 2 * M_PI);
  SetColor(cr, c);
  cairo_fill_preserve(cr);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 1.1);
  cairo_stroke(cr);
}

void Boot(cairo_t* cr, double x, double y) {
  RoundRect(cr, x - 3, y - 3, 7.5, 4.5, 2);
  SetColor(cr, kBoot);
  cairo_fill_preserve(cr);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 1.1);
  cairo_stroke(cr);
}

void GuyFigure(cairo_t* cr, const Pose& p) {
  if (p.squashed) {
    // Flattened under a head: a pancake with the cap beside it.
    cairo_save(cr);
    cairo_translate(cr, kCx, 49);
    cairo_scale(cr, 17, 5);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    SetColor(cr, kOveralls);
    cairo_fill_preserve(cr);
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 1.3);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, kCx - 2, 45);
    cairo_scale(cr, 9, 3.5);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
    SetColor(cr, kSkin);
    cairo_fill_preserve(cr);
    SetColor(cr, pal::kInk);
    cairo_stroke(cr);
    for (int s = -1; s <= 1; s += 2) {  // x eyes
      double ex = kCx - 2 + s * 4;
      cairo_move_to(cr, ex - 1.5, 43.5);
      cairo_line_to(cr, ex + 1.5, 46.5);
      cairo_move_to(cr, ex + 1.5, 43.5);
      cairo_line_to(cr, ex - 1.5, 46.5);
    }
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    cairo_arc(cr, kCx + 12, 42, 5, M_PI, 2 * M_PI);
    cairo_close_path(cr);
    SetColor(cr, kCap);
    cairo_fill_preserve(cr);
    SetColor(cr, pal::kInk);
    cairo_stroke(cr);
    for (int i = 0; i < 3; ++i) {  // little stars
      Star(cr, 8 + i * 12, 33 - (i % 2) * 3, 3, 1.3, 5, 0);
      SetColor(cr, pal::kOrangeLight);
      cairo_fill(cr);
    }
    return;
  }
  cairo_save(cr);
  cairo_translate(cr, 0, p.bodyY);
  double hipX = 20.5, hipY = 38;
  Limb(cr, hipX - 1.5, hipY, p.backFoot[0], p.backFoot[1] - 2, Darker(kOveralls, 0.15), 4.5);
  Boot(cr, p.backFoot[0], p.backFoot[1]);
  cairo_save(cr);
  cairo_translate(cr, hipX, hipY);
  cairo_rotate(cr, p.lean);
  cairo_translate(cr, -hipX, -hipY);
  double shX = 21, shY = 26;
  double bhx = p.backHand[0], bhy = p.backHand[1];
  Limb(cr, shX - 2, shY + 1, bhx, bhy, Darker(kShirt, 0.12), 3.8);
  Blob(cr, bhx, bhy, 2.4, Darker(kSkin, 0.08));
  // torso: shirt above, overalls with a bib below
  RoundRect(cr, 14, 23, 14, 17, 5);
  SetColor(cr, kShirt);
  cairo_fill_preserve(cr);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  RoundRect(cr, 14, 30, 14, 10, 3);
  SetColor(cr, kOveralls);
  cairo_fill_preserve(cr);
  SetColor(cr, pal::kInk);
  cairo_stroke(cr);
  cairo_arc(cr, 24, 33, 1.2, 0, 2 * M_PI);
  SetColor(cr, pal::kOrangeLight);
  cairo_fill(cr);
  // head
  double hx = 21, hy = 15;
  Blob(cr, hx, hy, 8.5, kSkin);
  if (!p.faceBack) {
    Blob(cr, hx + 8.2, hy + 1.5, 2.2, kSkin);  // nose
    double ex = hx + 3.5, ey = hy - 0.5;
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 1.3);
    switch (p.eyes) {
      case 1:
        cairo_move_to(cr, ex - 1.6, ey + 0.5);
        cairo_line_to(cr, ex + 1.6, ey + 0.5);
        cairo_stroke(cr);
        break;
      case 2:
        cairo_arc(cr, ex + 0.6, ey - 1.5, 1.5, 0, 2 * M_PI);
        cairo_fill(cr);
        break;
      case 4:
        cairo_arc(cr, ex, ey, 2.4, 0, 2 * M_PI);
        SetColor(cr, pal::kWhite);
        cairo_fill_preserve(cr);
        SetColor(cr, pal::kInk);
        cairo_stroke(cr);
        cairo_arc(cr, ex + 0.6, ey, 1.1, 0, 2 * M_PI);
        cairo_fill(cr);
        break;
      default:
        cairo_arc(cr, ex, ey, 1.5, 0, 2 * M_PI);
        cairo_fill(cr);
    }
    double mx = hx + 4, my = hy + 4.5;
    switch (p.mouth) {
      case 1:
        cairo_arc(cr, mx, my + 0.5, 2.2, 0, 2 * M_PI);
        SetColor(cr, Hex(0x7a2335));
        cairo_fill(cr);
        break;
      case 2:
        cairo_move_to(cr, mx - 2, my);
        cairo_line_to(cr, mx + 2, my);
        cairo_stroke(cr);
        break;
      case 3:
        cairo_move_to(cr, mx - 2.5, my + 1);
        cairo_curve_to(cr, mx - 1, my - 1, mx + 1, my + 2, mx + 2.5, my);
        cairo_stroke(cr);
        break;
      default:
        cairo_arc(cr, mx - 0.5, my - 1.5, 2.8, 0.2 * M_PI, 0.8 * M_PI);
        cairo_stroke(cr);
    }
  } else {
    Blob(cr, hx - 7.5, hy + 1, 2.2, kSkin);  // ear seen from behind
  }
  // cap with a brim towards where he looks
  cairo_new_path(cr);
  cairo_arc(cr, hx, hy - 1.5, 8.8, M_PI, 2 * M_PI);
  cairo_close_path(cr);
  SetColor(cr, kCap);
  cairo_fill_preserve(cr);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  double bdir = p.faceBack ? -1 : 1;
  cairo_move_to(cr, hx, hy - 2);
  cairo_line_to(cr, hx + bdir * 13, hy - 1.5);
  cairo_set_line_width(cr, 3);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  SetColor(cr, pal::kInk);
  cairo_stroke_preserve(cr);
  cairo_set_line_width(cr, 1.4);
  SetColor(cr, Darker(kCap, 0.15));
  cairo_stroke(cr);
  if (p.sweat) {
    cairo_move_to(cr, hx - 10, hy - 8);
    cairo_curve_to(cr, hx - 13, hy - 3, hx - 12, hy - 1, hx - 10, hy - 1);
    cairo_curve_to(cr, hx - 8, hy - 1, hx - 7, hy - 3, hx - 10, hy - 8);
    SetColor(cr, pal::kHead[1]);
    cairo_fill_preserve(cr);
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 0.9);
    cairo_stroke(cr);
  }
  // front arm over the body
  double fhx = p.frontHand[0], fhy = p.frontHand[1];
  Limb(cr, shX + 1, shY + 1, fhx, fhy, kShirt, 3.8);
  Blob(cr, fhx, fhy, 2.5, kSkin);
  cairo_restore(cr);
  Limb(cr, hipX + 1.5, hipY, p.frontFoot[0], p.frontFoot[1] - 2, kOveralls, 4.5);
  Boot(cr, p.frontFoot[0], p.frontFoot[1]);
  cairo_restore(cr);
}

Pose PoseFor(int pose) {
  Pose p;
  switch (pose) {
    case 0:  // standing
      break;
    case 1:  // idle: blinking
      p.eyes = 1;
      break;
    case 2:  // idle: looking up
      p.eyes = 2;
      p.mouth = 2;
      break;
    case 3:  // idle: waving
      p.frontHand[0] = 31;
      p.frontHand[1] = 17;
      p.mouth = 1;
      break;
    case 8:  // idle: tapping a foot
      p.frontFoot[0] = 28;
      p.frontFoot[1] = 49;
      break;
    case 12:  // idle: scratching his head
      p.backHand[0] = 16;
      p.backHand[1] = 9;
      p.mouth = 3;
      break;
    case 4:  // walking in and pushing: arms forward, stride
    case 5:
      p.lean = 0.22;
      p.frontHand[0] = 37;
      p.frontHand[1] = 29;
      p.backHand[0] = 35;
      p.backHand[1] = 33;
      p.mouth = 2;
      if (pose == 4) {
        p.frontFoot[0] = 29;
        p.backFoot[0] = 11;
      } else {
        p.frontFoot[0] = 21;
        p.backFoot[0] = 19;
        p.bodyY = -1;
      }
      break;
    case 6:  // walking back home: turned round, facing his lane
    case 7:
      p.frontHand[0] = pose == 6 ? 14 : 27;
      p.backHand[0] = pose == 6 ? 27 : 14;
      p.frontHand[1] = p.backHand[1] = 37;
      p.frontFoot[0] = pose == 6 ? 12 : 27;
      p.backFoot[0] = pose == 6 ? 28 : 14;
      if (pose == 7) p.bodyY = -1;
      break;
    case 9:  // blocked: a shrug
      p.frontHand[0] = 33;
      p.frontHand[1] = 22;
      p.backHand[0] = 9;
      p.backHand[1] = 22;
      p.eyes = 4;
      p.mouth = 3;
      p.sweat = true;
      break;
    case 10:  // cheering, arms up
    case 11:
      p.frontHand[0] = 31;
      p.frontHand[1] = 7;
      p.backHand[0] = 11;
      p.backHand[1] = 7;
      p.mouth = 1;
      p.eyes = pose == 11 ? 1 : 0;
      if (pose == 11) {
        p.bodyY = -3;
        p.frontFoot[0] = 27;
        p.backFoot[0] = 14;
      }
      break;
    case 13:
      p.squashed = true;
      break;
  }
  return p;
}

}  // namespace

void DrawGuy(cairo_t* cr, double x, double y, int pose, bool mirrored) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rectangle(cr, 0, 0, kCellW, kCellH);
  cairo_clip(cr);
  // Walking home he faces the other way.
  if (pose == 6 || pose == 7) mirrored = !mirrored;
  if (mirrored) {
    cairo_translate(cr, kCellW, 0);
    cairo_scale(cr, -1, 1);
  }
  GuyFigure(cr, PoseFor(pose));
  cairo_restore(cr);
}

}  // namespace art
