#include "platform/win/ddraw.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/media/blit.h"
#include "platform/device/video.h"

const GUID IID_IDirectDraw7 = {0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};

namespace {

constexpr int kMaxSurfaceSide = 16384;

struct DeviceContext {};
DeviceContext surfaceDc;

blit::View ViewOf(IDirectDrawSurface* s) { return {s->Pixels(), s->Pitch(), s->Width(), s->Height()}; }

bool Inside(const RECT& r, int width, int height) {
  return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height && r.left <= r.right &&
         r.top <= r.bottom;
}

bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

DDPIXELFORMAT PixelFormat565() {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof f;
  f.dwFlags = DDPF_RGB;
  f.dwRGBBitCount = 16;
  f.dwRBitMask = 0xF800;
  f.dwGBitMask = 0x07E0;
  f.dwBBitMask = 0x001F;
  return f;
}

IDirectDrawSurface::IDirectDrawSurface(int width, int height, int bitsPerPixel, DWORD caps)
    : width_(width), height_(height), bpp_(bitsPerPixel == 8 ? 8 : 16), caps_(caps) {
  // Rows are padded to 16 bytes so the SIMD blitter can use aligned-ish loads.
  pitch_ = ((width_ * (bpp_ / 8)) + 15) & ~15;
  if (pitch_ == 0) pitch_ = 16;
  size_t bytes = static_cast<size_t>(pitch_) * static_cast<size_t>(height_ > 0 ? height_ : 1);
  pixels_.reset(new (std::nothrow) uint8_t[bytes]());
}

HRESULT IDirectDrawSurface::Blt(const RECT* destRect, IDirectDrawSurface* source, const RECT* sourceRect,
                                DWORD flags, const DDBLTFX* fx) {
  if (!pixels_) return DDERR_OUTOFMEMORY;
  RECT d = destRect ? *destRect : RECT{0, 0, width_, height_};
  if (!Inside(d, width_, height_)) return DDERR_INVALIDRECT;
  MarkWritten(d);
  int dw = d.right - d.left, dh = d.bottom - d.top;

  if (flags & DDBLT_COLORFILL) {
    if (!fx) return DDERR_INVALIDPARAMS;
    if (dw == 0 || dh == 0) return DD_OK;
    if (bpp_ == 16)
      blit::Fill16(ViewOf(this), d.left, d.top, dw, dh, static_cast<uint16_t>(fx->dwFillColor));
    else
      blit::Fill8(ViewOf(this), d.left, d.top, dw, dh, static_cast<uint8_t>(fx->dwFillColor));
    return DD_OK;
  }

  if (!source || !source->pixels_) return DDERR_INVALIDPARAMS;
  if (source->bpp_ != bpp_) return DDERR_INVALIDPARAMS;
  RECT s = sourceRect ? *sourceRect : RECT{0, 0, source->width_, source->height_};
  if (!Inside(s, source->width_, source->height_)) return DDERR_INVALIDRECT;
  int sw = s.right - s.left, sh = s.bottom - s.top;
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return DD_OK;

  bool keyed = (flags & DDBLT_KEYSRC) && source->hasKey_;
  blit::View dst = ViewOf(this);
  blit::View src = ViewOf(source);

  // A blit within one surface whose rectangles overlap goes through a copy of the source area.
  std::vector<uint8_t> scratch;
  if (source == this && Overlap(d, s) && (keyed || sw != dw || sh != dh)) {
    int rowBytes = sw * (bpp_ / 8);
    scratch.resize(static_cast<size_t>(rowBytes) * sh);
    for (int y = 0; y < sh; ++y)
      std::memcpy(&scratch[static_cast<size_t>(y) * rowBytes], src.pixels + (s.top + y) * src.pitch + s.left * (bpp_ / 8),
                  rowBytes);
    src = {scratch.data(), rowBytes, sw, sh};
    s = {0, 0, sw, sh};
  }

  if (bpp_ == 16) {
    uint16_t key = static_cast<uint16_t>(source->key_);
    if (sw == dw && sh == dh) {
      if (keyed)
        blit::CopyKeyed16(dst, d.left, d.top, src, s.left, s.top, dw, dh, key);
      else
        blit::Copy16(dst, d.left, d.top, src, s.left, s.top, dw, dh);
    } else {
      blit::Stretch16(dst, d.left, d.top, dw, dh, src, s.left, s.top, sw, sh, keyed, key);
    }
  } else {
    uint8_t key = static_cast<uint8_t>(source->key_);
    if (sw == dw && sh == dh) {
      if (keyed)
        blit::CopyKeyed8(dst, d.left, d.top, src, s.left, s.top, dw, dh, key);
      else
        blit::Copy8(dst, d.left, d.top, src, s.left, s.top, dw, dh);
    } else {
      blit::Stretch8(dst, d.left, d.top, dw, dh, src, s.left, s.top, sw, sh, keyed, key);
    }
  }
  return DD_OK;
}

HRESULT IDirectDrawSurface::SetColorKey(DWORD flags, const DDCOLORKEY* key) {
  if (!(flags & DDCKEY_SRCBLT)) return DDERR_UNSUPPORTED;
  if (!key) {
    hasKey_ = false;
    return DD_OK;
  }
  hasKey_ = true;
  key_ = key->dwColorSpaceLowValue & (bpp_ == 16 ? 0xFFFFu : 0xFFu);
  return DD_OK;
}

HRESULT IDirectDrawSurface::GetSurfaceDesc(DDSURFACEDESC* desc) {
  if (!desc) return DDERR_INVALIDPARAMS;
  std::memset(desc, 0, sizeof *desc);
  desc->dwSize = sizeof *desc;
  desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
  desc->dwWidth = static_cast<DWORD>(width_);
  desc->dwHeight = static_cast<DWORD>(height_);
  desc->lPitch = pitch_;
  desc->ddsCaps.dwCaps = caps_;
  if (bpp_ == 16) {
    desc->ddpfPixelFormat = PixelFormat565();
  } else {
    desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc->ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
    desc->ddpfPixelFormat.dwRGBBitCount = 8;
  }
  if (hasKey_) {
    desc->dwFlags |= DDSD_CKSRCBLT;
    desc->ddckCKSrcBlt = {key_, key_};
  }
  return DD_OK;
}

HRESULT IDirectDrawSurface::Lock(const RECT* rect, DDSURFACEDESC* desc, DWORD, HANDLE) {
  if (!desc || !pixels_) return DDERR_INVALIDPARAMS;
  GetSurfaceDesc(desc);
  uint8_t* p = pixels_.get();
  if (rect) {
    if (!Inside(*rect, width_, height_)) return DDERR_INVALIDRECT;
    p += rect->top * pitch_ + rect->left * (bpp_ / 8);
  }
  MarkWritten(rect ? *rect : RECT{0, 0, width_, height_});
  desc->lpSurface = p;
  desc->dwFlags |= DDSD_LPSURFACE;
  return DD_OK;
}

HRESULT IDirectDrawSurface::Unlock(void*) { return DD_OK; }

void IDirectDrawSurface::MarkWritten(const RECT& area) {
  const RECT a{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, width_),
               std::min(area.bottom, height_)};
  if (a.left >= a.right || a.top >= a.bottom) return;
  written_.Add({a.left, a.top, a.right - a.left, a.bottom - a.top});
}

