// Colour packing, keys, pixel reads, splitting and the two clipped blits.
#include "gx/surface.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/widgets/framework_test_support.h"

using namespace fwtest;

namespace {

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGraphics(); }
};

DDPIXELFORMAT Format555() {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(f);
  f.dwFlags = DDPF_RGB;
  f.dwRGBBitCount = 16;
  f.dwRBitMask = 0x7C00;
  f.dwGBitMask = 0x03E0;
  f.dwBBitMask = 0x001F;
  return f;
}

TEST_F(SurfaceTest, PackColorFollowsThePixelFormat) {
  SurfaceHolder s(NewSurface(4, 4));
  EXPECT_EQ(PackColor(s, 0, 0, 255), 0x001F);
  EXPECT_EQ(PackColor(s, 255, 255, 255), 0xFFFF);
  EXPECT_EQ(PackColor(s, 255, 0, 0), 0xF800);
  EXPECT_EQ(PackColor(s, 0, 255, 0), 0x07E0);
  // Low bits are dropped, not rounded: 7 of red is below one 5-bit step.
  EXPECT_EQ(PackColor(s, 7, 3, 7), 0x0000);
  EXPECT_EQ(PackColor(s, 8, 4, 8), 0x0821);

  const DDPIXELFORMAT f555 = Format555();
  EXPECT_EQ(PackColorForFormat(&f555, 0, 0, 255), 0x001F);
  EXPECT_EQ(PackColorForFormat(&f555, 255, 255, 255), 0x7FFF);
  EXPECT_EQ(PackColorForFormat(&f555, 255, 0, 0), 0x7C00);
  EXPECT_EQ(PackColorForFormat(&f555, 0, 255, 0), 0x03E0);

  EXPECT_EQ(PackColor(nullptr, 255, 255, 255), 0);
}

TEST_F(SurfaceTest, ColourKeyReadPixelAndFill) {
  SurfaceHolder s(NewSurface(5, 3));
  SetColorKeyRGB(s, 0, 0, 255);
  EXPECT_TRUE(s->HasColorKey());
  EXPECT_EQ(s->ColorKey(), 0x001Fu);

  Fill(s, 0x1234);
  EXPECT_EQ(Pixel(s, 0, 0), 0x1234);
  EXPECT_EQ(Pixel(s, 4, 2), 0x1234);
  SetPixel(s, 4, 2, 0xBEEF);
  EXPECT_EQ(ReadPixel(s, 4, 2), 0xBEEF);
  EXPECT_EQ(ReadPixel(s, 3, 2), 0x1234);
  // Outside the surface nothing is read.
  EXPECT_EQ(ReadPixel(s, 5, 0), 0);
  EXPECT_EQ(ReadPixel(s, 0, -1), 0);

  IDirectDrawSurface* eight = new IDirectDrawSurface(4, 2, 8, DDSCAPS_OFFSCREENPLAIN);
  eight->Pixels()[eight->Pitch() + 3] = 0xAB;
  EXPECT_EQ(ReadPixel(eight, 3, 1), 0xAB);
  eight->Release();

  int w = -1, h = -1;
  GetSurfaceSize(s, &w, &h);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 3);
  GetSurfaceSize(nullptr, &w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

TEST_F(SurfaceTest, OffscreenSurfaceHasABlackKey) {
  IDirectDrawSurface* s = CreateOffscreenSurface(41, 55);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Width(), 41);
  EXPECT_EQ(s->Height(), 55);
  EXPECT_EQ(s->BitsPerPixel(), 16);
  EXPECT_TRUE(s->HasColorKey());
  EXPECT_EQ(s->ColorKey(), 0u);
  s->Release();
}

TEST_F(SurfaceTest, CentreRectRoundsEachHalfDown) {
  SurfaceHolder s(NewSurface(101, 51));
  RECT r = CentreRect(s, 0, 0, 800, 600);
  EXPECT_EQ(r.left, 400 - 50);
  EXPECT_EQ(r.top, 300 - 25);
  EXPECT_EQ(r.right, r.left + 101);
  EXPECT_EQ(r.bottom, r.top + 51);
  r = CentreRect(s, 10, 20, 201, 101);
  EXPECT_EQ(r.left, 10 + 100 - 50);
  EXPECT_EQ(r.top, 20 + 50 - 25);
  // No surface: a 0 x 0 rectangle at the centre.
  r = CentreRect(nullptr, 0, 0, 800, 600);
  EXPECT_EQ(r.left, 400);
  EXPECT_EQ(r.top, 300);
  EXPECT_EQ(r.right, 400);
}

