// The MCI string interface, for the one MP3 the game loops.
#pragma once

#include "platform/wintypes.h"

using MCIERROR = DWORD;
constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = 261;

// Accepts "open PATH alias NAME", "play NAME [notify]", "pause NAME",
// "resume NAME" and "close NAME"; posts MM_MCINOTIFY to the callback window
// when a "play ... notify" ends.
MCIERROR mciSendStringA(const char* command, char* returnString, UINT returnLength, HWND callback);
