// Pictures of the launcher: its pages, buttons, fonts and pop-ups.
#include <cmath>
#include <string>

#include "art/canvas.h"
#include "art/characters.h"
#include "art/generator.h"
#include "art/ui.h"

namespace art {

namespace {

const Rgb kPopMatte = Mix(pal::kSkyTop, pal::kSkyBottom, 0.35);

void LauncherBackground(const std::string& dir) {
  Canvas c(800, 600);
  cairo_t* cr = c.cr();
  Backdrop(cr, 800, 600, 3);
  TextStyle logo;
  logo.size = 72;
  logo.fill = pal::kOrangeLight;
  logo.outline = 4.5;
  logo.shadow = 5;
  DrawText(cr, logo, "Lobbo", 30, 88, 0);
  double lw = TextWidth(cr, logo, "Lobbo");
  TextStyle tag;
  tag.size = 19;
  tag.outline = 2;
  DrawText(cr, tag, "pick a game, have a ball", 34, 120, 0);
  for (int i = 0; i < 3; ++i) DrawHead(cr, 44 + lw + i * 40, 30, i * 2 % 5, i + 1, 0.78);
  // arrows, the page number's pill between them, info and exit
  Plate(cr, 638, 19, 56, 56, 4);
  Plate(cr, 739, 19, 56, 56, 4);
  RoundRect(cr, 696, 24, 41, 46, 8);
  SetColor(cr, Lighter(pal::kShelf, 0.35));
  cairo_fill(cr);
  RoundRect(cr, 698, 26, 37, 42, 7);
  SetColor(cr, pal::kShelf);
  cairo_fill(cr);
  // The number may grow to two digits leftwards over the arrow's plate edge.
  cairo_rectangle(cr, 684, 30, 33, 24);
  SetColor(cr, pal::kShelf);
  cairo_fill(cr);
  Plate(cr, 637, 89, 76, 40, 4);
  Plate(cr, 718, 89, 76, 40, 4);
  for (int y : {140, 247, 355, 461})
    for (int x : {14, 271, 528}) Plate(cr, x, y, 250, 100, 3);
  WriteBmp(c, dir + "/background.bmp", Key::BlackFree, pal::kShelf);
}

void Arrow(cairo_t* cr, double ox, int dir, Face f) {
  ButtonFace(cr, ox, 0, 56, 56, "", f, BlueLook());
  double cx = ox + 28, cy = f == Face::Pressed ? 28.5 : 26.5;
  cairo_move_to(cr, cx + dir * 12, cy);
  cairo_line_to(cr, cx - dir * 8, cy - 13);
  cairo_line_to(cr, cx - dir * 8, cy + 13);
  cairo_close_path(cr);
  SetColor(cr, f == Face::Over ? pal::kOrangeLight : pal::kWhite);
  cairo_fill_preserve(cr);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 2);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

void PageArrows(const std::string& dir) {
  for (int d : {-1, 1}) {
    Canvas c(112, 56);
    Arrow(c.cr(), 0, d, Face::Normal);
    Arrow(c.cr(), 56, d, Face::Over);
    UniteFaceMasks(c, 56, 2, pal::kShelf);
    WriteBmp(c, dir + (d < 0 ? "/PageArrowsLeft.bmp" : "/PageArrowsRight.bmp"), Key::Blue,
             pal::kShelf);
  }
}

// The slot frame: transparent inside so the game's tile shows through.
void GameButtonFrames(const std::string& dir) {
  Canvas c(750, 100);
  cairo_t* cr = c.cr();
  for (int i = 0; i < 3; ++i) {
    double x = i * 250;
    double band = i == 0 ? 4 : 6;
    Rgb col = i == 0 ? Lighter(pal::kShelf, 0.55) : i == 1 ? pal::kOrangeLight : Darker(pal::kShelf, 0.35);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    RoundRect(cr, x + 0.5, 0.5, 249, 99, 14);
    cairo_rectangle(cr, x + band, band, 250 - 2 * band, 100 - 2 * band);
    SetColor(cr, col);
    cairo_fill(cr);
    RoundRect(cr, x + 0.5, 0.5, 249, 99, 14);
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    if (i == 1) {  // sparkles on the lit frame
      for (int k = 0; k < 4; ++k) {
        Star(cr, x + (k % 2 ? 242 : 8), k < 2 ? 8 : 92, 7, 2.5, 4, 0);
        SetColor(cr, pal::kWhite);
        cairo_fill(cr);
      }
    }
  }
  WriteBmp(c, dir + "/GameButton.bmp", Key::Blue, pal::kShelf);
}

void CollectTile(const std::string& dir) {
  Canvas c(250, 100);
  cairo_t* cr = c.cr();
  RoundRect(cr, 1, 1, 248, 98, 14);
  FillGradPreserve(cr, 0, 100, Hex(0xffb3d9), Hex(0xc05fd6));
  cairo_new_path(cr);
  cairo_arc(cr, 46, 50, 28, 0, 2 * M_PI);
  SetColor(cr, pal::kWhite);
  cairo_fill_preserve(cr);
  SetColor(cr, pal::kInk);
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  cairo_rectangle(cr, 42, 34, 8, 32);
  cairo_rectangle(cr, 30, 46, 32, 8);
  SetColor(cr, pal::kPurple);
  cairo_fill(cr);
  TextStyle st;
  st.size = 28;
  st.outline = 2.5;
  st.shadow = 2;
  DrawText(cr, st, "more", 158, 45, 1);
  DrawText(cr, st, "games", 158, 78, 1);
  WriteBmp(c, dir + "/CollectButton.bmp", Key::Blue, pal::kShelf);
}

void PageNumbers(const std::string& dir) {
  Canvas c(160, 24);
  TextStyle st;
  st.font = Font::Bold;
  st.size = 21;
  st.outline = 1.8;
  for (int d = 0; d < 10; ++d) DrawText(c.cr(), st, std::to_string(d), d * 16 + 8, 20, 1);
  WriteBmp(c, dir + "/PageNumbers.bmp", Key::Blue, pal::kShelf);
}

void Para(cairo_t* cr, double x, double y, const std::string& s, double size = 16,
          Font f = Font::Sans, Rgb col = pal::kInk) {
  TextStyle st;
  st.font = f;
  st.size = size;
  st.fill = col;
  DrawText(cr, st, s, x, y, 0);
}

void InfoScreen(const std::string& dir) {
  Canvas c(760, 420);
  cairo_t* cr = c.cr();
  Panel(cr, 0, 0, 760, 420, "About Lobbo");
  Para(cr, 48, 120, "Lobbo keeps your games together.", 20, Font::Bold, pal::kPurple);
  Para(cr, 48, 158, "Click a game's picture to open its menu: play, learn how to play,");
  Para(cr, 48, 182, "see its hall of fame, or choose who is playing.");
  Para(cr, 48, 216, "The arrows at the top turn the pages when there are many games.");
  Para(cr, 48, 250, "Sound and music switches in a game's menu count for every game.");
  Para(cr, 48, 284, "Up to eight players can keep their names here.");
  for (int i = 0; i < 5; ++i) DrawHead(c.cr(), 60 + i * 46, 318, i, 4 - i, 0.85);
  Plate(cr, 689, 370, 64, 40, 3);
  WriteBmp(c, dir + "/infoscreen.bmp", Key::Black, kPopMatte);
}

void Icon(cairo_t* cr, double ox, bool music, bool on) {
  ButtonFace(cr, ox, 0, 50, 50, "", on ? Face::Normal : Face::Pressed,
             on ? GreenLook() : CoralLook());
  double cx = ox + 25, cy = on ? 23.5 : 25.5;
  SetColor(cr, pal::kWhite);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  if (!music) {  // loudspeaker
    cairo_move_to(cr, cx - 13, cy - 5);
    cairo_line_to(cr, cx - 7, cy - 5);
    cairo_line_to(cr, cx + 1, cy - 12);
    cairo_line_to(cr, cx + 1, cy + 12);
    cairo_line_to(cr, cx - 7, cy + 5);
    cairo_line_to(cr, cx - 13, cy + 5);
    cairo_close_path(cr);
    cairo_fill_preserve(cr);
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 1.8);
    cairo_stroke(cr);
    if (on) {
      for (int k = 1; k <= 2; ++k) {
        cairo_arc(cr, cx + 2, cy, 5.0 * k, -0.9, 0.9);
        SetColor(cr, pal::kInk);
        cairo_set_line_width(cr, 4.2);
        cairo_stroke_preserve(cr);
        SetColor(cr, pal::kWhite);
        cairo_set_line_width(cr, 2);
        cairo_stroke(cr);
      }
    }
  } else {  // two beamed notes
    cairo_move_to(cr, cx - 6, cy + 8);
    cairo_line_to(cr, cx - 6, cy - 10);
    cairo_line_to(cr, cx + 10, cy - 13);
    cairo_line_to(cr, cx + 10, cy + 5);
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 4.5);
    cairo_stroke_preserve(cr);
    SetColor(cr, pal::kWhite);
    cairo_set_line_width(cr, 2.2);
    cairo_stroke(cr);
    for (auto [nx, ny] : {std::pair{cx - 9.5, cy + 8.5}, std::pair{cx + 6.5, cy + 5.5}}) {
      cairo_save(cr);
      cairo_translate(cr, nx, ny);
      cairo_scale(cr, 5, 3.8);
      cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
      cairo_restore(cr);
      SetColor(cr, pal::kWhite);
      cairo_fill_preserve(cr);
      SetColor(cr, pal::kInk);
      cairo_set_line_width(cr, 1.6);
      cairo_stroke(cr);
    }
  }
  if (!on) {  // struck through
    cairo_move_to(cr, ox + 11, 11 + 2);
    cairo_line_to(cr, ox + 39, 39 + 2);
    SetColor(cr, pal::kInk);
    cairo_set_line_width(cr, 6);
    cairo_stroke_preserve(cr);
    SetColor(cr, Hex(0xffe3e3));
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
  }
}

