// The window as the user left it: its size, whether maximised, whether full
// screen. Remembered per user and shared by both programs, so the game opens
// as the launcher was; kept in "window.ini" of the user's settings folder,
// never in the program tree.
#pragma once

#include <string>

#include "platform/device/video.h"

namespace platform {

std::string WindowMemoryPath();
// What was saved last; a missing or unreadable file gives the defaults, and
// sizes outside 400 x 300 .. 16384 x 16384 are not known.
WindowPlacement LoadWindowPlacement();
// Written atomically, the folders made; false when it could not be.
bool SaveWindowPlacement(const WindowPlacement& placement);

}  // namespace platform