TEST_F(SurfaceTest, SplitSurfaceCutsRowMajorCellsAndIgnoresTheRemainder) {
  SurfaceHolder source(NewSurface(130, 55));
  Pattern(source);
  std::vector<IDirectDrawSurface*> cells;
  int columns = -1;
  EXPECT_EQ(SplitSurface(source, cells, 41, 55, &columns), 1);
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(columns, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(cells[i]->Width(), 41);
    EXPECT_EQ(cells[i]->Height(), 55);
    EXPECT_EQ(cells[i]->ColorKey(), kBlue);
    EXPECT_EQ(Pixel(cells[i], 0, 0), PatternAt(41 * i, 0));
    EXPECT_EQ(Pixel(cells[i], 40, 54), PatternAt(41 * i + 40, 54));
  }
  for (auto* c : cells) c->Release();
  cells.clear();

  // A 2 x 2 grid with a remainder on both edges, appended after what the list holds.
  SurfaceHolder grid(NewSurface(21, 13));
  Pattern(grid, 3);
  IDirectDrawSurface* existing = NewSurface(1, 1);
  cells.push_back(existing);
  EXPECT_EQ(SplitSurface(grid, cells, 10, 6, &columns), 1);
  ASSERT_EQ(cells.size(), 5u);
  EXPECT_EQ(columns, 2);
  EXPECT_EQ(cells[0], existing);
  EXPECT_EQ(Pixel(cells[1], 0, 0), PatternAt(0, 0, 3));
  EXPECT_EQ(Pixel(cells[2], 0, 0), PatternAt(10, 0, 3));
  EXPECT_EQ(Pixel(cells[3], 0, 0), PatternAt(0, 6, 3));
  EXPECT_EQ(Pixel(cells[4], 9, 5), PatternAt(19, 11, 3));
  // Key pixels of the source are copied too (the split is a plain blit).
  for (auto* c : cells) c->Release();
  cells.clear();

  // A bitmap smaller than one cell gives no cell; a zero cell size is refused.
  EXPECT_EQ(SplitSurface(grid, cells, 30, 30, &columns), 1);
  EXPECT_TRUE(cells.empty());
  EXPECT_EQ(SplitSurface(grid, cells, 0, 6, &columns), 0);
  EXPECT_TRUE(cells.empty());
}

TEST_F(SurfaceTest, LoadAndSplitReadsABitmapFile) {
  const std::string path = WriteBmp(ScratchDir() + "/split.bmp", 30, 10, [](int x, int) {
    return x < 10 ? 0xFF0000u : x < 20 ? 0x00FF00u : 0x0000FFu;
  });
  std::vector<IDirectDrawSurface*> cells;
  int columns = 0;
  EXPECT_EQ(LoadAndSplit(path.c_str(), cells, 10, 10, &columns), 1);
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(Pixel(cells[0], 5, 5), kRed);
  EXPECT_EQ(Pixel(cells[1], 5, 5), kGreen);
  EXPECT_EQ(Pixel(cells[2], 5, 5), kBlue);
  for (auto* c : cells) c->Release();
  cells.clear();
  EXPECT_EQ(LoadAndSplit((ScratchDir() + "/missing.bmp").c_str(), cells, 10, 10, &columns), 0);
  EXPECT_TRUE(cells.empty());
}

TEST_F(SurfaceTest, BlitClippedClipsAgainstTheDestinationOnly) {
  SurfaceHolder source(NewSurface(100, 60));
  Pattern(source);
  SurfaceHolder dest(NewSurface(80, 40));

  // destX = -10, w = 50: 40 columns from 10 columns into the source rectangle, at column 0.
  FillAll(dest, kWhite);
  BlitClipped(source, 5, 2, 50, 20, dest, -10, 3, DDBLT_WAIT);
  EXPECT_EQ(Pixel(dest, 0, 3), PatternAt(15, 2));
  EXPECT_EQ(Pixel(dest, 39, 22), PatternAt(54, 21));
  EXPECT_EQ(Pixel(dest, 40, 3), kWhite);
  EXPECT_EQ(Pixel(dest, 0, 2), kWhite);
  EXPECT_EQ(Pixel(dest, 0, 23), kWhite);

  // Right and bottom edges.
  FillAll(dest, kWhite);
  BlitClipped(source, 0, 0, 30, 30, dest, 70, 25, DDBLT_WAIT);
  EXPECT_EQ(Pixel(dest, 70, 25), PatternAt(0, 0));
  EXPECT_EQ(Pixel(dest, 79, 39), PatternAt(9, 14));
  EXPECT_EQ(Pixel(dest, 69, 25), kWhite);

  // Top-left corner with negative y.
  FillAll(dest, kWhite);
  BlitClipped(source, 0, 0, 20, 20, dest, -5, -7, DDBLT_WAIT);
  EXPECT_EQ(Pixel(dest, 0, 0), PatternAt(5, 7));
  EXPECT_EQ(Pixel(dest, 14, 12), PatternAt(19, 19));
  EXPECT_EQ(Pixel(dest, 15, 0), kWhite);

  // Entirely outside the destination: nothing.
  FillAll(dest, kWhite);
  BlitClipped(source, 0, 0, 20, 20, dest, 80, 0, DDBLT_WAIT);
  BlitClipped(source, 0, 0, 20, 20, dest, -20, 0, DDBLT_WAIT);
  // A source rectangle that leaves the source is refused as a whole.
  BlitClipped(source, 90, 0, 20, 20, dest, 0, 0, DDBLT_WAIT);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 80; ++x) ASSERT_EQ(Pixel(dest, x, y), kWhite) << x << "," << y;
}