void Toggles(const std::string& dir) {
  for (bool music : {false, true}) {
    Canvas c(100, 50);
    Icon(c.cr(), 0, music, true);
    Icon(c.cr(), 50, music, false);
    UniteFaceMasks(c, 50, 2, pal::kShelf);
    WriteBmp(c, dir + (music ? "/music.bmp" : "/sfx.bmp"), Key::Blue, pal::kShelf);
  }
}

void YesNo(const std::string& dir) {
  Canvas c(180, 44);
  ButtonFace(c.cr(), 0, 0, 90, 44, "yes", Face::Normal, GreenLook());
  ButtonFace(c.cr(), 90, 0, 90, 44, "no", Face::Normal, CoralLook());
  WriteBmp(c, dir + "/yesno.bmp", Key::Blue, pal::kShelf);
}

void Caret(const std::string& dir) {
  Canvas c(10, 22);
  RoundRect(c.cr(), 1, 1, 8, 20, 2.5);
  FillGradPreserve(c.cr(), 0, 22, Hex(0xb06be0), pal::kPurple);
  WriteBmp(c, dir + "/blockcursor.bmp", Key::Blue, pal::kField);
}

void PlayerInfo(const std::string& dir) {
  Canvas c(694, 564);
  cairo_t* cr = c.cr();
  Panel(cr, 0, 0, 694, 564, "Who is playing?");
  Para(cr, 50, 118, "Type your details and press enter.", 19, Font::Bold, pal::kPurple);
  Para(cr, 50, 150, "Click a box to type in it; Tab or Enter moves to the next box.", 15);
  Para(cr, 50, 174, "Your name goes into the hall of fame of every game you play.", 15);
  Para(cr, 50, 198, "Remove clears this player; back keeps everything as it was.", 15);
  const char* labels[3] = {"Name", "Address", "E-mail"};
  const int fy[3] = {270, 336, 404};
  for (int i = 0; i < 3; ++i) {
    Para(cr, 50, fy[i] - 9, labels[i], 15, Font::Bold, pal::kShelf);
    FieldBox(cr, 50, fy[i], 580, 26);
  }
  Plate(cr, 37, 486, 90, 44, 3);
  Para(cr, 138, 506, "send my details", 16, Font::Bold, pal::kShelf);
  Para(cr, 138, 524, "with my high scores", 13, Font::Sans, pal::kInk);
  Plate(cr, 360, 471, 105, 44, 3);
  Plate(cr, 474, 471, 105, 44, 3);
  Plate(cr, 608, 489, 64, 40, 3);  // the hall of fame's back button: one file on Windows
  WriteBmp(c, dir + "/PlayerInfo.bmp", Key::Black, kPopMatte);
}

