// The window backend's change detection (which regions of a frame differ
// from the one last shown) and the scaling of the picture into a window of
// any size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/media/frame_diff.h"
#include "platform/media/picture_scaler.h"

namespace {

using platform::FrameDiff;

TEST(FrameDiff, ReportsEachRunOfChangedRowsWithItsColumnsAndNothingForTheSameFrame) {
  constexpr int kWidth = 8, kPitch = 16, kRows = 10;  // 16-bit pixels
  std::vector<uint8_t> frame(kPitch * kRows, 7);
  FrameDiff diff;
  auto take = [&] { return diff.Take(frame.data(), kPitch, kWidth, kRows, 2); };

  auto rects = take();  // the first frame is all new
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0].x, 0);
  EXPECT_EQ(rects[0].y, 0);
  EXPECT_EQ(rects[0].w, kWidth);
  EXPECT_EQ(rects[0].h, kRows);
  EXPECT_TRUE(take().empty());

  frame[3 * kPitch + 15] = 1;  // the high byte of row 3's last pixel
  frame[4 * kPitch + 4] = 1;   // pixel 2 of row 4
  frame[8 * kPitch] = 1;       // the first byte of row 8
  rects = take();
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0].x, 2);
  EXPECT_EQ(rects[0].y, 3);
  EXPECT_EQ(rects[0].w, kWidth - 2);
  EXPECT_EQ(rects[0].h, 2);
  EXPECT_EQ(rects[1].x, 0);
  EXPECT_EQ(rects[1].y, 8);
  EXPECT_EQ(rects[1].w, 1);
  EXPECT_EQ(rects[1].h, 1);
  EXPECT_TRUE(take().empty());  // the copy took the changes
  EXPECT_EQ(std::memcmp(diff.Shown(), frame.data(), frame.size()), 0);

  // Only the region written since the last frame is compared: a change
  // outside it is not looked for (nothing wrote there), one inside is found
  // at its own place.
  frame[0] = 5;
  frame[5 * kPitch + 4 * 2 + 1] = 5;  // pixel 4 of row 5
  rects = diff.Take(frame.data(), kPitch, kWidth, kRows, 2, FrameDiff::Rect{2, 3, 4, 4});
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0].x, 4);
  EXPECT_EQ(rects[0].y, 5);
  EXPECT_EQ(rects[0].w, 1);
  EXPECT_EQ(rects[0].h, 1);
  EXPECT_EQ(take().size(), 1u);  // the whole frame compared finds the other one
  EXPECT_TRUE(diff.Take(frame.data(), kPitch, kWidth, kRows, 2, FrameDiff::Rect{0, 0, 0, 0}).empty());

  diff.Invalidate();
  EXPECT_EQ(take().size(), 1u);
  EXPECT_EQ(diff.Take(frame.data(), kPitch / 2, kWidth / 2, kRows * 2, 2)[0].h, kRows * 2);  // another shape
}

TEST(FrameDiff, ManyScatteredChangesMergeIntoAFewRegionsThatCoverThemAll) {
  constexpr int kWidth = 800, kPitch = 1600, kRows = 600;
  std::vector<uint8_t> frame(static_cast<size_t>(kPitch) * kRows, 0);
  FrameDiff diff;
  diff.Take(frame.data(), kPitch, kWidth, kRows, 2);
  std::vector<std::pair<int, int>> dots;
  for (int k = 0; k < 40; ++k) dots.push_back({(k * 97) % kWidth, k * 15});
  for (auto [x, y] : dots) frame[static_cast<size_t>(y) * kPitch + x * 2] = 9;
  const auto rects = diff.Take(frame.data(), kPitch, kWidth, kRows, 2);
  EXPECT_LE(rects.size(), FrameDiff::kMaxRects);
  for (auto [x, y] : dots) {
    bool covered = false;
    for (const auto& r : rects) covered = covered || (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h);
    EXPECT_TRUE(covered) << x << "," << y;
  }
}

