// The pixel font: every glyph is drawn and distinct, cells are opaque, and
// clipping at the view's edges shows the right part and writes nothing outside.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gx/gx_font.h"

namespace {

constexpr uint16_t kInk = 0xFFFF, kPaper = 0x0000, kBackground = 0x1234, kGuard = 0xDEAD;

// A w x h view inside a buffer with a guard border of 16 pixels.
struct Target {
  static constexpr int kBorder = 16;
  int w, h, stride;
  std::vector<uint16_t> px;
  Target(int width, int height)
      : w(width), h(height), stride(width + 2 * kBorder), px(static_cast<size_t>(stride) * (height + 2 * kBorder), kGuard) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) At(x, y) = kBackground;
  }
  uint16_t& At(int x, int y) { return px[(y + kBorder) * stride + x + kBorder]; }
  blit::View View() {
    return {reinterpret_cast<uint8_t*>(&At(0, 0)), stride * 2, w, h};
  }
  bool GuardIntact() {
    for (int y = -kBorder; y < h + kBorder; ++y)
      for (int x = -kBorder; x < w + kBorder; ++x)
        if ((x < 0 || y < 0 || x >= w || y >= h) && At(x, y) != kGuard) return false;
    return true;
  }
};

std::vector<uint16_t> Cell(char c) {
  Target t(kPixelFontCellWidth, kPixelFontCellHeight);
  const char text[2] = {c, 0};
  DrawPixelText(t.View(), 0, 0, text, kInk, kPaper);
  std::vector<uint16_t> cell;
  for (int y = 0; y < kPixelFontCellHeight; ++y)
    for (int x = 0; x < kPixelFontCellWidth; ++x) cell.push_back(t.At(x, y));
  return cell;
}

TEST(PixelFont, EveryPrintableGlyphHasInkIsOpaqueAndIsDistinct) {
  std::vector<std::vector<uint16_t>> cells;
  for (int c = 32; c <= 126; ++c) {
    std::vector<uint16_t> cell = Cell(static_cast<char>(c));
    int ink = 0;
    for (uint16_t p : cell) {
      ASSERT_TRUE(p == kInk || p == kPaper) << "cell of '" << static_cast<char>(c) << "' not opaque";
      ink += p == kInk;
    }
    if (c == ' ')
      EXPECT_EQ(ink, 0);
    else
      EXPECT_GT(ink, 0) << "'" << static_cast<char>(c) << "' has no ink";
    for (size_t other = 0; other < cells.size(); ++other)
      EXPECT_NE(cells[other], cell) << "'" << static_cast<char>(c) << "' looks like '"
                                    << static_cast<char>(32 + other) << "'";
    cells.push_back(cell);
  }
  // Characters outside the printable range draw as '?'.
  EXPECT_EQ(Cell('\t'), Cell('?'));
  EXPECT_EQ(Cell(static_cast<char>(0xE9)), Cell('?'));
}

TEST(PixelFont, FrameRateReadoutFitsAtItsPlace) {
  // The library prints "100.00" at (580, 0) on the 800 x 600 back buffer.
  Target t(800, 600);
  const int width = DrawPixelText(t.View(), 580, 0, "100.00", kInk, kPaper);
  EXPECT_EQ(width, 6 * kPixelFontCellWidth);
  EXPECT_EQ(t.At(579, 0), kBackground);
  EXPECT_EQ(t.At(580 + width, 0), kBackground);
  EXPECT_EQ(t.At(580, kPixelFontCellHeight), kBackground);
  for (int i = 0; i < 6; ++i) {
    std::vector<uint16_t> want = Cell("100.00"[i]);
    for (int y = 0; y < kPixelFontCellHeight; ++y)
      for (int x = 0; x < kPixelFontCellWidth; ++x)
        ASSERT_EQ(t.At(580 + i * kPixelFontCellWidth + x, y), want[y * kPixelFontCellWidth + x]);
  }
  EXPECT_EQ(DrawPixelText(t.View(), 0, 0, "", kInk, kPaper), 0);
  EXPECT_EQ(DrawPixelText(t.View(), 0, 0, nullptr, kInk, kPaper), 0);
}

TEST(PixelFont, ClippingShowsTheVisiblePartAndWritesNothingOutside) {
  const std::string text = "Wg@9|";
  const int textW = static_cast<int>(text.size()) * kPixelFontCellWidth;
  // The reference: the text drawn whole.
  Target whole(textW, kPixelFontCellHeight);
  DrawPixelText(whole.View(), 0, 0, text.c_str(), kInk, kPaper);

  constexpr int kW = 20, kH = 11;
  for (int x = -textW - 2; x <= kW + 2; ++x) {
    for (int y = -kPixelFontCellHeight - 1; y <= kH + 1; ++y) {
      Target t(kW, kH);
      EXPECT_EQ(DrawPixelText(t.View(), x, y, text.c_str(), kInk, kPaper), textW);
      ASSERT_TRUE(t.GuardIntact()) << "write outside the view drawing at " << x << "," << y;
      for (int py = 0; py < kH; ++py) {
        for (int px = 0; px < kW; ++px) {
          const int tx = px - x, ty = py - y;
          const bool covered = tx >= 0 && tx < textW && ty >= 0 && ty < kPixelFontCellHeight;
          ASSERT_EQ(t.At(px, py), covered ? whole.At(tx, ty) : kBackground) << x << "," << y << " pixel " << px
                                                                              << "," << py;
        }
      }
    }
  }
}

}  // namespace
