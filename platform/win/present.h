// Showing a surface through the chosen video backend, which sees only a
// view of its pixels (platform/device/video.h).
#pragma once

#include "platform/device/video.h"
#include "platform/win/ddraw.h"

namespace platform {

// The surface as a backend sees it, its drawn region taken (the next view
// of it starts empty).
PixelView TakeFrameView(IDirectDrawSurface& frame);
// Presents a frame: takes the scripted frame dumps that are due, then shows it.
void PresentFrame(IDirectDrawSurface& frame);

}  // namespace platform