// The regions a frame wrote are compared each on its own: changes in two
// corners come back as two small regions, and a change between them that
// nothing wrote is not looked for. Past the limit the runs are joined, each
// join covering both runs whole, even a short run that starts inside a tall one.
TEST(FrameDiff, ComparesEachWrittenRegionOnItsOwnAndJoinedRunsCoverThemWhole) {
  constexpr int kWidth = 16, kPitch = 32, kRows = 12;
  std::vector<uint8_t> frame(kPitch * kRows, 0);
  FrameDiff diff;
  diff.Take(frame.data(), kPitch, kWidth, kRows, 2);
  auto pixel = [&](int x, int y) -> uint8_t& { return frame[static_cast<size_t>(y) * kPitch + x * 2]; };
  pixel(1, 1) = 1;
  pixel(14, 10) = 1;
  pixel(8, 6) = 1;  // written by nobody, as far as the list says
  auto rects = diff.Take(frame.data(), kPitch, kWidth, kRows, 2,
                         std::vector<FrameDiff::Rect>{{0, 0, 3, 3}, {12, 8, 4, 4}});
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0].x, 1);
  EXPECT_EQ(rects[0].y, 1);
  EXPECT_EQ(rects[0].w * rects[0].h, 1);
  EXPECT_EQ(rects[1].x, 14);
  EXPECT_EQ(rects[1].y, 10);
  EXPECT_EQ(rects[1].w * rects[1].h, 1);

  // A run of all twelve rows in column 0 and one-row runs in column 2 below
  // its top, from nine regions: one join too many.
  std::vector<FrameDiff::Rect> within{{0, 0, 1, kRows}};
  for (int y = 0; y < kRows; ++y) pixel(0, y) = 2;
  for (int y = 1; y <= static_cast<int>(FrameDiff::kMaxRects); ++y) {
    pixel(2, y) = 2;
    within.push_back({2, y, 1, 1});
  }
  rects = diff.Take(frame.data(), kPitch, kWidth, kRows, 2, within);
  EXPECT_LE(rects.size(), FrameDiff::kMaxRects);
  for (int y = 0; y < kRows; ++y) {
    for (int x : {0, 2}) {
      if (x == 2 && (y < 1 || y > static_cast<int>(FrameDiff::kMaxRects))) continue;
      bool covered = false;
      for (const auto& r : rects) covered = covered || (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h);
      EXPECT_TRUE(covered) << x << "," << y;
    }
  }
}

// A scaler laid out for a window of that size, whose window pixel is the
// RGB565 value itself plus `tag` (so untouched zeros tell apart).
platform::PictureScaler ScalerFor(int width, int height, uint32_t tag) {
  platform::PictureScaler scaler;
  scaler.Place(width, height);
  std::vector<uint32_t> low(256), high(256);
  for (uint32_t v = 0; v < 256; ++v) {
    low[v] = v | tag;
    high[v] = v << 8 | tag;
  }
  scaler.SetPalette(low, high);
  return scaler;
}

// A maximised 1280 x 1024 window: the picture 1280 x 960 between bars of 32
// rows; a changed picture pixel lands on the window pixels that show it, and
// the pointer maps back onto the same picture pixel.
TEST(PictureScaler, ScalesChangedRegionsIntoPlaceAndMapsThePointerBack) {
  const platform::PictureScaler scaler = ScalerFor(1280, 1024, 0x1000000u);
  const FrameDiff::Rect place = scaler.Placement();
  EXPECT_EQ(place.x, 0);
  EXPECT_EQ(place.y, 32);
  EXPECT_EQ(place.w, 1280);
  EXPECT_EQ(place.h, 960);

  std::vector<uint16_t> picture(800 * 600, 0);
  picture[300 * 800 + 500] = 0xF800;
  std::vector<uint32_t> window(1280 * 1024, 0);
  const FrameDiff::Rect r = scaler.Draw(reinterpret_cast<const uint8_t*>(picture.data()), 1600, {500, 300, 1, 1},
                                        reinterpret_cast<uint8_t*>(window.data()), 1280 * 4);
  // Picture pixel 500 covers window columns 800 and 801, row 300 rows 480 and 481 (+ the bar).
  EXPECT_EQ(r.x, 800);
  EXPECT_EQ(r.y, 32 + 480);
  EXPECT_EQ(r.w, 2);
  EXPECT_EQ(r.h, 2);
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) EXPECT_EQ(window[y * 1280 + x], 0xF800u + 0x1000000u);
  int written = 0;
  for (uint32_t v : window) written += v != 0;
  EXPECT_EQ(written, 4);

  int x = 801, y = 32 + 481;
  scaler.ToPicture(&x, &y);
  EXPECT_EQ(x, 500);
  EXPECT_EQ(y, 300);
  x = 5, y = 10;  // on the top bar
  scaler.ToPicture(&x, &y);
  EXPECT_LT(y, 0);
}

