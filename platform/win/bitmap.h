// Pictures from BMP files into the layer's surfaces, through our own decoder
// (platform/media/bmp_decode.h). Any file that cannot be decoded gives null,
// with a line on stderr saying why; a malformed file never crashes the decoder.
#pragma once

#include <string>

#include "platform/win/ddraw.h"

namespace platform {

// 16: an 8-, 24- or 32-bit BMP converted to RGB565. 8: a palette BMP keeps
// its indices (a non-palette file gives null).
IDirectDrawSurface* LoadBitmapSurface(const char* path, int bits);
IDirectDrawSurface* LoadBitmapSurfaceFromMemory(const void* data, size_t size, int bits);

// Reads only the header of the BMP file at path (already mapped): true, with
// the picture's size, when it is a regular file whose header the decoder
// would take (a plausible size, and the rows an uncompressed picture
// announces are there).
bool ReadBitmapSize(const std::string& path, int* width, int* height);

// Writes a 16-bit surface as a 24-bit BMP, expanding 5/6 bits by bit
// replication, exactly as the window shows it. Returns false on I/O failure.
bool SaveSurfaceAsBmp24(const IDirectDrawSurface* surface, const char* path);

}  // namespace platform
