// INI profile functions with the Windows semantics the programs rely on:
// case-insensitive sections and keys, trimmed values, the default and buffer
// rules, LF or CRLF files. Every write replaces the file atomically.
#pragma once

#include <string>
#include <string_view>

#include "platform/win/wintypes.h"

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName);
// value null deletes the key; key null deletes the section.
BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName);

namespace platform {
struct ProfileWrite {
  const char* section;
  const char* key;    // null deletes the section
  const char* value;  // null deletes the key
};
// Several writes to one file as one save: all of them or none reach it.
BOOL WriteProfileStrings(const ProfileWrite* writes, size_t count, const char* fileName);

// The file's whole text, read once (a missing file reads as empty), for a
// caller that wants several values of one moment through the text functions.
std::string ReadProfileText(const char* fileName);

// The same rules on INI text in memory; the file functions read and write
// through them (and the fuzzer calls them directly).
DWORD GetProfileStringFromText(std::string_view text, const char* section, const char* key,
                               const char* defaultValue, char* buffer, DWORD size);
// The text with the key set (value null deletes it; key null deletes the section).
std::string SetProfileStringInText(std::string_view text, const char* section, const char* key, const char* value);
}  // namespace platform
