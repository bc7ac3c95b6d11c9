// BMP decoding through SDL's decoder, converted into the layer's surfaces.
#include <SDL.h>

#include <cstring>
#include <vector>

#include "platform/bitmap.h"
#include "platform/files.h"

namespace platform {
namespace {

constexpr int kMaxSide = 16384;

IDirectDrawSurface* FromSdl(SDL_Surface* loaded, int bits) {
  if (!loaded) return nullptr;
  IDirectDrawSurface* result = nullptr;
  if (loaded->w > 0 && loaded->h > 0 && loaded->w <= kMaxSide && loaded->h <= kMaxSide) {
    if (bits == 8) {
      if (loaded->format->BitsPerPixel == 8 && loaded->format->palette) {
        result = new IDirectDrawSurface(loaded->w, loaded->h, 8, DDSCAPS_OFFSCREENPLAIN);
        if (result->Pixels() && SDL_LockSurface(loaded) == 0) {
          for (int y = 0; y < loaded->h; ++y)
            std::memcpy(result->Pixels() + y * result->Pitch(), static_cast<uint8_t*>(loaded->pixels) + y * loaded->pitch,
                        loaded->w);
          SDL_UnlockSurface(loaded);
        } else {
          result->Release();
          result = nullptr;
        }
      }
    } else if (SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB565, 0)) {
      result = new IDirectDrawSurface(converted->w, converted->h, 16, DDSCAPS_OFFSCREENPLAIN);
      if (result->Pixels() && SDL_LockSurface(converted) == 0) {
        for (int y = 0; y < converted->h; ++y)
          std::memcpy(result->Pixels() + y * result->Pitch(),
                      static_cast<uint8_t*>(converted->pixels) + y * converted->pitch, converted->w * 2);
        SDL_UnlockSurface(converted);
      } else {
        result->Release();
        result = nullptr;
      }
      SDL_FreeSurface(converted);
    }
  }
  SDL_FreeSurface(loaded);
  return result;
}

// Looks at the header before SDL does: a file that announces an absurd size
// is refused instead of making the decoder ask for gigabytes.
bool PlausibleHeader(SDL_RWops* rw) {
  uint8_t h[26] = {};
  Sint64 start = SDL_RWtell(rw);
  size_t got = SDL_RWread(rw, h, 1, sizeof h);
  SDL_RWseek(rw, start, RW_SEEK_SET);
  if (got < sizeof h || h[0] != 'B' || h[1] != 'M') return false;
  uint32_t dibSize = h[14] | h[15] << 8 | h[16] << 16 | static_cast<uint32_t>(h[17]) << 24;
  int64_t w, hgt;
  if (dibSize == 12) {
    w = static_cast<int16_t>(h[18] | h[19] << 8);
    hgt = static_cast<int16_t>(h[20] | h[21] << 8);
  } else {
    w = static_cast<int32_t>(h[18] | h[19] << 8 | h[20] << 16 | static_cast<uint32_t>(h[21]) << 24);
    hgt = static_cast<int32_t>(h[22] | h[23] << 8 | h[24] << 16 | static_cast<uint32_t>(h[25]) << 24);
  }
  if (hgt < 0) hgt = -hgt;
  return w > 0 && hgt > 0 && w <= kMaxSide && hgt <= kMaxSide && w * hgt <= int64_t{64} << 20;
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
  std::string mapped = MapPath(path);
  IDirectDrawSurface* surface = Decode(SDL_RWFromFile(mapped.c_str(), "rb"), bits);
  if (!surface) ReportUnloadable("picture", path);
  return surface;
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