void HallOfFame(const std::string& dir) {
  Canvas c(694, 564);
  cairo_t* cr = c.cr();
  Panel(cr, 0, 0, 694, 564, "Hall of fame");
  Trophy(cr, 90, 100, 1.6);
  Para(cr, 150, 120, "The best twenty.", 20, Font::Bold, pal::kPurple);
  Para(cr, 150, 148, "Beat a score here and your", 15);
  Para(cr, 150, 170, "name joins the list.", 15);
  Para(cr, 150, 204, "Upload shows your best score", 13);
  Para(cr, 150, 222, "on the web site's table.", 13);
  Plate(cr, 552, 88, 130, 50, 3);
  Plate(cr, 552, 149, 130, 50, 3);
  Plate(cr, 595, 220, 64, 40, 3);
  // The headers sit low and small enough to stay clear of the back button
  // above the right column's scores.
  TextStyle head;
  head.font = Font::Bold;
  head.size = 10.5;
  head.fill = pal::kShelf;
  for (int col = 0; col < 2; ++col) {
    double nx = col == 0 ? 56 : 387, sx = col == 0 ? 256 : 587;
    DrawText(cr, head, "name", nx, 271, 0);
    DrawText(cr, head, "score", sx, 271, 0);
    for (int r = 0; r < 10; ++r) {
      double y = 275 + 26 * r;
      RoundRect(cr, nx - 8, y - 1, 298, 24, 6);
      SetColor(cr, Darker(pal::kPanelEdge, 0.1));
      cairo_fill(cr);
      // Rows are flat, the colour both hall fonts are inked for.
      cairo_rectangle(cr, nx - 5, y, 292, 22);
      SetColor(cr, pal::kRow);
      cairo_fill(cr);
      TextStyle rank;
      rank.font = Font::Bold;
      rank.size = 12;
      rank.fill = r + col * 10 < 3 ? pal::kHighlight : pal::kShelf;
      DrawText(cr, rank, std::to_string(r + 1 + col * 10), nx - 11, y + 16, 2);
    }
  }
  WriteBmp(c, dir + "/HallOfFameScreen.bmp", Key::Black, kPopMatte);
}

