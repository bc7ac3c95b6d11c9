// The layer's own 24-bit → RGB565 conversion gives exactly what SDL's
// conversion gives, for every picture the programs ship and for a picture
// whose rows need padding.
#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/win/bitmap.h"
#include "tests/widgets/framework_test_support.h"

namespace {

namespace fs = std::filesystem;

// The same file through SDL's decoder and SDL's own conversion.
std::vector<uint16_t> BySdl(const std::string& path, int* w, int* h) {
  SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
  if (!loaded) return {};
  SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB565, 0);
  SDL_FreeSurface(loaded);
  if (!converted) return {};
  *w = converted->w;
  *h = converted->h;
  std::vector<uint16_t> pixels;
  SDL_LockSurface(converted);
  for (int y = 0; y < converted->h; ++y) {
    const auto* row = reinterpret_cast<const uint16_t*>(static_cast<uint8_t*>(converted->pixels) + y * converted->pitch);
    pixels.insert(pixels.end(), row, row + converted->w);
  }
  SDL_UnlockSurface(converted);
  SDL_FreeSurface(converted);
  return pixels;
}

void ExpectSameAsSdl(const std::string& path) {
  SCOPED_TRACE(path);
  int w = 0, h = 0;
  const std::vector<uint16_t> expected = BySdl(path, &w, &h);
  ASSERT_FALSE(expected.empty());
  IDirectDrawSurface* ours = platform::LoadBitmapSurface(path.c_str(), 16);
  ASSERT_NE(ours, nullptr);
  ASSERT_EQ(ours->Width(), w);
  ASSERT_EQ(ours->Height(), h);
  int differing = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) differing += fwtest::Pixel(ours, x, y) != expected[static_cast<size_t>(y) * w + x];
  ours->Release();
  EXPECT_EQ(differing, 0);
}

TEST(BitmapConversion, PixelForPixelAsSdlConvertsThem) {
  ExpectSameAsSdl(fwtest::WriteBmp(fwtest::ScratchDir() + "/odd.bmp", 7, 5, [](int x, int y) {
    return static_cast<uint32_t>((x * 37 + y * 91) * 0x010203u) & 0xFFFFFFu;
  }));
  int pictures = 0;
  for (const auto& entry : fs::recursive_directory_iterator(QB_DIST_DIR))
    if (entry.path().extension() == ".bmp") {
      ExpectSameAsSdl(entry.path().string());
      ++pictures;
    }
  EXPECT_GT(pictures, 40);
}

}  // namespace
