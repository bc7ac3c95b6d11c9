// Our BMP decoder beside SDL's for the formats the shipped pictures do not
// use but a painted replacement might: 8-bit with a short palette, 32-bit,
// top-down rows, the longer header versions. And what it refuses, it
// refuses with a reason.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/media/bmp_decode.h"
#include "platform/win/bitmap.h"

namespace {

struct Bmp {
  int width = 5, height = 3, bits = 24;
  bool topDown = false;
  uint32_t headerSize = 40, compression = 0, colours = 0;
};

// A file with pixel (x, y) of value x * 7 + y * 13 (+ 1, 2 for the other
// channels); an 8-bit one indexes a palette of `colours` entries.
std::vector<uint8_t> Make(const Bmp& b) {
  const uint32_t paletteEntries = b.bits == 8 ? (b.colours ? b.colours : 256) : 0;
  const uint32_t masks = b.compression == 3 && b.headerSize == 40 ? 12 : 0;
  const uint32_t offset = 14 + b.headerSize + masks + 4 * paletteEntries;
  const uint32_t rowBytes = (b.width * b.bits + 31) / 32 * 4;
  std::vector<uint8_t> f(offset + rowBytes * b.height, 0);
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) f[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  put(2, static_cast<uint32_t>(f.size()), 4);
  put(10, offset, 4);
  put(14, b.headerSize, 4);
  put(18, static_cast<uint32_t>(b.width), 4);
  put(22, static_cast<uint32_t>(b.topDown ? -b.height : b.height), 4);
  put(26, 1, 2);
  put(28, static_cast<uint32_t>(b.bits), 2);
  put(30, b.compression, 4);
  put(46, b.colours, 4);
  if (b.compression == 3) {
    put(54, 0x00FF0000u, 4);
    put(58, 0x0000FF00u, 4);
    put(62, 0x000000FFu, 4);
  }
  for (uint32_t i = 0; i < paletteEntries; ++i) put(14 + b.headerSize + masks + 4 * i, i * 0x030507u + 0x10, 4);
  for (int y = 0; y < b.height; ++y) {
    uint8_t* row = &f[offset + rowBytes * (b.topDown ? y : b.height - 1 - y)];
    for (int x = 0; x < b.width; ++x) {
      const int v = x * 7 + y * 13;
      if (b.bits == 8) row[x] = static_cast<uint8_t>(v % paletteEntries);
      for (int c = 0; b.bits > 8 && c < b.bits / 8; ++c) row[x * b.bits / 8 + c] = static_cast<uint8_t>(v * 9 + c * 77);
    }
  }
  return f;
}

std::vector<uint16_t> BySdl(const std::vector<uint8_t>& file) {
  SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromConstMem(file.data(), static_cast<int>(file.size())), 1);
  if (!loaded) return {};
  SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB565, 0);
  SDL_FreeSurface(loaded);
  std::vector<uint16_t> pixels;
  for (int y = 0; converted && y < converted->h; ++y) {
    const auto* row = reinterpret_cast<const uint16_t*>(static_cast<uint8_t*>(converted->pixels) + y * converted->pitch);
    pixels.insert(pixels.end(), row, row + converted->w);
  }
  SDL_FreeSurface(converted);
  return pixels;
}

std::vector<uint16_t> Ours(const std::vector<uint8_t>& file, int bits = 16) {
  IDirectDrawSurface* s = platform::LoadBitmapSurfaceFromMemory(file.data(), file.size(), bits);
  std::vector<uint16_t> pixels;
  for (int y = 0; s && y < s->Height(); ++y)
    for (int x = 0; x < s->Width(); ++x)
      pixels.push_back(bits == 8 ? s->Pixels()[y * s->Pitch() + x]
                                 : reinterpret_cast<const uint16_t*>(s->Pixels() + y * s->Pitch())[x]);
  if (s) s->Release();
  return pixels;
}

TEST(BmpDecoder, GivesWhatSdlGivesForEveryFormatItTakes) {
  std::vector<Bmp> cases;
  for (int bits : {8, 24, 32})
    for (bool topDown : {false, true})
      for (uint32_t header : {40u, 108u, 124u}) {
        Bmp b;
        b.bits = bits;
        b.topDown = topDown;
        b.headerSize = header;
        cases.push_back(b);
      }
  Bmp fewColours;
  fewColours.bits = 8;
  fewColours.colours = 100;
  cases.push_back(fewColours);
  Bmp masked;
  masked.bits = 32;
  masked.compression = 3;
  cases.push_back(masked);
  for (const Bmp& b : cases) {
    SCOPED_TRACE(testing::Message() << b.bits << " bits, header " << b.headerSize << (b.topDown ? ", top-down" : "")
                                    << ", compression " << b.compression);
    const std::vector<uint8_t> file = Make(b);
    const std::vector<uint16_t> expected = BySdl(file);
    ASSERT_EQ(expected.size(), size_t{15});
    EXPECT_EQ(Ours(file), expected);
  }
  // At 8 bits the indices stay as they are.
  Bmp eight;
  eight.bits = 8;
  eight.colours = 100;
  eight.topDown = true;
  const std::vector<uint16_t> indices = Ours(Make(eight), 8);
  ASSERT_EQ(indices.size(), size_t{15});
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(indices[y * 5 + x], (x * 7 + y * 13) % 100);
}

TEST(BmpDecoder, RefusesWhatItDoesNotTakeWithAReason) {
  Bmp four;
  four.bits = 4;
  Bmp rle;
  rle.bits = 8;
  rle.compression = 1;
  Bmp sixteen;
  sixteen.bits = 16;
  Bmp core;
  core.headerSize = 12;
  for (const Bmp& b : {four, rle, sixteen, core}) {
    const std::vector<uint8_t> file = Make(b);
    EXPECT_NE(platform::ReadBmpLayout(file.data(), file.size(), file.size(), nullptr), nullptr) << b.bits;
    EXPECT_TRUE(Ours(file).empty()) << b.bits;
  }
  // A 24-bit picture is not a palette picture.
  EXPECT_TRUE(Ours(Make(Bmp{}), 8).empty());
  // A pixel naming a colour past a short palette: SDL refuses it too.
  Bmp shortPalette;
  shortPalette.bits = 8;
  shortPalette.colours = 100;
  std::vector<uint8_t> file = Make(shortPalette);
  file[file.size() - 8] = 200;  // the first pixel of the last row in the file
  EXPECT_TRUE(Ours(file).empty());
  EXPECT_TRUE(BySdl(file).empty());
}

}  // namespace