// The question "clear" asks over the hall of fame, in its panel and colours;
// the plates sit under its two buttons (ClearYes.bmp, ClearNo.bmp).
void ClearQuestion(const std::string& dir) {
  Canvas c(440, 250);
  cairo_t* cr = c.cr();
  Panel(cr, 0, 0, 440, 250, "Are you sure?");
  Trophy(cr, 62, 96, 1.1);
  Para(cr, 104, 114, "Clear all twenty scores?", 19, Font::Bold, pal::kPurple);
  Para(cr, 104, 140, "Every name and score goes,", 14);
  Para(cr, 104, 160, "and their replays with them.", 14);
  Para(cr, 104, 180, "This cannot be undone.", 14, Font::Bold, pal::kHighlight);
  Plate(cr, 70, 192, 130, 44, 3);
  Plate(cr, 240, 192, 130, 44, 3);
  WriteBmp(c, dir + "/ClearQuestion.bmp", Key::Black, kPopMatte);
}

}  // namespace

void MakeLauncherArt(const std::string& dir) {
  LauncherBackground(dir);
  PageArrows(dir);
  WriteButtonStrip(dir + "/Info.bmp", 76, 40, 2, "info", BlueLook());
  WriteButtonStrip(dir + "/SmallExit.bmp", 76, 40, 2, "exit", CoralLook());
  GameButtonFrames(dir);
  CollectTile(dir);
  PageNumbers(dir);
  InfoScreen(dir);
  WriteButtonStrip(dir + "/backbutton.bmp", 64, 40, 2, "back", BlueLook());
  WriteButtonStrip(dir + "/PlayButton.bmp", 150, 56, 2, "Play", GreenLook());
  WriteButtonStrip(dir + "/HowToPlayButton.bmp", 150, 56, 2, "How to play");
  WriteButtonStrip(dir + "/HighScoresButton.bmp", 150, 56, 2, "High scores");
  WriteButtonStrip(dir + "/MenuButton.bmp", 150, 56, 2, "Menu", BlueLook());
  WriteButtonStrip(dir + "/CreditsButton.bmp", 150, 56, 2, "Credits");
  WriteButtonStrip(dir + "/ExitButton.bmp", 150, 56, 2, "Exit", CoralLook());
  WriteButtonStrip(dir + "/PlayersButton.bmp", 240, 52, 2, "Who is playing?", BlueLook());
  Toggles(dir);
  WriteBitmapFont(dir + "/n_font.bmp", Font::Bold, 16, 26, 19, pal::kInk, pal::kField);
  WriteBitmapFont(dir + "/h_font.bmp", Font::Bold, 16, 26, 19, pal::kHighlight, pal::kField);
  WriteBitmapFont(dir + "/HallBlackFont.bmp", Font::Bold, 14, 22, 16, pal::kInk, pal::kRow);
  WriteBitmapFont(dir + "/HallPurpleFont.bmp", Font::Bold, 14, 22, 16, pal::kPurple, pal::kRow);
  Caret(dir);
  PlayerInfo(dir);
  WriteButtonStrip(dir + "/EnterButton.bmp", 105, 44, 2, "enter", GreenLook());
  WriteButtonStrip(dir + "/RemoveButton.bmp", 105, 44, 2, "remove", CoralLook());
  // The players' "back" and the hall of fame's "backbutton" differ only in
  // case, which on Windows is one file: the same picture under both names.
  WriteButtonStrip(dir + "/BackButton.bmp", 64, 40, 2, "back", BlueLook());
  YesNo(dir);
  HallOfFame(dir);
  WriteButtonStrip(dir + "/UploadButton.bmp", 130, 50, 2, "upload");
  WriteButtonStrip(dir + "/ClearScores.bmp", 130, 50, 2, "clear", CoralLook());
  ClearQuestion(dir);
  WriteButtonStrip(dir + "/ClearYes.bmp", 130, 44, 2, "clear", CoralLook());
  WriteButtonStrip(dir + "/ClearNo.bmp", 130, 44, 2, "keep", GreenLook());
  // The web links: the home page of empty game slots and the score server the
  // hall of fame uploads to (a score server on this machine by default).
  WriteFile(dir + "/setup.ini",
            "[setup]\r\nfullscreen=0\r\nnowindow=0\r\n\r\n"
            "[server]\r\nhome=http://localhost:8080/\r\nscores=http://localhost:8080\r\n");
}

}  // namespace art
