// The graphics and input library on the platform layer.
#include "gx/gx.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "platform/win/bitmap.h"
#include "platform/win/key_codes.h"
#include "platform/device/clock.h"
#include "platform/device/input.h"
#include "platform/device/video.h"
#include "platform/win/present.h"
#include "gx/gx_font.h"

namespace {

struct GxState {
  HINSTANCE instance = nullptr;
  IDirectDraw* directDraw = nullptr;
  IDirectDrawSurface* primary = nullptr;
  IDirectDrawSurface* back = nullptr;
  bool mouseReady = false;
  bool mouseAcquired = false;
  bool keyboardReady = false;
  bool fontReady = false;
  unsigned char keys[256] = {};
  std::deque<uint32_t> presents;  // clock times of the presents of the last second
  bool presented = false;
  uint32_t lastSlot = 0;
  int windowX = 0, windowY = 0;
  std::string lastError = "no error";
};

GxState& G() {
  static GxState state;
  return state;
}

int InitDisplay(int width, int height, bool fullscreen) {
  GxState& g = G();
  if (g.back) return 1;
  if (width <= 0 || height <= 0) {
    g.lastError = "bad display size";
    return 0;
  }
  if (DirectDrawCreate(nullptr, &g.directDraw, nullptr) != DD_OK) {
    g.lastError = "the video backend cannot start";
    return 0;
  }
  g.primary = new IDirectDrawSurface(width, height, 16, DDSCAPS_PRIMARYSURFACE);
  g.back = new IDirectDrawSurface(width, height, 16, DDSCAPS_BACKBUFFER);
  if (!g.primary->Pixels() || !g.back->Pixels()) {
    g.lastError = "out of memory for the display surfaces";
    GXFreeDirectX();
    return 0;
  }
  platform::Video().SetFullscreen(fullscreen);
  g.presented = false;
  return 1;
}

int CountBits(DWORD mask) {
  int n = 0;
  for (; mask; mask &= mask - 1) ++n;
  return n;
}

}  // namespace

void GXSetInstance(HINSTANCE instance) { G().instance = instance; }
void GXDebugEnable(int) {}

int GXInitDirectX(HWND, int width, int height, int bits) {
  if (bits != 16) {
    G().lastError = "only 16-bit full screen is supported";
    return 0;
  }
  return InitDisplay(width, height, true);
}

int GXInitDirectX(HWND, int width, int height) { return InitDisplay(width, height, false); }

int GXSetViewport(int, int, int, int) { return 1; }

IDirectDraw* GXGetLPDD() { return G().directDraw; }

void GXGetDDInfo(IDirectDrawSurface** primary, IDirectDrawSurface** back) {
  if (primary) *primary = G().primary;
  if (back) *back = G().back;
}

int GXFlip() {
  GxState& g = G();
  if (!g.back) return 0;
  // At most one present per 10 ms slot: wait for the next slot on the clock.
  uint32_t slot = platform::NowMs() / 10;
  if (g.presented && slot == g.lastSlot) {
    platform::WaitUntilMs((g.lastSlot + 1) * 10);
    slot = platform::NowMs() / 10;
  }
  g.lastSlot = slot;
  g.presented = true;
  // Keep the window responsive during the programs' blocking animations.
  platform::GatherDeviceEvents();
  platform::PresentFrame(*g.back);
  uint32_t now = platform::NowMs();
  g.presents.push_back(now);
  while (!g.presents.empty() && platform::TickDiff(now, g.presents.front()) >= 1000) g.presents.pop_front();
  return 1;
}

IDirectDrawSurface* GXLoadBitmap(const char* path, int bits) { return platform::LoadBitmapSurface(path, bits); }

void GXGetRGBABits(const DDPIXELFORMAT* format, int* red, int* green, int* blue, int* alpha) {
  DDPIXELFORMAT f = format ? *format : PixelFormat565();
  if (red) *red = CountBits(f.dwRBitMask);
  if (green) *green = CountBits(f.dwGBitMask);
  if (blue) *blue = CountBits(f.dwBBitMask);
  if (alpha) *alpha = CountBits(f.dwRGBAlphaBitMask);
}

int GXInitMouse() {
  G().mouseReady = true;
  return 1;
}

int GXMouseReady() { return G().mouseReady ? 1 : 0; }

int GXAcquireMouse(int on) {
  const bool acquired = G().mouseReady && on;
  G().mouseAcquired = acquired;
  return acquired ? 1 : 0;
}

void GXGetMouseData(int* dx, int* dy, int* buttons) {
  if (dx) *dx = 0;
  if (dy) *dy = 0;
  // The buttons held now; the screens take presses and releases in order from
  // the input queue (MouseCursor).
  if (buttons) *buttons = G().mouseAcquired ? platform::MouseButtons() : 0;
}

int GXInitKeyboard() {
  // Keys pressed before the program had a keyboard are not its.
  if (!G().keyboardReady) platform::DropInputEvents(platform::InputStream::Keyboard);
  G().keyboardReady = true;
  return 1;
}

unsigned char* GXGetKeys() {
  GxState& g = G();
  if (!g.keyboardReady) return nullptr;
  platform::SnapshotKeysByScanCode(g.keys);
  return g.keys;
}

void GXInitFont(HWND) { G().fontReady = true; }

int GXPrintString(const char* text, int x, int y) {
  GxState& g = G();
  if (!g.fontReady || !g.back || !text) return 0;
  blit::View view{g.back->Pixels(), g.back->Pitch(), g.back->Width(), g.back->Height()};
  DrawPixelText(view, x, y, text, 0xFFFF, 0x0000);
  const int width = static_cast<int>(std::strlen(text)) * kPixelFontCellWidth;
  g.back->MarkWritten(RECT{x, y, x + width, y + kPixelFontCellHeight});
  return 1;
}

float GXGetFPS() {
  GxState& g = G();
  uint32_t now = platform::NowMs();
  while (!g.presents.empty() && platform::TickDiff(now, g.presents.front()) >= 1000) g.presents.pop_front();
  return static_cast<float>(g.presents.size());
}

void GXSetWindowXY(int x, int y) {
  G().windowX = x;
  G().windowY = y;
}

void GXFreeFont() { G().fontReady = false; }

void GXFreeDirectInput() {
  G().mouseReady = false;
  G().mouseAcquired = false;
  G().keyboardReady = false;
}

void GXFreeDirectX() {
  GxState& g = G();
  if (g.back) g.back->Release();
  if (g.primary) g.primary->Release();
  if (g.directDraw) g.directDraw->Release();
  g.back = g.primary = nullptr;
  g.directDraw = nullptr;
}

void GXPrintError() { std::fprintf(stderr, "graphics library: %s\n", G().lastError.c_str()); }
