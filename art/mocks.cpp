// Mock screens for the contact sheet: the written pictures put together as
// the programs will show them, to judge the whole and not only the parts.
#include <cstdint>
#include <string>
#include <vector>

#include "art/canvas.h"
#include "art/generator.h"

namespace art {

namespace {

constexpr long kBlue = 0x0000ff, kBlack = 0x000000;

// Draws text with a written bitmap font, finding the glyphs by scanning for
// all-blue columns as the launcher does.
void FontText(Mock& m, const std::string& font, const std::string& text, int x, int y, int spacing) {
  int fw, fh;
  const std::vector<uint32_t>& px = WrittenPixels(font, &fw, &fh);
  std::vector<std::pair<int, int>> glyphs;
  auto blank = [&](int col) {
    for (int r = 0; r < fh; ++r)
      if (px[static_cast<size_t>(r) * fw + col] != static_cast<uint32_t>(kBlue)) return false;
    return true;
  };
  int col = 0;
  while (col < fw && glyphs.size() < 94) {
    while (col < fw && blank(col)) ++col;
    int a = col;
    while (col < fw && !blank(col)) ++col;
    glyphs.push_back({a, col});
  }
  int widest = 0;
  for (auto [a, b] : glyphs) widest = std::max(widest, b - a);
  for (char ch : text) {
    if (ch < 33 || ch > 126 || glyphs.size() < 94) {
      x += widest / 2;
      continue;
    }
    auto [a, b] = glyphs[ch - 33];
    m.Blit(font, a, 0, b - a, fh, x, y, kBlue);
    x += b - a + spacing;
  }
}

uint32_t g_rng = 99;
int Rand(int n) {
  g_rng = g_rng * 214013u + 2531011u;
  return static_cast<int>((g_rng >> 16) & 0x7fff) % n;
}

}  // namespace

void MakeMocks() {
  {
    Mock m("mock: a game in progress", "Quibbleton/background.bmp");
    for (int cell = 0; cell < 150; ++cell) {
      int col = cell % 15, row = cell / 15;
      if (row < 3 && col > 4 && col < 9) continue;  // a cleared hole
      if (row == 5 && col < 2) continue;            // a guy walked in here
      int t = Rand(25);
      m.Blit("Quibbleton/quibbleton.bmp", (t % 5) * 41, (t / 5) * 55, 41, 55, 137 + col * 41,
             10 + row * 55, kBlue);
    }
    for (int g = 0; g < 20; ++g) {
      int pose = g == 5 ? 4 : g == 12 ? 13 : g == 7 ? 9 : g == 16 ? 1 : 0;
      int x = g < 10 ? 99 : 751, y = (g % 10) * 55 + 10;
      if (g == 5) x = 137 + 41;
      m.Blit("Quibbleton/slaveanims.bmp", pose * 41, (g < 10 ? 0 : 55), 41, 55, x, y, kBlue);
    }
    m.Blit("Quibbleton/crumbleanim.bmp", 2 * 41, 7 * 55, 41, 55, 137 + 6 * 41, 10 + 3 * 55, kBlue);
    m.Blit("Quibbleton/scoring.bmp", 1 * 40, 27 * 17, 40, 17, 137 + 6 * 41, 10 + 3 * 55 - 20, kBlue);
    m.Blit("Quibbleton/scoremultipliers.bmp", 0, 23 * 17, 40, 17, 137 + 7 * 41, 10 + 2 * 55, kBlue);
    auto number = [&](const std::string& s, int right, int y) {
      int x = right - 12 * static_cast<int>(s.size());
      for (char ch : s) {
        m.Blit("Quibbleton/scorefont.bmp", (ch - '0') * 12, 0, 12, 20, x, y, -1);
        x += 12;
      }
    };
    number("48200", 88, 74);
    number("12600", 88, 116);
    number("1200", 84, 158);
    for (int i = 0; i < 113; ++i)
      m.Blit("Quibbleton/timerdots.bmp", ((i / 10) % 5) * 9, 0, 9, 9, 4 + (i % 10) * 9, 202 + (i / 10) * 9,
             kBlue);
    m.Blit("Quibbleton/newgame.bmp", 78, 0, 78, 48, 14, 351, kBlue);
    m.Blit("Quibbleton/howto.bmp", 0, 0, 78, 48, 14, 407, kBlue);
    m.Blit("Quibbleton/back.bmp", 156, 0, 78, 48, 14, 463, kBlue);
    m.Blit("Quibbleton/exit.bmp", 0, 0, 78, 48, 14, 519, kBlue);
    m.Done();
  }
  {
    Mock m("mock: the end of a game", "Quibbleton/background.bmp");
    for (int g = 0; g < 20; ++g)
      m.Blit("Quibbleton/slaveanims.bmp", (10 + g % 2) * 41, (g < 10 ? 0 : 55), 41, 55, g < 10 ? 99 : 751,
             (g % 10) * 55 + 10, kBlue);
    m.Blit("Quibbleton/congrats.bmp", 0, 0, 310, 180, 290, 148, kBlue);
    m.Blit("Quibbleton/hallfamepop.bmp", 0, 0, 164, 100, 362, 380, kBlack);
    m.Blit("Quibbleton/GameOverOOT.bmp", 0, 0, 310, 180, 290, 10, kBlack);
    m.Done();
  }
  {
    Mock m("mock: the launcher's game page", "dist/background.bmp");
    m.Blit("Quibbleton/LobboButton.bmp", 0, 0, 250, 100, 14, 140, kBlue);
    m.Blit("dist/GameButton.bmp", 250, 0, 250, 100, 14, 140, kBlue);
    m.Blit("dist/CollectButton.bmp", 0, 0, 250, 100, 271, 140, kBlue);
    m.Blit("dist/GameButton.bmp", 0, 0, 250, 100, 271, 140, kBlue);
    m.Blit("dist/PageArrowsLeft.bmp", 0, 0, 56, 56, 638, 19, kBlue);
    m.Blit("dist/PageArrowsRight.bmp", 56, 0, 56, 56, 739, 19, kBlue);
    m.Blit("dist/PageNumbers.bmp", 16, 0, 16, 24, 700, 30, kBlue);
    m.Blit("dist/Info.bmp", 0, 0, 76, 40, 637, 89, kBlue);
    m.Blit("dist/SmallExit.bmp", 0, 0, 76, 40, 718, 89, kBlue);
    m.Done();
  }
  {
    Mock m("mock: the title menu", "title/titlebackground.bmp");
    const char* left[3] = {"dist/HowToPlayButton.bmp", "dist/HighScoresButton.bmp", "dist/CreditsButton.bmp"};
    const char* right[3] = {"dist/PlayButton.bmp", "dist/MenuButton.bmp", "dist/ExitButton.bmp"};
    const int ys[3] = {296, 365, 435};
    for (int i = 0; i < 3; ++i) {
      m.Blit(left[i], 0, 0, 150, 56, 52, ys[i], kBlue);
      m.Blit(right[i], i == 0 ? 150 : 0, 0, 150, 56, 636, ys[i], kBlue);
    }
    m.Blit("dist/PlayersButton.bmp", 0, 0, 240, 52, 280, 318, kBlue);
    m.Blit("dist/sfx.bmp", 0, 0, 50, 50, 52, 505, kBlue);
    m.Blit("dist/music.bmp", 50, 0, 50, 50, 106, 505, kBlue);
    const char* names[8] = {"Ann", "Bob", "Player3", "Chidi", "Player5", "Player6", "Zoe", "Player8"};
    const int fx[8] = {239, 408, 238, 408, 238, 408, 238, 408}, fy[8] = {378, 378, 420, 420, 464, 464, 510, 510};
    for (int i = 0; i < 8; ++i) {
      if (i == 1)
        FontText(m, "dist/h_font.bmp", names[i], fx[i], fy[i], 2);
      else
        FontText(m, "dist/n_font.bmp", names[i], fx[i], fy[i], 2);
    }
    m.Done();
  }
  {
    Mock m("mock: the hall of fame", "title/titlebackground.bmp");
    m.Blit("dist/HallOfFameScreen.bmp", 0, 0, 694, 564, 53, 18, kBlack);
    m.Blit("dist/UploadButton.bmp", 130, 0, 130, 50, 53 + 552, 18 + 88, kBlue);
    m.Blit("dist/ClearScores.bmp", 0, 0, 130, 50, 53 + 552, 18 + 149, kBlue);
    m.Blit("dist/backbutton.bmp", 0, 0, 64, 40, 53 + 595, 18 + 220, kBlue);
    const char* names[6] = {"Ann", "Bob Builder", "Chidi", "Zoe", "Quentin", "Mai"};
    for (int r = 0; r < 13; ++r) {
      bool purple = r % 10 % 2 == 0;
      int x = r < 10 ? 56 : 387, y = 275 + 26 * (r % 10);
      std::string score = std::to_string(98000 - r * 6150);
      if (purple) {
        FontText(m, "dist/HallPurpleFont.bmp", names[r % 6], 53 + x, 18 + y, 1);
        FontText(m, "dist/HallPurpleFont.bmp", score, 53 + x + 200, 18 + y, 1);
      } else {
        FontText(m, "dist/HallBlackFont.bmp", names[r % 6], 53 + x, 18 + y, 1);
        FontText(m, "dist/HallBlackFont.bmp", score, 53 + x + 200, 18 + y, 1);
      }
    }
    m.Done();
  }
}

}  // namespace art
