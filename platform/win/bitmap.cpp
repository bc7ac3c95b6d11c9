// Pictures: the file is read here, decoded by our own decoder in
// platform/media/, and put into the layer's surfaces.
#include "platform/win/bitmap.h"

#include <cstdio>
#include <vector>

#include "platform/device/clock.h"
#include "platform/device/config.h"
#include "platform/media/bmp_decode.h"
#include "platform/posix/file_read.h"
#include "platform/posix/files.h"
#include "platform/posix/system_file.h"

namespace platform {
namespace {

// Why the last picture was refused, for the line that says so.
thread_local const char* lastRefusal = nullptr;

IDirectDrawSurface* Decode(const uint8_t* data, size_t size, int bits) {
  BmpLayout layout;
  lastRefusal = ReadBmpLayout(data, size, size, &layout);
  if (lastRefusal) return nullptr;
  if (bits == 8 && layout.bitCount != 8) {
    lastRefusal = "only a palette picture loads as 8-bit";
    return nullptr;
  }
  auto* surface = new IDirectDrawSurface(layout.width, layout.height, bits == 8 ? 8 : 16, DDSCAPS_OFFSCREENPLAIN);
  lastRefusal = surface->Pixels() ? DecodeBmp(data, size, layout, bits == 8 ? 8 : 16, surface->Pixels(),
                                              static_cast<size_t>(surface->Pitch()))
                                  : "out of memory";
  if (lastRefusal) {
    surface->Release();
    return nullptr;
  }
  return surface;
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
  lastRefusal = nullptr;
  if (ReadRegularFile(MapPath(path), kMaxPictureFile, &bytes) == ReadResult::kOk)
    surface = LoadBitmapSurfaceFromMemory(bytes.data(), bytes.size(), bits);
  if (!surface && lastRefusal)
    std::fprintf(stderr, "%s: cannot load picture \"%s\": %s\n", ProgramName().c_str(), path, lastRefusal);
  else if (!surface)
    ReportUnloadable("picture", path);
  // A screen loads its pictures one after another: a page gets its turns meanwhile.
  BreakLongWork();
  return surface;
}

bool ReadBitmapSize(const std::string& path, int* width, int* height) {
  SystemFile file = SystemFile::OpenForReading(path);
  if (!file.IsOpen()) return false;
  uint8_t h[kBmpHeadBytes] = {};
  size_t got = 0;
  const bool read = file.Read(h, sizeof h, &got);
  const int64_t size = file.Size();
  BmpLayout layout;
  const bool fits = read && size >= 0 && got > 0 && !ReadBmpLayout(h, got, static_cast<uint64_t>(size), &layout);
  if (fits && width) *width = layout.width;
  if (fits && height) *height = layout.height;
  return fits;
}

IDirectDrawSurface* LoadBitmapSurfaceFromMemory(const void* data, size_t size, int bits) {
  if (!data || size == 0 || size > (1u << 30)) return nullptr;
  return Decode(static_cast<const uint8_t*>(data), size, bits);
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