TEST_F(SurfaceTest, DefaultFlagsApplyTheSourceKey) {
  SurfaceHolder source(NewSurface(4, 1));
  SetPixel(source, 0, 0, kRed);
  SetPixel(source, 1, 0, kBlue);
  SetPixel(source, 2, 0, kGreen);
  SetPixel(source, 3, 0, kBlue);
  SetColorKeyRGB(source, 0, 0, 255);
  SurfaceHolder dest(NewSurface(4, 1));
  FillAll(dest, kWhite);
  BlitClipped(source, 0, 0, 4, 1, dest, 0, 0);
  EXPECT_EQ(Pixel(dest, 0, 0), kRed);
  EXPECT_EQ(Pixel(dest, 1, 0), kWhite);
  EXPECT_EQ(Pixel(dest, 2, 0), kGreen);
  EXPECT_EQ(Pixel(dest, 3, 0), kWhite);
  // Any other flags value goes to Blt unchanged: a plain copy keeps key pixels.
  DrawSurfaceAt(source, dest, 0, 0, DDBLT_WAIT);
  EXPECT_EQ(Pixel(dest, 1, 0), kBlue);
}

TEST_F(SurfaceTest, DrawSurfaceAtClipsTheWholeSource) {
  SurfaceHolder source(NewSurface(100, 20));
  Pattern(source);
  SurfaceHolder dest(NewSurface(800, 30));
  FillAll(dest, kWhite);
  // 100 wide at x = 750 on 800: its first 50 columns.
  DrawSurfaceAt(source, dest, 750, 5, DDBLT_WAIT);
  EXPECT_EQ(Pixel(dest, 750, 5), PatternAt(0, 0));
  EXPECT_EQ(Pixel(dest, 799, 24), PatternAt(49, 19));
  EXPECT_EQ(Pixel(dest, 749, 5), kWhite);
  EXPECT_EQ(Pixel(dest, 750, 25), kWhite);

  FillAll(dest, kWhite);
  DrawSurfaceAt(source, dest, -30, -15, DDBLT_WAIT);
  EXPECT_EQ(Pixel(dest, 0, 0), PatternAt(30, 15));
  EXPECT_EQ(Pixel(dest, 69, 4), PatternAt(99, 19));
  EXPECT_EQ(Pixel(dest, 70, 0), kWhite);
  EXPECT_EQ(Pixel(dest, 0, 5), kWhite);

  // Wider than the destination on both sides.
  SurfaceHolder narrow(NewSurface(50, 30));
  FillAll(narrow, kWhite);
  DrawSurfaceAt(source, narrow, -10, 0, DDBLT_WAIT);
  EXPECT_EQ(Pixel(narrow, 0, 0), PatternAt(10, 0));
  EXPECT_EQ(Pixel(narrow, 49, 19), PatternAt(59, 19));
  EXPECT_EQ(Pixel(narrow, 0, 20), kWhite);

  // Null surfaces are ignored.
  DrawSurfaceAt(nullptr, dest, 0, 0);
  DrawSurfaceAt(source, nullptr, 0, 0);
}

TEST_F(SurfaceTest, DebugLogWritesOnlyWhenSwitchedOn) {
  const std::filesystem::path dir = std::filesystem::path(ScratchDir()) / "debuglog";
  std::filesystem::create_directories(dir);
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  EXPECT_EQ(DebugLoggingEnabled(), 0);
  DebugLog("%s", "Unable to use timers on this system");
  EXPECT_FALSE(std::filesystem::exists(dir / "debug.log"));
  SetDebugLogging(1);
  DebugLog("value %d\n", 42);
  DebugLog("%s\n", "next");
  SetDebugLogging(0);
  std::filesystem::current_path(old);
  std::ifstream in(dir / "debug.log");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "value 42\nnext\n");
}

}  // namespace
