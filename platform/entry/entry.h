// Each program defines WinMain; the layer's main() builds its command line.
#pragma once

#include "platform/win/wintypes.h"

int WinMain(HINSTANCE instance, HINSTANCE previous, char* commandLine, int showCommand);