// A wide window, 1600 x 900: the picture 1200 x 900 between side bars of 200.
// Every window pixel of a changed region shows the picture pixel under it, and
// nothing around the region is touched.
TEST(PictureScaler, AWideWindowGetsSideBarsAndEveryPixelOfARegionInPlace) {
  const platform::PictureScaler scaler = ScalerFor(1600, 900, 0);
  const FrameDiff::Rect place = scaler.Placement();
  EXPECT_EQ(place.x, 200);
  EXPECT_EQ(place.y, 0);
  EXPECT_EQ(place.w, 1200);
  EXPECT_EQ(place.h, 900);
  std::vector<uint16_t> picture(800 * 600);
  for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint16_t>(i * 2654435761u >> 7);
  constexpr uint32_t kUntouched = 0xDEADBEEF;
  std::vector<uint32_t> window(1600 * 900, kUntouched);
  const FrameDiff::Rect r = scaler.Draw(reinterpret_cast<const uint8_t*>(picture.data()), 1600, {10, 20, 5, 3},
                                        reinterpret_cast<uint8_t*>(window.data()), 1600 * 4);
  EXPECT_EQ(r.x, 200 + 15);
  EXPECT_EQ(r.y, 30);
  EXPECT_EQ(r.w, 8);  // picture columns 10..14 at 1.5: window columns 15..22
  EXPECT_EQ(r.h, 5);  // rows 20..22: 30..34 (one picture row shown twice)
  for (int y = 0; y < 900; ++y)
    for (int x = 0; x < 1600; ++x) {
      const bool inside = x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
      int px = x, py = y;
      scaler.ToPicture(&px, &py);
      const uint32_t want = inside ? picture[py * 800 + px] : kUntouched;
      ASSERT_EQ(window[y * 1600 + x], want) << x << "," << y;
    }
  int x = 150, y = 450;  // on the left bar
  scaler.ToPicture(&x, &y);
  EXPECT_LT(x, 0);
}

// The usual window format, computed: each channel widened by repeating its
// top bits (white stays white), at the format's own places.
TEST(PictureScaler, PackedWindowPixelsWidenEachChannel) {
  platform::PictureScaler scaler;
  scaler.Place(800, 600);
  scaler.SetPacked(16, 8, 0, 0xFF000000u);
  const uint16_t row[4] = {0xF800, 0xF81F, 0x07E0, 0x8410};
  std::vector<uint16_t> picture(800 * 600, 0);
  std::copy(row, row + 4, picture.begin() + 800 * 7 + 100);
  std::vector<uint32_t> window(800 * 600, 0);
  scaler.Draw(reinterpret_cast<const uint8_t*>(picture.data()), 1600, {100, 7, 4, 1},
              reinterpret_cast<uint8_t*>(window.data()), 800 * 4);
  EXPECT_EQ(window[800 * 7 + 100], 0xFFFF0000u);
  EXPECT_EQ(window[800 * 7 + 101], 0xFFFF00FFu);
  EXPECT_EQ(window[800 * 7 + 102], 0xFF00FF00u);
  EXPECT_EQ(window[800 * 7 + 103], 0xFF848284u);
  scaler.SetPacked(0, 8, 16, 0);  // blue, green, red the other way round
  scaler.Draw(reinterpret_cast<const uint8_t*>(picture.data()), 1600, {100, 7, 4, 1},
              reinterpret_cast<uint8_t*>(window.data()), 800 * 4);
  EXPECT_EQ(window[800 * 7 + 100], 0x000000FFu);
  EXPECT_EQ(window[800 * 7 + 102], 0x0000FF00u);
}

}  // namespace
