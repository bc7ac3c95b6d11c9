// INI profile functions with the Windows semantics the programs rely on:
// case-insensitive sections and keys, trimmed values, the default and buffer
// rules, LF or CRLF files. Every write replaces the file atomically.
#pragma once

#include "platform/wintypes.h"

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName);
// value null deletes the key; key null deletes the section.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName);
