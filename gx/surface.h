// Free functions over the 16-bit surfaces everything is composed on: colour
// packing, colour keys, pixel reads, offscreen surfaces, fills, cutting a
// bitmap into equal cells, centring, and the two clipped blits that sprites,
// buttons, images and the redraw manager draw with.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win/ddraw.h"

// Flags value meaning "source colour key and wait" for the two clipped blits.
constexpr int kDefaultBlitFlags = -1;
constexpr DWORD kKeyedWaitBlt = DDBLT_KEYSRC | DDBLT_WAIT;  // 0x01008000

// Packs an 8-bit-per-channel colour into the pixel format of the surface
// (5-6-5 gives (0,0,255) -> 0x001F, (255,255,255) -> 0xFFFF). 0 for no surface.
uint16_t PackColor(IDirectDrawSurface* surface, int r, int g, int b);
// The same for a given pixel format; PackColor reads the surface's and calls it.
uint16_t PackColorForFormat(const DDPIXELFORMAT* format, int r, int g, int b);
// Source colour key with both low and high values = PackColor(r, g, b).
void SetColorKeyRGB(IDirectDrawSurface* surface, int r, int g, int b);
// The raw pixel value at (x, y): a byte on 8-bit surfaces, a 16-bit value
// otherwise. A point outside the surface reads 0 and touches no memory.
int ReadPixel(IDirectDrawSurface* surface, int x, int y);
// An offscreen plain surface on the library's DirectDraw object with a black
// source colour key; null when there is no DirectDraw object or creation fails.
IDirectDrawSurface* CreateOffscreenSurface(int width, int height);
// Colour-fills the whole surface with the raw 16-bit value.
void Fill(IDirectDrawSurface* surface, uint16_t value);
// Colour-fills the rectangle (x, y, w, h) with the raw 16-bit value; nothing
// for an empty one. A rectangle sticking out of the surface fills nothing.
void FillRect(IDirectDrawSurface* surface, int x, int y, int w, int h, uint16_t value);
// Size from the surface description; 0 x 0 for no surface. Either out may be null.
void GetSurfaceSize(IDirectDrawSurface* surface, int* width, int* height);
// The surface's rectangle centred in (x, y, w, h), halves rounded down separately.
RECT CentreRect(IDirectDrawSurface* surface, int x, int y, int w, int h);
// Cuts source into cellWidth x cellHeight cells in row-major order, appended
// to list as new surfaces with the pure-blue source key. A remainder at the
// right or bottom edge is ignored. Returns 1, or 0 when a cell surface could
// not be made (the cells made so far stay in the list) or the cell size is
// not positive. The source stays with the caller.
int SplitSurface(IDirectDrawSurface* source, std::vector<IDirectDrawSurface*>& list, int cellWidth,
                 int cellHeight, int* columns = nullptr);
// Loads a bitmap at 16 bits, splits it, releases it. 0 when it cannot be loaded.
int LoadAndSplit(const char* path, std::vector<IDirectDrawSurface*>& list, int cellWidth, int cellHeight,
                 int* columns = nullptr);
// Copies the source rectangle (srcX, srcY, w, h) to (destX, destY), clipped to
// the destination's edges only. A source rectangle that leaves the source is
// refused by Blt, so nothing is drawn then. flags -1 = kKeyedWaitBlt.
void BlitClipped(IDirectDrawSurface* source, int srcX, int srcY, int w, int h, IDirectDrawSurface* destination,
                 int destX, int destY, int flags = kDefaultBlitFlags);
// Copies the whole source to (x, y), clipped to the destination.
void DrawSurfaceAt(IDirectDrawSurface* source, IDirectDrawSurface* destination, int x, int y,
                   int flags = kDefaultBlitFlags);

// printf-style diagnostics to "debug.log" in the current directory. Off at
// start; nothing in either program switches it on.
void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void SetDebugLogging(int on);
int DebugLoggingEnabled();
