#include "platform/win/present.h"

#include <cstdio>
#include <string>

#include "platform/device/clock.h"
#include "platform/device/config.h"
#include "platform/device/input.h"
#include "platform/win/bitmap.h"

namespace platform {

PixelView TakeFrameView(IDirectDrawSurface& frame) {
  PixelView view;
  view.pixels = frame.Pixels();
  view.width = frame.Width();
  view.height = frame.Height();
  view.pitch = frame.Pitch();
  view.format = frame.BitsPerPixel() == 8 ? PixelView::Format::Indexed8 : PixelView::Format::Rgb565;
  view.dirty = frame.TakeWritten();
  return view;
}

void PresentFrame(IDirectDrawSurface& frame) {
  WriteDueDumps(NowMs());
  for (const std::string& path : TakeDueShots(NowMs())) {
    if (!SaveSurfaceAsBmp24(&frame, path.c_str()))
      std::fprintf(stderr, "%s: cannot write frame dump %s\n", ProgramName().c_str(), path.c_str());
  }
  Video().Present(TakeFrameView(frame));
}

}  // namespace platform
