#include "gx/surface.h"

#include <cstdarg>
#include <cstdio>

#include "platform/posix/files.h"
#include "gx/gx.h"

namespace {

int debugLogging = 0;

// Channel widths above 8 bits would make the shift negative; no 16-bit
// format has them, but a garbage format must not become undefined behaviour.
int Narrow(int value, int bits) {
  if (bits <= 0) return 0;
  if (bits >= 8) return value & 0xFF;
  return (value & 0xFF) >> (8 - bits);
}

bool Describe(IDirectDrawSurface* surface, DDSURFACEDESC* desc) {
  *desc = DDSURFACEDESC{};
  desc->dwSize = sizeof(DDSURFACEDESC);
  return surface && SUCCEEDED(surface->GetSurfaceDesc(desc));
}

DWORD BlitFlags(int flags) { return flags == kDefaultBlitFlags ? kKeyedWaitBlt : static_cast<DWORD>(flags); }

}  // namespace

uint16_t PackColorForFormat(const DDPIXELFORMAT* format, int r, int g, int b) {
  int redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0;
  GXGetRGBABits(format, &redBits, &greenBits, &blueBits, &alphaBits);
  uint32_t value = (static_cast<uint32_t>(Narrow(r, redBits)) << (greenBits + blueBits)) |
                   (static_cast<uint32_t>(Narrow(g, greenBits)) << blueBits) |
                   static_cast<uint32_t>(Narrow(b, blueBits));
  return static_cast<uint16_t>(value & 0xFFFF);
}

uint16_t PackColor(IDirectDrawSurface* surface, int r, int g, int b) {
  DDSURFACEDESC desc;
  if (!Describe(surface, &desc)) return 0;
  return PackColorForFormat(&desc.ddpfPixelFormat, r, g, b);
}

void SetColorKeyRGB(IDirectDrawSurface* surface, int r, int g, int b) {
  if (!surface) return;
  DWORD packed = PackColor(surface, r, g, b);
  DDCOLORKEY key{packed, packed};
  surface->SetColorKey(DDCKEY_SRCBLT, &key);
}

int ReadPixel(IDirectDrawSurface* surface, int x, int y) {
  if (!surface) return 0;
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof(desc);
  if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) return 0;
  int value = 0;
  if (x >= 0 && y >= 0 && static_cast<DWORD>(x) < desc.dwWidth && static_cast<DWORD>(y) < desc.dwHeight &&
      desc.lpSurface) {
    const uint8_t* base = static_cast<const uint8_t*>(desc.lpSurface);
    if (desc.ddpfPixelFormat.dwRGBBitCount == 8) {
      value = base[static_cast<size_t>(y) * desc.lPitch + x];
    } else {
      const uint16_t* row = reinterpret_cast<const uint16_t*>(base) + static_cast<size_t>(y) * (desc.lPitch / 2);
      value = row[x];
    }
  }
  surface->Unlock(nullptr);
  return value;
}

IDirectDrawSurface* CreateOffscreenSurface(int width, int height) {
  IDirectDraw* directDraw = GXGetLPDD();
  if (!directDraw) return nullptr;
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  desc.dwWidth = static_cast<DWORD>(width);
  desc.dwHeight = static_cast<DWORD>(height);
  IDirectDrawSurface* surface = nullptr;
  if (FAILED(directDraw->CreateSurface(&desc, &surface, nullptr)) || !surface) return nullptr;
  DDCOLORKEY key{0, 0};
  surface->SetColorKey(DDCKEY_SRCBLT, &key);
  return surface;
}

void Fill(IDirectDrawSurface* surface, uint16_t value) {
  int width = 0, height = 0;
  GetSurfaceSize(surface, &width, &height);
  FillRect(surface, 0, 0, width, height, value);
}

