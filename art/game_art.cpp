// Pictures of the game: its screen, sprite sheets, buttons and pop-ups.
#include <cmath>
#include <string>

#include "art/canvas.h"
#include "art/characters.h"
#include "art/generator.h"
#include "art/ui.h"

namespace art {

namespace {

// Geometry the game's code relies on.
constexpr double kBoardX = 137, kBoardY = 10, kBoardW = 615, kBoardH = 550;
constexpr double kLaneL = 99, kLaneR = 751, kLaneW = 41;
constexpr int kButtonYs[4] = {351, 407, 463, 519};
constexpr double kDotsX = 4, kDotsY = 202, kDotsW = 90, kDotsH = 135;
// The preview box's digits (the game draws them there).
constexpr double kPreviewY = 574;
// The summary's number boxes: their left edge, width, first top and step.
constexpr double kSummaryBoxX = 160, kSummaryBoxW = 120, kSummaryFirstBox = 88, kSummaryRowStep = 40;
const Rgb kLane = Mix(pal::kBoard, pal::kShelf, 0.07);

void HudLabel(cairo_t* cr, const std::string& s, double baseline) {
  TextStyle st;
  st.font = Font::Bold;
  st.size = 13;
  st.fill = pal::kShelf;
  DrawText(cr, st, s, 47, baseline, 1);
}

// A small mouse pointer, its tip at (x, y), in the score font's colour.
void Pointer(cairo_t* cr, double x, double y) {
  cairo_move_to(cr, x, y);
  cairo_line_to(cr, x, y + 15);
  cairo_line_to(cr, x + 4, y + 11.5);
  cairo_line_to(cr, x + 7, y + 18);
  cairo_line_to(cr, x + 9.5, y + 17);
  cairo_line_to(cr, x + 6.5, y + 10.5);
  cairo_line_to(cr, x + 11, y + 10.5);
  cairo_close_path(cr);
  SetColor(cr, pal::kOrangeLight);
  cairo_fill(cr);
}

void NumberBox(cairo_t* cr, double y) {
  RoundRect(cr, 3, y - 3, 89, 26, 6);
  SetColor(cr, pal::kInk);
  cairo_fill(cr);
  // The score font's cells are this exact colour, so the digits sit in the
  // box seamlessly; the area under the digits must stay flat.
  cairo_rectangle(cr, 4.5, y - 1.5, 86, 23);
  SetColor(cr, pal::kHudBox);
  cairo_fill(cr);
}

// The words of the pictures that say how to play: with a mouse, or on a
// touch screen (a tap is a left click, a press held a right click).
struct Wording {
  const char* board;  // the pictures' files
  const char* help;
  const char* colourRule;
  const char* faceRule;
  const char* boardHint;
  const char* guys;
  const char* time;
  const char* keys;
  const char* close;
};
constexpr Wording kMouseWording = {
    "/background.bmp", "/title/HowToPlay.bmp", "Left click: same colour", "Right click: same face",
    "Left click: same colour     Right click: same face     Click a guy: push his row",
    "click a guy beside a row and he pushes it across.", "press New game to start, then the dots count down.",
    "left click, X: right click; N new game, H help, M menu, P pause, C colours.", "Click, or press Space, to close"};
constexpr Wording kTouchWording = {
    "/backgroundtouch.bmp", "/title/HowToPlayTouch.bmp", "Tap: same colour", "Tap and hold: same face",
    "Tap: same colour     Tap and hold: same face     Tap a guy: push his row",
    "tap a guy beside a row and he pushes it across.", "tap New game to start, then the dots count down.",
    "tap, X: hold; N new game, H help, M menu, P pause, C colours.", "Tap, or press Space, to close"};

void GameBackground(const std::string& dir, const Wording& words) {
  Canvas c(800, 600);
  cairo_t* cr = c.cr();
  Backdrop(cr, 800, 600, 7);

  // HUD panel
  RoundRect(cr, -20, -20, 115 + 1, 640, 16);
  SetColor(cr, pal::kInk);
  cairo_fill(cr);
  RoundRect(cr, -20, -20, 113, 640, 14);
  FillGradPreserve(cr, 0, 600, Lighter(pal::kPanel, 0.3), pal::kPanel);
  cairo_new_path(cr);
  TextStyle logo;
  logo.size = 17;
  logo.fill = pal::kOrange;
  logo.outline = 1.6;
  DrawFitText(cr, logo, "Quibbleton", 47, 24, 88);
  for (int i = 0; i < 5; ++i) {
    cairo_arc(cr, 23 + i * 12, 36, 4, 0, 2 * M_PI);
    SetColor(cr, pal::kHead[i]);
    cairo_fill_preserve(cr);
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  HudLabel(cr, "best", 68);
  NumberBox(cr, 74);
  HudLabel(cr, "score", 110);
  NumberBox(cr, 116);
  HudLabel(cr, "last group", 152);
  NumberBox(cr, 158);
  HudLabel(cr, "time", 196);
  RoundRect(cr, kDotsX - 3, kDotsY - 3, kDotsW + 6, kDotsH + 6, 6);
  SetColor(cr, pal::kInk);
  cairo_fill(cr);
  cairo_rectangle(cr, kDotsX - 1, kDotsY - 1, kDotsW + 2, kDotsH + 2);
  SetColor(cr, pal::kDotWell);
  cairo_fill(cr);
  for (int y : kButtonYs) Plate(cr, 14, y, 78, 48);
  // What a click on the group under the pointer would add: a box under the
  // buttons with a pointer at its left, the digits right-aligned in it.
  NumberBox(cr, kPreviewY);
  Pointer(cr, 10, kPreviewY + 1);

  // The well of lanes and board. Heads and guys are anti-aliased against
  // the board colour, which the lanes only faintly differ from.
  RoundRect(cr, kLaneL - 3, kBoardY - 5, kLaneR + kLaneW - kLaneL + 8, kBoardH + 10, 8);
  SetColor(cr, pal::kInk);
  cairo_fill(cr);
  cairo_rectangle(cr, kLaneL - 1, kBoardY - 1, kLaneR + kLaneW - kLaneL + 2, kBoardH + 2);
  SetColor(cr, Lighter(pal::kShelf, 0.5));
  cairo_fill(cr);
  cairo_rectangle(cr, kLaneL, kBoardY, kLaneR + kLaneW - kLaneL, kBoardH);
  SetColor(cr, kLane);
  cairo_fill(cr);
  for (int r = 0; r < 10; ++r) {
    double y = kBoardY + r * 55 + 53;
    for (double x : {kLaneL + 3, kLaneR + 3}) {
      RoundRect(cr, x, y - 1.5, kLaneW - 9, 3, 1.5);
      SetColor(cr, Darker(kLane, 0.12));
      cairo_fill(cr);
    }
  }
  cairo_rectangle(cr, kBoardX, kBoardY, kBoardW, kBoardH);
  SetColor(cr, pal::kBoard);
  cairo_fill(cr);
  // A faint checker shows the cells; it is close enough to the board colour
  // that the heads' edges, blended for it, stay clean.
  for (int r = 0; r < 10; ++r)
    for (int col = (r % 2); col < 15; col += 2) {
      cairo_rectangle(cr, kBoardX + col * 41, kBoardY + r * 55, 41, 55);
      SetColor(cr, Lighter(pal::kBoard, 0.3));
      cairo_fill(cr);
    }

  TextStyle hint;
  hint.font = Font::Bold;
  hint.size = 13;
  hint.fill = pal::kWhite;
  hint.outline = 1.5;
  DrawText(cr, hint, words.boardHint, (kLaneL + kLaneR + kLaneW) / 2, 588, 1);
  WriteBmp(c, dir + words.board, Key::BlackFree, pal::kBoard);
}

void GuySheet(const std::string& dir) {
  Canvas c(574, 110);
  for (int row = 0; row < 2; ++row)
    for (int pose = 0; pose < 14; ++pose) DrawGuy(c.cr(), pose * kCellW, row * kCellH, pose, row == 1);
  WriteBmp(c, dir + "/slaveanims.bmp", Key::Blue, pal::kBoard);
}

void MultiplierStrip(const std::string& dir) {
  Canvas c(40, 425);
  for (int k = 0; k < 25; ++k)
    PopText(c.cr(), "\xC3\x97" + std::to_string(26 - k), 0, k * 17, pal::kWhite);
  WriteBmp(c, dir + "/scoremultipliers.bmp", Key::Blue, pal::kBoard);
}

void ScoreFont(const std::string& dir) {
  Canvas c(120, 20);
  cairo_t* cr = c.cr();
  SetColor(cr, pal::kHudBox);
  cairo_paint(cr);
  TextStyle st;
  st.font = Font::CondBold;
  st.size = 18;
  st.fill = pal::kOrangeLight;
  for (int d = 0; d < 10; ++d) DrawText(cr, st, std::to_string(d), d * 12 + 6, 16.5, 1);
  WriteBmp(c, dir + "/scorefont.bmp", Key::Opaque, pal::kHudBox);
}

// A banner: rounded, outlined, with a gradient, a big title and a line.
void Banner(cairo_t* cr, double w, double h, Rgb top, Rgb bottom, const std::string& title,
            const std::string& line, double titleSize, double titleY, double lineY) {
  RoundRect(cr, 2, 2, w - 4, h - 4, 24);
  FillGradPreserve(cr, 0, h, top, bottom);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  RoundRect(cr, 9, 9, w - 18, h - 18, 18);
  SetColor(cr, pal::kWhite, 0.8);
  cairo_set_line_width(cr, 2);
  const double dash[2] = {7, 5};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  TextStyle st;
  st.size = titleSize;
  st.outline = 3;
  st.shadow = 3;
  DrawFitText(cr, st, title, w / 2, titleY, w - 40);
  TextStyle sub;
  sub.size = 18;
  sub.fill = pal::kInk;
  DrawFitText(cr, sub, line, w / 2, lineY, w - 60);
}

void Congrats(const std::string& dir) {
  Canvas c(310, 180);
  cairo_t* cr = c.cr();
  Banner(cr, 310, 180, Hex(0xfff3a0), Hex(0xffb347), "Cleared!", "Time bonus, score doubled", 48, 106, 140);
  for (int i = 0; i < 5; ++i) {
    DrawHead(cr, 28 + i * 52, 4, i, (i * 2) % 5, 0.62);
  }
  for (int i = 0; i < 2; ++i) {
    Star(cr, 30 + i * 250, 156, 10, 4.5, 5, 0.3 * i);
    SetColor(cr, pal::kWhite);
    cairo_fill_preserve(cr);
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  }
  WriteBmp(c, dir + "/congrats.bmp", Key::Blue, pal::kBoard);
}

void Clock(cairo_t* cr, double cx, double cy, double r) {
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  SetColor(cr, pal::kWhite);
  cairo_fill_preserve(cr);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  for (int i = 0; i < 12; ++i) {
    double a = i * M_PI / 6;
    cairo_move_to(cr, cx + r * 0.78 * std::cos(a), cy + r * 0.78 * std::sin(a));
    cairo_line_to(cr, cx + r * 0.9 * std::cos(a), cy + r * 0.9 * std::sin(a));
  }
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  cairo_move_to(cr, cx, cy);
  cairo_line_to(cr, cx, cy - r * 0.7);
  cairo_move_to(cr, cx, cy);
  cairo_line_to(cr, cx + r * 0.45, cy + r * 0.1);
  cairo_set_line_width(cr, 3);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
}

void GameOver(const std::string& dir) {
  Canvas c(310, 180);
  cairo_t* cr = c.cr();
  Banner(cr, 310, 180, Hex(0xb9d4ff), Hex(0x6f8fe8), "Time's up!", "Click to go on", 42, 112, 146);
  Clock(cr, 155, 42, 25);
  WriteBmp(c, dir + "/GameOverOOT.bmp", Key::Black, pal::kBoard);
}

void HallFamePop(const std::string& dir) {
  Canvas c(164, 100);
  cairo_t* cr = c.cr();
  RoundRect(cr, 2, 2, 160, 96, 16);
  FillGradPreserve(cr, 0, 100, Hex(0xe9d5ff), Hex(0xb07be8));
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  Trophy(cr, 82, 8, 0.9);
  TextStyle st;
  st.size = 17;
  st.outline = 2;
  DrawFitText(cr, st, "Hall of fame!", 82, 66, 150);
  TextStyle sub;
  sub.font = Font::Bold;
  sub.size = 11;
  sub.fill = pal::kInk;
  DrawFitText(cr, sub, "You made the list", 82, 84, 150);
  WriteBmp(c, dir + "/hallfamepop.bmp", Key::Black, pal::kBoard);
}

// Bold text of that size and colour, as the pictures' lines are written.
TextStyle BoldText(double size, Rgb fill = pal::kInk) {
  TextStyle st;
  st.font = Font::Bold;
  st.size = size;
  st.fill = fill;
  return st;
}

// The cover the paused game shows instead of its board, so pausing gives no
// time to think; exactly the board's size.
void PausedCover(const std::string& dir) {
  Canvas c(615, 550);
  cairo_t* cr = c.cr();
  cairo_rectangle(cr, 0, 0, 615, 550);
  FillGradPreserve(cr, 0, 550, Lighter(pal::kSkyTop, 0.35), Lighter(pal::kSkyBottom, 0.35));
  cairo_new_path(cr);
  for (int i = 0; i < 5; ++i) DrawHead(cr, 131 + i * 76, 150, i, (i * 3) % 5, 1.2);
  TextStyle st;
  st.size = 64;
  st.outline = 4;
  st.shadow = 4;
  DrawFitText(cr, st, "Paused", 307, 290, 560);
  TextStyle sub = BoldText(20, pal::kWhite);
  sub.outline = 2;
  DrawFitText(cr, sub, "The countdown waits for you.", 307, 340, 560);
  DrawFitText(cr, sub, "Click, or press a key, to go on", 307, 380, 560);
  WriteBmp(c, dir + "/paused.bmp", Key::Opaque, pal::kBoard);
}

// The offer to end a round whose board has no move left.
void NoMoves(const std::string& dir) {
  Canvas c(310, 150);
  cairo_t* cr = c.cr();
  Banner(cr, 310, 150, Hex(0xffe0e9), Hex(0xf4a6c0), "No more moves", "", 36, 62, 0);
  const TextStyle sub = BoldText(15);
  DrawFitText(cr, sub, "Nothing can change the board now.", 155, 92, 270);
  DrawFitText(cr, sub, "Click here, or press Enter, to end it", 155, 118, 270);
  WriteBmp(c, dir + "/nomoves.bmp", Key::Blue, pal::kBoard);
}

// The end of a game: the score, its place in the hall of fame and the best,
// with boxes the game writes the numbers into.
void Summary(const std::string& dir) {
  Canvas c(310, 250);
  cairo_t* cr = c.cr();
  Banner(cr, 310, 250, Hex(0xfff3a0), Hex(0xffb347), "Game over", "", 38, 56, 0);
  const TextStyle label = BoldText(17);
  const char* const rows[] = {"Your score", "Hall of fame", "Best"};
  for (int i = 0; i < 3; ++i) {
    const double y = kSummaryFirstBox + i * kSummaryRowStep;
    DrawText(cr, label, rows[i], 28, y + 17, 0);
    RoundRect(cr, kSummaryBoxX - 1, y - 3, kSummaryBoxW + 2, 26, 6);
    SetColor(cr, pal::kInk);
    cairo_fill(cr);
    cairo_rectangle(cr, kSummaryBoxX, y - 1.5, kSummaryBoxW, 23);
    SetColor(cr, pal::kHudBox);
    cairo_fill(cr);
  }
  DrawFitText(cr, BoldText(13), "Click, or press a key, to go on", 155, 228, 270);
  WriteBmp(c, dir + "/summary.bmp", Key::Blue, pal::kBoard);
  // The hall-of-fame box of a score that did not make the list.
  Canvas n(static_cast<int>(kSummaryBoxW), 20);
  SetColor(n.cr(), pal::kHudBox);
  cairo_paint(n.cr());
  TextStyle st;
  st.font = Font::CondBold;
  st.size = 15;
  st.fill = pal::kOrangeLight;
  DrawFitText(n.cr(), st, "not listed", kSummaryBoxW / 2, 15, kSummaryBoxW - 6);
  WriteBmp(n, dir + "/notlisted.bmp", Key::Opaque, pal::kHudBox);
}

// "+" and the digits in the rising pop-ups' style, for the group's sum times
// its multiplier, which rises when the group is scored.
void ScoreGlyphs(const std::string& dir) {
  Canvas c(110, 17);
  TextStyle st;
  st.font = Font::CondBold;
  st.size = 14;
  st.fill = pal::kWhite;
  st.outline = 1.6;
  const std::string glyphs = "+0123456789";
  for (size_t i = 0; i < glyphs.size(); ++i) {
    cairo_reset_clip(c.cr());
    cairo_rectangle(c.cr(), i * 10.0, 0, 10, 17);
    cairo_clip(c.cr());
    DrawText(c.cr(), st, glyphs.substr(i, 1), i * 10.0 + 5, 13.5, 1);
  }
  WriteBmp(c, dir + "/scoreglyphs.bmp", Key::Blue, pal::kBoard);
}

void GameButtons(const std::string& dir) {
  ButtonLook look;
  look.radius = 10;
  look.fontSize = 15;
  WriteButtonStrip(dir + "/newgame.bmp", 78, 48, 3, "new\ngame", GreenLook());
  WriteButtonStrip(dir + "/howto.bmp", 78, 48, 3, "how to\nplay", look);
  WriteButtonStrip(dir + "/back.bmp", 78, 48, 3, "menu", BlueLook());
  WriteButtonStrip(dir + "/exit.bmp", 78, 48, 3, "exit", CoralLook());
}

// --- title pictures (shown by the launcher and, for the rules, the game) ------

constexpr double kPopMatteMix = 0.35;

TextStyle Body(double size = 15) {
  TextStyle st;
  st.font = Font::Sans;
  st.size = size;
  st.fill = pal::kInk;
  return st;
}

// A bold lead word, then one or two lines of text aligned after it.
void Para(cairo_t* cr, double x, double y, const std::string& bold, const std::string& line1,
          const std::string& line2) {
  TextStyle b = Body();
  b.font = Font::Bold;
  b.fill = pal::kPurple;
  DrawText(cr, b, bold, x, y, 0);
  double tx = x + TextWidth(cr, b, bold) + 6;
  DrawText(cr, Body(), line1, tx, y, 0);
  DrawText(cr, Body(), line2, tx, y + 21, 0);
}

void HowToPlay(const std::string& dir, const Wording& words) {
  Canvas c(694, 564);
  cairo_t* cr = c.cr();
  Panel(cr, 0, 0, 694, 564, "How to play");
  // Colour rule: one colour, several faces; face rule: one face, several colours.
  double y0 = 92;
  RoundRect(cr, 40, y0, 300, 124, 12);
  SetColor(cr, pal::kBoard);
  cairo_fill(cr);
  RoundRect(cr, 354, y0, 300, 124, 12);
  SetColor(cr, pal::kBoard);
  cairo_fill(cr);
  for (int i = 0; i < 4; ++i) DrawHead(cr, 60 + i * 48, y0 + 8, 0, i, 0.85);
  DrawHead(cr, 252, y0 + 8, 2, 0, 0.85);
  for (int i = 0; i < 4; ++i) DrawHead(cr, 374 + i * 48, y0 + 8, i + 1, 4, 0.85);
  DrawHead(cr, 566, y0 + 8, 1, 1, 0.85);
  TextStyle cap = Body(15);
  cap.font = Font::Bold;
  DrawText(cr, cap, words.colourRule, 190, y0 + 84, 1);
  DrawText(cr, cap, words.faceRule, 504, y0 + 84, 1);
  TextStyle small = Body(12.5);
  DrawText(cr, small, "the touching orange heads go", 190, y0 + 106, 1);
  DrawText(cr, small, "the touching cheeky faces go", 504, y0 + 106, 1);

  double y = y0 + 160;
  Para(cr, 44, y, "Groups:", "at least 2 touching heads. Heads score 100, 200, 300 ..., then",
       "the group's sum again, times the multiplier: 3 heads = 600 + 600.");
  Para(cr, 44, y + 52, "Twins:", "a head of the same colour and face as one before it in the",
       "group scores no points of its own but raises the multiplier: \xC3\x97" "2, \xC3\x97" "3 ...");
  // guys
  double gy = y + 100;
  RoundRect(cr, 40, gy, 104, 68, 10);
  SetColor(cr, pal::kBoard);
  cairo_fill(cr);
  DrawGuy(cr, 46, gy + 7, 4, false);
  DrawHead(cr, 92, gy + 7, 3, 1, 0.9);
  Para(cr, 160, gy + 26, "Guys:", words.guys,
       "Heads fall into holes, so mind his head!");
  Para(cr, 44, gy + 92, "Time:", words.time,
       "Clear the board for a time bonus and a doubled score.");
  Para(cr, 44, gy + 144, "Keys:", "arrows move the frame (onto the guys too); Space or Z:",
       words.keys);
  TextStyle hint = Body(13);
  hint.font = Font::Bold;
  hint.fill = pal::kShelf;
  DrawText(cr, hint, words.close, 347, 548, 1);
  WriteBmp(c, dir + words.help, Key::Black,
           Mix(pal::kSkyTop, pal::kSkyBottom, kPopMatteMix));
}

void Credits(const std::string& dir) {
  Canvas c(694, 564);
  cairo_t* cr = c.cr();
  Panel(cr, 0, 0, 694, 564, "Credits");
  TextStyle h = Body(22);
  h.font = Font::Bold;
  h.fill = pal::kPurple;
  TextStyle b = Body(16);
  double y = 126;
  auto line = [&](const std::string& head, const std::string& text) {
    DrawText(cr, h, head, 347, y, 1);
    DrawText(cr, b, text, 347, y + 26, 1);
    y += 72;
  };
  line("Quibbleton", "a timed puzzle of heads, guys and groups");
  line("Game and launcher", "written by the Quibbleton team");
  line("Pictures", "drawn by our own generator, lettered in the DejaVu fonts");
  line("Voices", "spoken by eSpeak NG, then shaped by hand-written filters");
  line("Music and effects", "composed and synthesised note by note, encoded with LAME");
  for (int i = 0; i < 5; ++i) DrawHead(cr, 232 + i * 48, 472, i, i, 0.9);
  TextStyle hint = Body(13);
  hint.font = Font::Bold;
  hint.fill = pal::kShelf;
  DrawText(cr, hint, "Click to close", 347, 540, 1);
  WriteBmp(c, dir + "/title/Credits.bmp", Key::Black,
           Mix(pal::kSkyTop, pal::kSkyBottom, kPopMatteMix));
}

// The game's title menu in the launcher.
void TitleBackground(const std::string& dir) {
  Canvas c(800, 600);
  cairo_t* cr = c.cr();
  Backdrop(cr, 800, 600, 11);
  // logo
  TextStyle logo;
  logo.font = Font::Bold;
  logo.size = 88;
  logo.fill = pal::kOrangeLight;
  logo.outline = 5;
  logo.shadow = 6;
  DrawFitText(cr, logo, "Quibbleton", 400, 150, 700);
  for (int i = 0; i < 5; ++i) DrawHead(cr, 292 + i * 44, 170, i, (i + 2) % 5, 0.9);
  TextStyle tag;
  tag.size = 18;
  tag.outline = 2;
  DrawText(cr, tag, "crack the groups before the time runs out!", 400, 258, 1);
  for (int y : {296, 365, 435}) {
    Plate(cr, 52, y, 150, 56);
    Plate(cr, 636, y, 150, 56);
  }
  Plate(cr, 280, 318, 240, 52);
  Plate(cr, 52, 505, 50, 50);
  Plate(cr, 106, 505, 50, 50);
  // Name fields on one panel. The names are drawn at rows 378, 420, 464 and
  // 510 from x 238 (239) and 408; the boxes go evenly every 44 pixels, each
  // within two pixels of centred on its name, with room before the text.
  RoundRect(cr, 222, 371, 356, 183, 14);
  SetColor(cr, pal::kInk);
  cairo_fill(cr);
  RoundRect(cr, 225, 374, 350, 177, 12);
  SetColor(cr, pal::kShelf);
  cairo_fill(cr);
  for (int r = 0; r < 4; ++r) {
    FieldBox(cr, 233, 377 + 44 * r, 156, 30);
    FieldBox(cr, 403, 377 + 44 * r, 156, 30);
  }
  // Redraw the panel border over the field frames' outer rims.
  WriteBmp(c, dir + "/title/titlebackground.bmp", Key::BlackFree, pal::kShelf);
}

void LobboTile(const std::string& dir) {
  Canvas c(250, 100);
  cairo_t* cr = c.cr();
  RoundRect(cr, 1, 1, 248, 98, 14);
  FillGradPreserve(cr, 0, 100, Hex(0x9fd8ff), Hex(0x4b6fd6));
  cairo_new_path(cr);
  for (int i = 0; i < 5; ++i) DrawHead(cr, 8 + i * 48, 34, i, (i * 3) % 5, 0.95);
  TextStyle st;
  st.size = 34;
  st.fill = pal::kOrangeLight;
  st.outline = 3;
  st.shadow = 2;
  DrawFitText(cr, st, "Quibbleton", 125, 38, 230);
  WriteBmp(c, dir + "/LobboButton.bmp", Key::Blue, pal::kShelf);
}

}  // namespace

void MakeGameArt(const std::string& dir) {
  MakeDirs(dir + "/title");
  for (const Wording* words : {&kMouseWording, &kTouchWording}) GameBackground(dir, *words);
  MakeHeadSheets(dir);
  GuySheet(dir);
  MultiplierStrip(dir);
  ScoreFont(dir);
  Congrats(dir);
  GameOver(dir);
  HallFamePop(dir);
  PausedCover(dir);
  NoMoves(dir);
  Summary(dir);
  ScoreGlyphs(dir);
  GameButtons(dir);
  for (const Wording* words : {&kMouseWording, &kTouchWording}) HowToPlay(dir, *words);
  Credits(dir);
  TitleBackground(dir);
  LobboTile(dir);
  WriteFile(dir + "/setup.ini",
            "[setup]\r\nfullscreen=0\r\nnowindow=0\r\n\r\n[default]\r\nballoons=2\r\ngametime=300\r\n");
}

}  // namespace art
