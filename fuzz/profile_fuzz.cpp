// Reads arbitrary bytes as an INI file through the profile functions with
// small buffers, then writes a key and reads it back. The results must stay
// inside the buffers, be terminated, and the written value must come back.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win/profile.h"

namespace {

const std::string& TempFile() {
  static const std::string path = [] {
    char pattern[] = "/tmp/qb_fuzz_profile_XXXXXX";
    if (mkdtemp(pattern) == nullptr) abort();
    return std::string(pattern) + "/options.ini";
  }();
  return path;
}

// A read into a guarded buffer: the bytes past size must stay untouched and
// the result must be a terminated string within the reported length.
void CheckedRead(const char* section, const char* key, const char* def, DWORD size, const char* file) {
  char buffer[80];
  std::memset(buffer, 0x5A, sizeof buffer);
  const DWORD n = GetPrivateProfileStringA(section, key, def, buffer, size, file);
  for (size_t i = size; i < sizeof buffer; ++i) {
    if (buffer[i] != 0x5A) abort();
  }
  if (size == 0) return;
  if (n >= size) abort();
  // A NUL byte inside a value ends the string early; the count may still
  // include the bytes behind it, but never less than the string.
  if (std::strlen(buffer) > n) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = TempFile();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  const char* file = path.c_str();

  static const char* const kSections[] = {"setup", "Player1", "player8", "default", ""};
  static const char* const kKeys[] = {"playerid", "name", "send", "Music", "images", ""};
  static const DWORD kSizes[] = {0, 1, 2, 3, 8, 32, 64};
  for (const char* section : kSections) {
    for (const char* key : kKeys) {
      for (DWORD bufferSize : kSizes) CheckedRead(section, key, "dflt", bufferSize, file);
    }
  }

  // The value a player edit stores must read back exactly, whatever the
  // rest of the file holds; the other keys' reads stay inside their buffers.
  const char* value = "Fuzzy Player";
  if (!WritePrivateProfileStringA("Player3", "name", value, file)) return 0;
  char back[64];
  GetPrivateProfileStringA("player3", "NAME", "", back, sizeof back, file);
  if (std::strcmp(back, value) != 0) abort();
  CheckedRead("setup", "playerid", "0", 32, file);
  CheckedRead("Player3", "send", "Y", 2, file);
  return 0;
}
