// Reading the game's frame dumps as a player reads the screen (which head is
// on each cell, the HUD numbers, whether a guy or a picture is there), and a
// model of the board written from the game's rules, so that the end-to-end
// tests work out by themselves what the program should show.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/bitmap.h"
#include "platform/win/ddraw.h"
#include "gx/random.h"

namespace gamee2e {

// A picture as 16-bit pixels (frame dumps convert back exactly: they were
// made from 5-6-5 pixels by bit replication).
struct Picture {
  int width = 0, height = 0;
  std::vector<uint16_t> pixels;
  bool Loaded() const { return width > 0; }
  uint16_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline Picture Load(const std::string& path) {
  Picture p;
  IDirectDrawSurface* s = platform::LoadBitmapSurface(path.c_str(), 16);
  if (!s) return p;
  p.width = s->Width();
  p.height = s->Height();
  p.pixels.resize(static_cast<size_t>(p.width) * p.height);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      p.pixels[static_cast<size_t>(y) * p.width + x] =
          reinterpret_cast<const uint16_t*>(s->Pixels() + static_cast<size_t>(y) * s->Pitch())[x];
  s->Release();
  return p;
}

constexpr uint16_t kBlueKey = 0x001F;

// Share of the w x h area at (x, y) of the frame that shows the sprite cut at
// (sx, sy) of sheet drawn over the background (null sheet: background only).
inline double Match(const Picture& frame, const Picture& background, const Picture* sheet, int sx, int sy, int x,
                    int y, int w, int h) {
  int same = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      uint16_t expected = background.At(x + i, y + j);
      if (sheet) {
        const uint16_t s = sheet->At(sx + i, sy + j);
        if (s != kBlueKey) expected = s;
      }
      same += frame.At(x + i, y + j) == expected;
    }
  return static_cast<double>(same) / (w * h);
}

struct Assets {
  Picture background, heads, font, congrats, gameOver, hallOfFame, help;
  explicit Assets(const std::string& dir)
      : background(Load(dir + "/background.bmp")),
        heads(Load(dir + "/quibbleton.bmp")),
        font(Load(dir + "/scorefont.bmp")),
        congrats(Load(dir + "/congrats.bmp")),
        gameOver(Load(dir + "/GameOverOOT.bmp")),
        hallOfFame(Load(dir + "/hallfamepop.bmp")),
        help(Load(dir + "/title/HowToPlay.bmp")) {}
};

// Head on every cell (colour * 5 + face), -1 for an empty cell, -2 when the
// cell shows nothing recognisable (an animation over it, say).
inline std::vector<int> ReadBoard(const Picture& frame, const Assets& a) {
  std::vector<int> cells(150, -2);
  for (int cell = 0; cell < 150; ++cell) {
    const int x = 137 + (cell % 15) * 41, y = 10 + (cell / 15) * 55;
    double best = Match(frame, a.background, nullptr, 0, 0, x, y, 41, 55);
    int which = -1;
    for (int t = 0; t < 25; ++t) {
      const double m = Match(frame, a.background, &a.heads, (t % 5) * 41, (t / 5) * 55, x, y, 41, 55);
      if (m > best) {
        best = m;
        which = t;
      }
    }
    if (best >= 0.97) cells[cell] = which;
  }
  return cells;
}

// A HUD number right-aligned at right with its top at y; -1 when unreadable.
inline int ReadNumber(const Picture& frame, const Assets& a, int right, int y) {
  const int g = a.font.width / 10;
  int value = 0, scale = 1, digits = 0;
  for (int x = right - g; x >= 0; x -= g) {
    double best = Match(frame, a.background, nullptr, 0, 0, x, y, g, a.font.height);
    int which = -1;
    for (int d = 0; d < 10; ++d) {
      const double m = Match(frame, a.background, &a.font, d * g, 0, x, y, g, a.font.height);
      if (m > best) {
        best = m;
        which = d;
      }
    }
    if (best < 0.97) return -1;
    if (which < 0) break;
    value += which * scale;
    scale *= 10;
    ++digits;
  }
  return digits ? value : -1;
}
inline int ReadScore(const Picture& f, const Assets& a) { return ReadNumber(f, a, 88, 116); }
inline int ReadBest(const Picture& f, const Assets& a) { return ReadNumber(f, a, 88, 74); }
inline int ReadLastGroup(const Picture& f, const Assets& a) { return ReadNumber(f, a, 84, 158); }

// Whether the picture is shown whole at (x, y). Its transparent pixels (pure
// blue for sprites, black for pop-up pictures) show what lies beneath, so
// they are not compared.
inline bool Shows(const Picture& frame, const Picture& picture, int x, int y) {
  int same = 0, compared = 0;
  for (int j = 0; j < picture.height; ++j)
    for (int i = 0; i < picture.width; ++i) {
      const uint16_t p = picture.At(i, j);
      if (p == kBlueKey || p == 0) continue;
      ++compared;
      same += frame.At(x + i, y + j) == p;
    }
  return compared > 0 && same >= compared * 98 / 100;
}

// Whether the guy's home spot shows only the background (the part of it
// that the board's edge column does not reach).
inline bool GuyGone(const Picture& frame, const Assets& a, int guy) {
  const int x = guy < 10 ? 99 : 752, y = (guy % 10) * 55 + 10;
  return Match(frame, a.background, nullptr, 0, 0, x, y, 37, 55) >= 0.99;
}

// Timer dots still shown: centres that differ from the background.
inline int CountDots(const Picture& frame, const Assets& a) {
  int n = 0;
  for (int i = 0; i < 150; ++i) {
    const int x = 4 + (i % 10) * 9 + 4, y = 202 + (i / 10) * 9 + 4;
    n += frame.At(x, y) != a.background.At(x, y);
  }
  return n;
}

// --- The board, as the rules say it behaves ----------------------------------

inline std::vector<int> Deal() {
  std::vector<int> heads;
  int colours[5] = {}, faces[5] = {};
  while (heads.size() < 150) {
    const int c = lcg::rand() % 5;
    if (colours[c] >= 30) continue;
    ++colours[c];
    int v = lcg::rand() % 5;
    while (faces[v] >= 30) v = lcg::rand() % 5;
    ++faces[v];
    heads.push_back(c * 5 + v);
  }
  return heads;
}

struct Model {
  std::vector<int> cells;
  int minimum = 2;
  int score = 0;
  int lastGroup = 0;

