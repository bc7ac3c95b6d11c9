// Helpers shared by the framework's tests: the graphics library brought up
// once on the headless backend, a per-process scratch folder, 24-bit BMP
// files written on the fly, and direct pixel access to surfaces.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/win/ddraw.h"
#include "platform/win/window.h"
#include "gx/gx.h"
#include "gx/surface.h"

namespace fwtest {

constexpr uint16_t Rgb565(int r, int g, int b) {
  return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
constexpr uint16_t kBlack = 0x0000;
constexpr uint16_t kBlue = 0x001F;  // the sprites' and buttons' colour key
constexpr uint16_t kWhite = 0xFFFF;
constexpr uint16_t kRed = Rgb565(255, 0, 0);
constexpr uint16_t kGreen = Rgb565(0, 255, 0);

// The window and the graphics library, once per process, as the shell
// brings them up (800 x 600 back buffer, windowed).
inline void EnsureGraphics() {
  static bool up = false;
  if (up) return;
  static WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "FrameworkTest";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, "FrameworkTest", "test", WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr, nullptr,
                                nullptr);
  GXInitDirectX(window, 800, 600);
  up = true;
}

inline IDirectDrawSurface* BackBuffer() {
  IDirectDrawSurface* primary = nullptr;
  IDirectDrawSurface* back = nullptr;
  GXGetDDInfo(&primary, &back);
  return back;
}

inline std::string& ScratchPath() {
  static std::string dir;
  return dir;
}

// A scratch folder unique to this process, made on first use and removed at exit.
inline const std::string& ScratchDir() {
  std::string& dir = ScratchPath();
  if (dir.empty()) {
    std::filesystem::path p = std::filesystem::temp_directory_path() / ("qb_fw_" + std::to_string(getpid()));
    std::filesystem::create_directories(p);
    dir = p.string();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchPath(), ignored);
    });
  }
  return dir;
}

// Writes a bottom-up 24-bit BMP whose pixel (x, y) has the colour rgb(x, y) = 0xRRGGBB.
inline std::string WriteBmp(const std::string& path, int width, int height,
                            const std::function<uint32_t(int, int)>& rgb) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
  const int rowBytes = (width * 3 + 3) & ~3;
  const uint32_t imageSize = static_cast<uint32_t>(rowBytes * height);
  std::vector<uint8_t> data(54 + imageSize, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) data[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  data[0] = 'B';
  data[1] = 'M';
  put32(2, static_cast<uint32_t>(data.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  data[26] = 1;
  data[28] = 24;
  put32(34, imageSize);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &data[54 + static_cast<size_t>(height - 1 - y) * rowBytes];
    for (int x = 0; x < width; ++x) {
      const uint32_t c = rgb(x, y);
      row[x * 3 + 0] = static_cast<uint8_t>(c);
      row[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file) {
    std::fwrite(data.data(), 1, data.size(), file);
    std::fclose(file);
  }
  return path;
}

inline std::string WriteSolidBmp(const std::string& path, int width, int height, uint32_t rgb) {
  return WriteBmp(path, width, height, [rgb](int, int) { return rgb; });
}

inline IDirectDrawSurface* NewSurface(int width, int height) {
  return new IDirectDrawSurface(width, height, 16, DDSCAPS_OFFSCREENPLAIN);
}

inline uint16_t Pixel(const IDirectDrawSurface* s, int x, int y) {
  return reinterpret_cast<const uint16_t*>(s->Pixels() + static_cast<size_t>(y) * s->Pitch())[x];
}

inline void SetPixel(IDirectDrawSurface* s, int x, int y, uint16_t v) {
  reinterpret_cast<uint16_t*>(s->Pixels() + static_cast<size_t>(y) * s->Pitch())[x] = v;
}

inline void FillAll(IDirectDrawSurface* s, uint16_t v) { FillRect(s, 0, 0, s->Width(), s->Height(), v); }

// Every pixel (x, y) gets a value derived from its place, never the black or blue key.
inline void Pattern(IDirectDrawSurface* s, int salt = 0) {
  for (int y = 0; y < s->Height(); ++y)
    for (int x = 0; x < s->Width(); ++x) SetPixel(s, x, y, static_cast<uint16_t>(0x8000 | ((y + salt) << 7) | x));
}
inline uint16_t PatternAt(int x, int y, int salt = 0) { return static_cast<uint16_t>(0x8000 | ((y + salt) << 7) | x); }

// Releases a surface at the end of a scope.
struct SurfaceHolder {
  IDirectDrawSurface* s;
  explicit SurfaceHolder(IDirectDrawSurface* surface) : s(surface) {}
  ~SurfaceHolder() {
    if (s) s->Release();
  }
  SurfaceHolder(const SurfaceHolder&) = delete;
  SurfaceHolder& operator=(const SurfaceHolder&) = delete;
  IDirectDrawSurface* operator->() const { return s; }
  operator IDirectDrawSurface*() const { return s; }
};

}  // namespace fwtest