std::vector<platform::DirtyRegions::Rect> IDirectDrawSurface::TakeWritten() { return written_.Take(); }

HRESULT IDirectDrawSurface::GetDC(HDC* dc) {
  if (!dc) return DDERR_INVALIDPARAMS;
  *dc = reinterpret_cast<HDC>(&surfaceDc);
  return DD_OK;
}

HRESULT IDirectDrawSurface::ReleaseDC(HDC) { return DD_OK; }

ULONG IDirectDrawSurface::AddRef() { return ++refs_; }

ULONG IDirectDrawSurface::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

IDirectDraw::IDirectDraw() = default;

HRESULT IDirectDraw::CreateSurface(const DDSURFACEDESC* desc, IDirectDrawSurface** surface, void*) {
  if (!desc || !surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT)) return DDERR_INVALIDPARAMS;
  int w = static_cast<int>(desc->dwWidth), h = static_cast<int>(desc->dwHeight);
  if (w <= 0 || h <= 0 || w > kMaxSurfaceSide || h > kMaxSurfaceSide) return DDERR_INVALIDPARAMS;
  int bits = 16;
  if ((desc->dwFlags & DDSD_PIXELFORMAT) && (desc->ddpfPixelFormat.dwFlags & DDPF_PALETTEINDEXED8 ||
                                             desc->ddpfPixelFormat.dwRGBBitCount == 8))
    bits = 8;
  DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
  auto* s = new (std::nothrow) IDirectDrawSurface(w, h, bits, caps);
  if (!s) return DDERR_OUTOFMEMORY;
  if (!s->Pixels()) {
    s->Release();
    return DDERR_OUTOFMEMORY;
  }
  *surface = s;
  return DD_OK;
}

HRESULT IDirectDraw::GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) {
  for (DDCAPS* c : {driverCaps, helCaps}) {
    if (!c) continue;
    std::memset(c, 0, sizeof *c);
    c->dwSize = sizeof *c;
    c->dwVidMemTotal = 64u << 20;
    c->dwVidMemFree = 64u << 20;
  }
  return DD_OK;
}

HRESULT IDirectDraw::QueryInterface(const GUID& iid, void** object) {
  if (!object) return E_INVALIDARG;
  if (std::memcmp(&iid, &IID_IDirectDraw7, sizeof(GUID)) != 0) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  *object = this;
  return S_OK;
}

ULONG IDirectDraw::AddRef() { return ++refs_; }

ULONG IDirectDraw::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT DirectDrawCreate(GUID*, IDirectDraw** object, void*) {
  if (!object) return DDERR_INVALIDPARAMS;
  *object = nullptr;
  std::string reason;
  if (!platform::VideoAvailable(&reason)) {
    std::fprintf(stderr, "video backend \"%s\" cannot start: %s\n", platform::VideoBackendName(), reason.c_str());
    return DDERR_NODIRECTDRAWHW;
  }
  *object = new IDirectDraw();
  return DD_OK;
}