  int Key(int cell, bool byFace) const { return byFace ? cells[cell] % 5 : cells[cell] / 5; }

  void Group(int cell, bool byFace, std::vector<int>& group) const {
    if (cells[cell] < 0) return;
    if (std::find(group.begin(), group.end(), cell) == group.end()) group.push_back(cell);
    const int c = cell % 15, r = cell / 15;
    std::vector<int> next;
    if (c > 0) next.push_back(cell - 1);
    if (c < 14) next.push_back(cell + 1);
    if (r > 0) next.push_back(cell - 15);
    if (r < 9) next.push_back(cell + 15);
    for (int n : next) {
      if (cells[n] < 0 || Key(n, byFace) != Key(cell, byFace)) continue;
      if (std::find(group.begin(), group.end(), n) != group.end()) continue;
      group.push_back(n);
      Group(n, byFace, group);
    }
  }

  // A click: the number of heads removed (0 when rejected or empty).
  int Click(int cell, bool byFace) {
    if (cells[cell] < 0) return 0;
    std::vector<int> group;
    Group(cell, byFace, group);
    int multiplier = 1, points = 0;
    if (static_cast<int>(group.size()) >= minimum) {
      std::vector<bool> counted(group.size(), false);
      for (size_t i = 0; i < group.size(); ++i) {
        bool twin = false;
        for (size_t j = 0; j < i; ++j)
          if (cells[group[j]] == cells[group[i]]) {
            if (!counted[j]) {
              counted[j] = true;
              ++multiplier;
            }
            twin = true;
          }
        // A head without a twin, or before the first twin, pays its place at once.
        if (!(multiplier >= 2 && twin)) score += static_cast<int>(i + 1) * 100;
        points += static_cast<int>(i + 1) * 100;
      }
      for (int c : group) cells[c] = -1;
    }
    score += points * multiplier;
    lastGroup = points + points * multiplier;
    Settle();
    return static_cast<int>(group.size()) >= minimum ? static_cast<int>(group.size()) : 0;
  }

  void Settle() {
    for (int c = 0; c < 15; ++c) {
      int to = 9;
      for (int r = 9; r >= 0; --r)
        if (cells[c + r * 15] >= 0) {
          const int head = cells[c + r * 15];
          cells[c + r * 15] = -1;
          cells[c + to * 15] = head;
          --to;
        }
    }
  }

  // The left-hand guy's order on row: true when he ends squashed.
  bool PushRight(int row) {
    const int start = row * 15, end = start + 14;
    int guy = start;
    for (;;) {
      int first = -1;
      for (int c = start; c <= end && first < 0; ++c)
        if (cells[c] >= 0) first = c;
      if (first < 0) return false;
      for (int s = guy; s < first; ++s)
        if (row != 9 && cells[s + 15] < 0) return false;
      guy = std::max(guy, first);
      int gap = -1;
      for (int c = first; c <= end && gap < 0; ++c)
        if (cells[c] < 0) gap = c;
      if (gap < 0) return false;
      for (int c = gap; c > first; --c) {
        if (cells[c - 1] < 0) continue;
        cells[c] = cells[c - 1];
        cells[c - 1] = -1;
        // A moved head over a hole drops at once; the others wait for the settle.
        int at = c;
        while (at + 15 < 150 && cells[at + 15] < 0) {
          cells[at + 15] = cells[at];
          cells[at] = -1;
          at += 15;
        }
      }
      Settle();
      if (cells[first] >= 0) return true;
    }
  }

  int Count() const {
    return static_cast<int>(std::count_if(cells.begin(), cells.end(), [](int h) { return h >= 0; }));
  }
};

// --- The state dump -----------------------------------------------------------

// The board as the game's state dump writes it: per cell its colour digit
// and face letter, ".." for an empty cell, rows of fifteen.
inline std::string BoardText(const std::vector<int>& cells) {
  std::string text;
  for (int cell = 0; cell < 150; ++cell) {
    text += cell % 15 ? " " : "";
    text += cells[cell] < 0 ? std::string("..")
                            : std::string{static_cast<char>('0' + cells[cell] / 5), static_cast<char>('a' + cells[cell] % 5)};
    if (cell % 15 == 14) text += "\n";
  }
  return text;
}

}  // namespace gamee2e
