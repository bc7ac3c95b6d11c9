// DirectDraw-shaped memory surfaces: 16-bit RGB565 or 8-bit, with a source
// colour key. Like DirectDraw without a clipper, a Blt whose rectangles do
// not lie inside both surfaces fails and touches no memory.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "platform/media/dirty_regions.h"
#include "platform/win/wintypes.h"

struct GUID {
  uint32_t data1;
  uint16_t data2, data3;
  uint8_t data4[8];
};
extern const GUID IID_IDirectDraw7;

constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
constexpr HRESULT DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760096u);
constexpr HRESULT DDERR_NOCOLORKEY = static_cast<HRESULT>(0x887600D7u);
constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_NODIRECTDRAWHW = static_cast<HRESULT>(0x88760253u);

struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  DWORD dwRGBBitCount;
  DWORD dwRBitMask;
  DWORD dwGBitMask;
  DWORD dwBBitMask;
  DWORD dwRGBAlphaBitMask;
};
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x00000020u;
constexpr DWORD DDPF_RGB = 0x00000040u;

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};

struct DDSCAPS {
  DWORD dwCaps;
};
constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000004u;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040u;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200u;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x00000800u;

struct DDSURFACEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  LONG lPitch;
  DWORD dwBackBufferCount;
  void* lpSurface;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};
constexpr DWORD DDSD_CAPS = 0x00000001u;
constexpr DWORD DDSD_HEIGHT = 0x00000002u;
constexpr DWORD DDSD_WIDTH = 0x00000004u;
constexpr DWORD DDSD_PITCH = 0x00000008u;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000u;
constexpr DWORD DDSD_CKSRCBLT = 0x00010000u;
constexpr DWORD DDSD_LPSURFACE = 0x00000800u;

struct DDBLTFX {
  DWORD dwSize;
  DWORD dwFillColor;
};

// Blt flags.
constexpr DWORD DDBLT_COLORFILL = 0x00000400u;
constexpr DWORD DDBLT_KEYSRC = 0x00008000u;
constexpr DWORD DDBLT_WAIT = 0x01000000u;
// SetColorKey flags.
constexpr DWORD DDCKEY_SRCBLT = 0x00000008u;
// Lock flags.
constexpr DWORD DDLOCK_WAIT = 0x00000001u;

struct DDCAPS {
  DWORD dwSize;
  DWORD dwCaps;
  DWORD dwVidMemTotal;
  DWORD dwVidMemFree;
};

class IDirectDrawSurface {
 public:
  // Bits per pixel: 16 (RGB565) or 8.
  IDirectDrawSurface(int width, int height, int bitsPerPixel, DWORD caps);

  HRESULT Blt(const RECT* destRect, IDirectDrawSurface* source, const RECT* sourceRect, DWORD flags,
              const DDBLTFX* fx);
  HRESULT SetColorKey(DWORD flags, const DDCOLORKEY* key);
  HRESULT GetSurfaceDesc(DDSURFACEDESC* desc);
  HRESULT Lock(const RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event);
  HRESULT Unlock(void* rect);
  HRESULT GetDC(HDC* dc);
  HRESULT ReleaseDC(HDC dc);
  ULONG AddRef();
  ULONG Release();

  // Direct access for the layer itself (present, frame dumps, tests).
  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bpp_; }
  int Pitch() const { return pitch_; }
  uint8_t* Pixels() { return pixels_.get(); }
  const uint8_t* Pixels() const { return pixels_.get(); }
  bool HasColorKey() const { return hasKey_; }
  uint32_t ColorKey() const { return key_; }
  // The regions written since the last TakeWritten (every Blt and Lock marks
  // its rectangle): the window compares only there with what it shows.
  void MarkWritten(const RECT& area);
  // The regions, emptied; none when nothing was written.
  std::vector<platform::DirtyRegions::Rect> TakeWritten();

 private:
  ~IDirectDrawSurface() = default;
  int width_, height_, bpp_, pitch_;
  DWORD caps_;
  std::unique_ptr<uint8_t[]> pixels_;
  bool hasKey_ = false;
  uint32_t key_ = 0;
  platform::DirtyRegions written_;
  std::atomic<ULONG> refs_{1};
};
using LPDIRECTDRAWSURFACE = IDirectDrawSurface*;

class IDirectDraw {
 public:
  IDirectDraw();
  HRESULT CreateSurface(const DDSURFACEDESC* desc, IDirectDrawSurface** surface, void* outer);
  HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps);
  HRESULT QueryInterface(const GUID& iid, void** object);
  ULONG AddRef();
  ULONG Release();

 private:
  ~IDirectDraw() = default;
  std::atomic<ULONG> refs_{1};
};
using LPDIRECTDRAW = IDirectDraw*;

// Fails only when the chosen video backend cannot start; the reason goes to stderr.
HRESULT DirectDrawCreate(GUID* driver, IDirectDraw** object, void* outer);

// The RGB565 pixel format every 16-bit surface of the layer uses.
DDPIXELFORMAT PixelFormat565();
