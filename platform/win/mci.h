// The MCI string interface, for the one MP3 the game loops.
#pragma once

#include "platform/win/wintypes.h"

using MCIERROR = DWORD;
constexpr MCIERROR MCIERR_UNRECOGNIZED_KEYWORD = 259;
constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = 261;
constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = 263;
constexpr MCIERROR MCIERR_CANNOT_LOAD_DRIVER = 266;
constexpr MCIERROR MCIERR_MISSING_COMMAND_STRING = 267;
constexpr MCIERROR MCIERR_MISSING_PARAMETER = 273;
constexpr MCIERROR MCIERR_FILE_NOT_FOUND = 275;
constexpr MCIERROR MCIERR_DUPLICATE_ALIAS = 289;
constexpr MCIERROR MCIERR_INVALID_FILE = 296;

// Accepts "open PATH alias NAME", "play NAME [notify]", "pause NAME",
// "resume NAME" and "close NAME"; posts MM_MCINOTIFY to the callback window
// when a "play ... notify" ends (wParam MCI_NOTIFY_SUCCESSFUL, lParam the
// device id). Pausing or closing posts nothing. Words and aliases are
// case-insensitive; the path goes through platform::MapPath. "open" reads
// only the MP3's headers; it is decoded gaplessly as it plays, through the
// layer's mixer. For loops without a gap, a "play ... notify" that has
// reached its end sounds on from the start until its device is closed, and
// an open of the same file right after that close (within a quarter of a
// second of output) takes the sound over where it is.
MCIERROR mciSendStringA(const char* command, char* returnString, UINT returnLength, HWND callback);
