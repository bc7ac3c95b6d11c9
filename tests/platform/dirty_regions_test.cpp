// Where a surface was drawn, kept as a few regions: what a frame of the game
// draws (a column of sprites, the score in a corner) stays that small, and
// whatever is added stays covered.
#include "platform/media/dirty_regions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using platform::DirtyRegions;
using Rect = DirtyRegions::Rect;

bool Covers(const std::vector<Rect>& regions, int x, int y) {
  for (const Rect& r : regions)
    if (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h) return true;
  return false;
}

int64_t AreaOf(const std::vector<Rect>& regions) {
  int64_t area = 0;
  for (const Rect& r : regions) area += static_cast<int64_t>(r.w) * r.h;
  return area;
}

TEST(DirtyRegions, AColumnOfSpritesIsOneRegionAndFarCornersStayApart) {
  DirtyRegions written;
  for (int row = 0; row < 10; ++row) written.Add({99, 10 + 55 * row, 41, 55});  // stacked edge to edge
  for (int row = 0; row < 10; ++row) written.Add({751, 10 + 55 * row, 41, 55});
  written.Add({4, 202, 90, 135});
  written.Add({13, 211, 9, 9});  // inside the last one
  written.Add({20, 20, 0, 5});   // empty
  const std::vector<Rect> regions = written.Take();
  ASSERT_EQ(regions.size(), 3u);
  EXPECT_EQ(AreaOf(regions), 2 * 41 * 550 + 90 * 135);  // nothing between them
  EXPECT_TRUE(written.Take().empty());
  EXPECT_TRUE(written.Empty());
}

TEST(DirtyRegions, ManyScatteredRectanglesStayFewAndAllCovered) {
  DirtyRegions written;
  std::vector<Rect> added;
  uint32_t seed = 12345;
  auto next = [&](int below) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(below));
  };
  for (int i = 0; i < 60; ++i) {
    const Rect r{next(780), next(580), 1 + next(20), 1 + next(20)};
    added.push_back(r);
    written.Add(r);
  }
  const std::vector<Rect> regions = written.Take();
  EXPECT_LE(regions.size(), DirtyRegions::kMaxRegions);
  for (const Rect& r : added) {
    EXPECT_TRUE(Covers(regions, r.x, r.y) && Covers(regions, r.x + r.w - 1, r.y + r.h - 1))
        << r.x << "," << r.y << " " << r.w << "x" << r.h;
  }
}

// A piece that only overlaps a region stays covered where it sticks out; one
// that bridges two regions joins them both; and past the limit the two
// regions joined are the two whose joining covers the fewest extra pixels.
TEST(DirtyRegions, OverlapsStayCoveredBridgesJoinAndTheLimitJoinsTheClosest) {
  DirtyRegions written;
  written.Add({100, 100, 20, 20});
  for (const Rect& out : {Rect{110, 105, 20, 5}, Rect{90, 105, 20, 5}, Rect{105, 110, 5, 20}, Rect{105, 90, 5, 20}})
    written.Add(out);
  std::vector<Rect> regions = written.Take();
  for (int x = 90; x < 130; ++x) EXPECT_TRUE(Covers(regions, x, 107)) << x;
  for (int y = 90; y < 130; ++y) EXPECT_TRUE(Covers(regions, 107, y)) << y;

  written.Add({0, 0, 10, 10});
  written.Add({0, 20, 10, 10});
  written.Add({0, 10, 10, 10});  // between the two, edge to edge with both
  regions = written.Take();
  ASSERT_EQ(regions.size(), 1u);
  EXPECT_EQ(AreaOf(regions), 300);

  for (int i = 0; i < static_cast<int>(DirtyRegions::kMaxRegions); ++i) written.Add({i * 100, 0, 4, 4});
  written.Add({7 * 100 + 6, 0, 4, 4});  // two pixels right of the last square
  regions = written.Take();
  EXPECT_EQ(regions.size(), DirtyRegions::kMaxRegions);
  EXPECT_EQ(AreaOf(regions), 8 * 16 + 4 * 4 + 2 * 4);  // the last two joined, with the gap between them
}

}  // namespace
