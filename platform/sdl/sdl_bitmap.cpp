// BMP decoding through SDL's decoder, converted into the layer's surfaces.
#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/win/bitmap.h"
#include "platform/posix/file_read.h"
#include "platform/posix/files.h"

namespace platform {
namespace {

constexpr int kMaxSide = 16384;
// No picture the programs show needs more than this (16 MB at 16 bits);
// the shipped ones are 800 x 600 at most.
constexpr int64_t kMaxPixels = int64_t{8} << 20;
// The file header and the start of the picture's header: up to its compression.
constexpr size_t kHeaderBytes = 34;

// 24-bit pictures (every picture the programs ship) go to RGB565 with a
// plain loop: SDL's generic conversion looks up the format for every pixel
// and runs about ten times slower, which start-up and the launcher's scan
// pay for every picture. The high bits of each channel are kept, as SDL does.
// One row; the channels' byte offsets as constants let the compiler keep
// the whole pixel in registers (BMP files are blue, green, red).
template <int R, int G, int B>
void RowTo565(const uint8_t* src, uint16_t* dst, int width) {
  for (int x = 0; x < width; ++x, src += 3)
    dst[x] = static_cast<uint16_t>(((src[R] & 0xF8) << 8) | ((src[G] & 0xFC) << 3) | (src[B] >> 3));
}

void RowTo565(const uint8_t* src, uint16_t* dst, int width, int r, int g, int b) {
  for (int x = 0; x < width; ++x, src += 3)
    dst[x] = static_cast<uint16_t>(((src[r] >> 3) << 11) | ((src[g] >> 2) << 5) | (src[b] >> 3));
}

bool Convert24To565(SDL_Surface* loaded, IDirectDrawSurface* out) {
  const SDL_PixelFormat* f = loaded->format;
  if (f->BitsPerPixel != 24 || f->Rshift % 8 || f->Gshift % 8 || f->Bshift % 8 || f->Rshift > 16 ||
      f->Gshift > 16 || f->Bshift > 16)
    return false;
  if (SDL_LockSurface(loaded) != 0) return false;
  const int r = f->Rshift / 8, g = f->Gshift / 8, b = f->Bshift / 8;
  for (int y = 0; y < loaded->h; ++y) {
    const uint8_t* src = static_cast<const uint8_t*>(loaded->pixels) + static_cast<size_t>(y) * loaded->pitch;
    uint16_t* dst = reinterpret_cast<uint16_t*>(out->Pixels() + static_cast<size_t>(y) * out->Pitch());
    if (r == 2 && g == 1 && b == 0)
      RowTo565<2, 1, 0>(src, dst, loaded->w);
    else
      RowTo565(src, dst, loaded->w, r, g, b);
  }
  SDL_UnlockSurface(loaded);
  return true;
}

// The 8-bit picture's indices as they are.
bool Copy8(SDL_Surface* loaded, IDirectDrawSurface* out) {
  if (SDL_LockSurface(loaded) != 0) return false;
  for (int y = 0; y < loaded->h; ++y)
    std::memcpy(out->Pixels() + static_cast<size_t>(y) * out->Pitch(),
                static_cast<uint8_t*>(loaded->pixels) + static_cast<size_t>(y) * loaded->pitch, loaded->w);
  SDL_UnlockSurface(loaded);
  return true;
}

// Any other format through SDL's own conversion.
bool ConvertBySdl(SDL_Surface* loaded, IDirectDrawSurface* out) {
  SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB565, 0);
  if (!converted) return false;
  const bool locked = SDL_LockSurface(converted) == 0;
  if (locked) {
    for (int y = 0; y < converted->h; ++y)
      std::memcpy(out->Pixels() + static_cast<size_t>(y) * out->Pitch(),
                  static_cast<uint8_t*>(converted->pixels) + static_cast<size_t>(y) * converted->pitch,
                  static_cast<size_t>(converted->w) * 2);
    SDL_UnlockSurface(converted);
  }
  SDL_FreeSurface(converted);
  return locked;
}

IDirectDrawSurface* FromSdl(SDL_Surface* loaded, int bits) {
  if (!loaded) return nullptr;
  IDirectDrawSurface* result = nullptr;
  const bool sized = loaded->w > 0 && loaded->h > 0 && loaded->w <= kMaxSide && loaded->h <= kMaxSide;
  const bool paletted = loaded->format->BitsPerPixel == 8 && loaded->format->palette;
  if (sized && (bits != 8 || paletted)) {
    result = new IDirectDrawSurface(loaded->w, loaded->h, bits == 8 ? 8 : 16, DDSCAPS_OFFSCREENPLAIN);
    const bool done = result->Pixels() && (bits == 8                           ? Copy8(loaded, result)
                                           : Convert24To565(loaded, result) ? true
                                                                              : ConvertBySdl(loaded, result));
    if (!done) {
      result->Release();
      result = nullptr;
    }
  }
  SDL_FreeSurface(loaded);
  return result;
}

// Looks at the header before SDL does: a file that announces an absurd size
// is refused instead of making the decoder ask for gigabytes, and an
// uncompressed one must hold the rows it announces (SDL takes a short file
// for a picture padded with black). h holds the first got bytes of the
// file, which is fileSize bytes long.
bool HeaderFits(const uint8_t* h, size_t got, int64_t fileSize, int* width, int* height) {
  if (got < 26 || h[0] != 'B' || h[1] != 'M') return false;
  auto u32 = [&](size_t at) { return h[at] | h[at + 1] << 8 | h[at + 2] << 16 | static_cast<uint32_t>(h[at + 3]) << 24; };
  const uint32_t dibSize = u32(14);
  int64_t w, hgt;
  int bitCount;
  uint32_t compression = 0;
  if (dibSize == 12) {
    w = static_cast<int16_t>(h[18] | h[19] << 8);
    hgt = static_cast<int16_t>(h[20] | h[21] << 8);
    bitCount = h[24] | h[25] << 8;
  } else {
    if (got < kHeaderBytes) return false;
    w = static_cast<int32_t>(u32(18));
    hgt = static_cast<int32_t>(u32(22));
    bitCount = h[28] | h[29] << 8;
    compression = u32(30);
  }
  if (hgt < 0) hgt = -hgt;
  if (w <= 0 || hgt <= 0 || w > kMaxSide || hgt > kMaxSide || w * hgt > kMaxPixels) return false;
  // Uncompressed rows (and bit fields) have a known size; run-length data does not.
  if (compression == 0 || compression == 3) {
    const int64_t rowBytes = (w * bitCount + 31) / 32 * 4;
    if (static_cast<int64_t>(u32(10)) + rowBytes * hgt > fileSize) return false;
  }
  if (width) *width = static_cast<int>(w);
  if (height) *height = static_cast<int>(hgt);
  return true;
}

bool PlausibleHeader(SDL_RWops* rw) {
  uint8_t h[kHeaderBytes] = {};
  const Sint64 start = SDL_RWtell(rw);
  const Sint64 size = SDL_RWsize(rw);
  const size_t got = SDL_RWread(rw, h, 1, sizeof h);
  SDL_RWseek(rw, start, RW_SEEK_SET);
  return size >= 0 && HeaderFits(h, got, size - start, nullptr, nullptr);
}

IDirectDrawSurface* Decode(SDL_RWops* rw, int bits) {
  if (!rw) return nullptr;
  if (!PlausibleHeader(rw)) {
    SDL_RWclose(rw);
    return nullptr;
  }
  return FromSdl(SDL_LoadBMP_RW(rw, 1), bits);
}

void PutLE(uint8_t* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

IDirectDrawSurface* LoadBitmapSurface(const char* path, int bits) {
  if (!path) return nullptr;
  // Read whole first: only a regular file of a picture's size, never a FIFO or a device.
  std::string bytes;
  IDirectDrawSurface* surface = nullptr;
  if (ReadRegularFile(MapPath(path), kMaxPictureFile, &bytes) == ReadResult::kOk)
    surface = LoadBitmapSurfaceFromMemory(bytes.data(), bytes.size(), bits);
  if (!surface) ReportUnloadable("picture", path);
  return surface;
}

bool ReadBitmapSize(const std::string& path, int* width, int* height) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) return false;
  uint8_t h[kHeaderBytes] = {};
  struct stat st;
  const ssize_t got = ::read(fd, h, sizeof h);
  const bool fits = ::fstat(fd, &st) == 0 && got > 0 && HeaderFits(h, static_cast<size_t>(got), st.st_size, width, height);
  ::close(fd);
  return fits;
}

