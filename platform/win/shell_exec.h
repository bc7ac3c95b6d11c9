// Starting programs and opening web addresses, with an argument
// vector, never a shell. QB_SHELL=record:PATH appends each request to PATH
// instead of starting anything.
#pragma once

#include "platform/win/wintypes.h"

// Returns a value above 32 on success, as on Windows.
HINSTANCE ShellExecuteA(HWND window, const char* verb, const char* file, const char* parameters,
                        const char* directory, int showCommand);