void FillRect(IDirectDrawSurface* surface, int x, int y, int w, int h, uint16_t value) {
  if (!surface || w <= 0 || h <= 0) return;
  DDBLTFX fx{};
  fx.dwSize = sizeof(fx);
  fx.dwFillColor = value;
  RECT r{x, y, x + w, y + h};
  surface->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

void GetSurfaceSize(IDirectDrawSurface* surface, int* width, int* height) {
  DDSURFACEDESC desc;
  int w = 0, h = 0;
  if (Describe(surface, &desc)) {
    w = static_cast<int>(desc.dwWidth);
    h = static_cast<int>(desc.dwHeight);
  }
  if (width) *width = w;
  if (height) *height = h;
}

RECT CentreRect(IDirectDrawSurface* surface, int x, int y, int w, int h) {
  int sw = 0, sh = 0;
  GetSurfaceSize(surface, &sw, &sh);
  RECT r;
  r.left = x + w / 2 - sw / 2;
  r.top = y + h / 2 - sh / 2;
  r.right = r.left + sw;
  r.bottom = r.top + sh;
  return r;
}

int SplitSurface(IDirectDrawSurface* source, std::vector<IDirectDrawSurface*>& list, int cellWidth,
                 int cellHeight, int* columns) {
  if (cellWidth <= 0 || cellHeight <= 0) {
    if (columns) *columns = 0;
    return 0;
  }
  int width = 0, height = 0;
  GetSurfaceSize(source, &width, &height);
  const int cols = width / cellWidth;
  const int rows = height / cellHeight;
  const int count = cols * rows;
  if (columns) *columns = cols;
  for (int i = 0; i < count; ++i) {
    IDirectDrawSurface* cell = CreateOffscreenSurface(cellWidth, cellHeight);
    if (!cell) return 0;
    SetColorKeyRGB(cell, 0, 0, 255);
    list.push_back(cell);
    RECT from;
    from.left = cellWidth * (i % cols);
    from.top = cellHeight * (i / cols);
    from.right = from.left + cellWidth;
    from.bottom = from.top + cellHeight;
    RECT to{0, 0, cellWidth, cellHeight};
    cell->Blt(&to, source, &from, DDBLT_WAIT, nullptr);
  }
  return 1;
}

int LoadAndSplit(const char* path, std::vector<IDirectDrawSurface*>& list, int cellWidth, int cellHeight,
                 int* columns) {
  IDirectDrawSurface* bitmap = GXLoadBitmap(path, 16);
  if (!bitmap) return 0;
  int result = SplitSurface(bitmap, list, cellWidth, cellHeight, columns);
  bitmap->Release();
  return result;
}

namespace {

// Clips one axis of a copy of length n from src to dest against [0, limit).
void ClipAxis(int src, int n, int dest, int limit, LONG* destLow, LONG* destHigh, LONG* srcLow, LONG* srcHigh) {
  if (dest < 0) {
    *destLow = 0;
    *srcLow = src - dest;
  } else {
    *destLow = dest;
    *srcLow = src;
  }
  if (dest + n > limit) {
    *destHigh = limit;
    *srcHigh = src + n - (dest + n - limit);
  } else {
    *destHigh = dest + n;
    *srcHigh = src + n;
  }
}

}  // namespace

void BlitClipped(IDirectDrawSurface* source, int srcX, int srcY, int w, int h, IDirectDrawSurface* destination,
                 int destX, int destY, int flags) {
  if (!source || !destination) return;
  int dw = 0, dh = 0;
  GetSurfaceSize(destination, &dw, &dh);
  RECT d, s;
  ClipAxis(srcX, w, destX, dw, &d.left, &d.right, &s.left, &s.right);
  ClipAxis(srcY, h, destY, dh, &d.top, &d.bottom, &s.top, &s.bottom);
  if (d.right <= d.left || d.bottom <= d.top) return;  // clipped away entirely
  destination->Blt(&d, source, &s, BlitFlags(flags), nullptr);
}

// The whole source at (x, y): the same clipping with the source's own size.
void DrawSurfaceAt(IDirectDrawSurface* source, IDirectDrawSurface* destination, int x, int y, int flags) {
  if (!source || !destination) return;
  int sw = 0, sh = 0;
  GetSurfaceSize(source, &sw, &sh);
  BlitClipped(source, 0, 0, sw, sh, destination, x, y, flags);
}

void SetDebugLogging(int on) { debugLogging = on ? 1 : 0; }
int DebugLoggingEnabled() { return debugLogging; }

void DebugLog(const char* format, ...) {
  if (!debugLogging) return;
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  // Appended, so a session's messages stay in order; each call closes the
  // file so nothing is lost if the program dies right after.
  FILE* file = platform::OpenFile("debug.log", "a");
  if (!file) return;
  fputs(text, file);
  fclose(file);
}