IDirectDrawSurface* LoadBitmapSurfaceFromMemory(const void* data, size_t size, int bits) {
  if (!data || size == 0 || size > (1u << 30)) return nullptr;
  return Decode(SDL_RWFromConstMem(data, static_cast<int>(size)), bits);
}

bool SaveSurfaceAsBmp24(const IDirectDrawSurface* surface, const char* path) {
  if (!surface || surface->BitsPerPixel() != 16 || !path) return false;
  const int w = surface->Width(), h = surface->Height();
  const int rowBytes = (w * 3 + 3) & ~3;
  std::vector<uint8_t> file(54 + static_cast<size_t>(rowBytes) * h, 0);
  uint8_t* p = file.data();
  p[0] = 'B';
  p[1] = 'M';
  PutLE(p + 2, static_cast<uint32_t>(file.size()), 4);
  PutLE(p + 10, 54, 4);
  PutLE(p + 14, 40, 4);
  PutLE(p + 18, static_cast<uint32_t>(w), 4);
  PutLE(p + 22, static_cast<uint32_t>(h), 4);
  PutLE(p + 26, 1, 2);
  PutLE(p + 28, 24, 2);
  PutLE(p + 34, static_cast<uint32_t>(rowBytes * h), 4);
  for (int y = 0; y < h; ++y) {
    const uint16_t* src = reinterpret_cast<const uint16_t*>(surface->Pixels() + y * surface->Pitch());
    uint8_t* dst = p + 54 + static_cast<size_t>(h - 1 - y) * rowBytes;
    for (int x = 0; x < w; ++x) {
      uint16_t v = src[x];
      uint8_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
      dst[3 * x + 0] = static_cast<uint8_t>((b << 3) | (b >> 2));
      dst[3 * x + 1] = static_cast<uint8_t>((g << 2) | (g >> 4));
      dst[3 * x + 2] = static_cast<uint8_t>((r << 3) | (r >> 2));
    }
  }
  return WriteFileAtomically(path, file.data(), file.size());
}

}  // namespace platform
