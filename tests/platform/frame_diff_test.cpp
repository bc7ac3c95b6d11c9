// The window backend's change detection: which rows of a frame differ from
// the one last shown.
#include <gtest/gtest.h>

#include <vector>

#include "platform/frame_diff.h"

namespace {

TEST(FrameDiff, ReportsTheSpanOfChangedRowsAndNothingForTheSameFrame) {
  constexpr int kPitch = 16, kRows = 10;
  std::vector<uint8_t> frame(kPitch * kRows, 7);
  platform::FrameDiff diff;
  auto take = [&] { return diff.Take(frame.data(), kPitch, kRows); };

  auto rows = take();  // the first frame is all new
  EXPECT_EQ(rows.first, 0);
  EXPECT_EQ(rows.count, kRows);
  EXPECT_EQ(take().count, 0);

  frame[3 * kPitch + 15] = 1;  // last byte of row 3
  frame[6 * kPitch] = 1;       // first byte of row 6
  rows = take();
  EXPECT_EQ(rows.first, 3);
  EXPECT_EQ(rows.count, 4);
  EXPECT_EQ(take().count, 0);  // the copy took the change

  frame[kRows * kPitch - 1] = 2;
  rows = take();
  EXPECT_EQ(rows.first, kRows - 1);
  EXPECT_EQ(rows.count, 1);

  diff.Invalidate();
  EXPECT_EQ(take().count, kRows);
  EXPECT_EQ(diff.Take(frame.data(), kPitch / 2, kRows * 2).count, kRows * 2);  // another shape is all new
}

}  // namespace
