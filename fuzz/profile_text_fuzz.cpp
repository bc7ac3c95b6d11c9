// The INI rules on text in memory, thousands of inputs a second (the
// file-level target reopens the file for every read). Reads with small
// buffers stay inside them and are terminated; setting one key reads back
// exactly and leaves what every other key reads unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/win/profile.h"

namespace {

const char* const kSections[] = {"setup", "Player1", "player3", "default", ""};
const char* const kKeys[] = {"playerid", "name", "send", "Music", "images", ""};

// A read into a guarded buffer: the bytes past size must stay untouched and
// the result must be a terminated string within the reported length.
std::string CheckedRead(std::string_view text, const char* section, const char* key, DWORD size) {
  char buffer[80];
  std::memset(buffer, 0x5A, sizeof buffer);
  const DWORD n = platform::GetProfileStringFromText(text, section, key, "dflt", buffer, size);
  for (size_t i = size; i < sizeof buffer; ++i)
    if (buffer[i] != 0x5A) abort();
  if (size == 0) return {};
  if (n >= size || std::strlen(buffer) > n) abort();
  return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static const DWORD kSizes[] = {0, 1, 2, 3, 8, 64};
  std::string before[5][6];
  for (int s = 0; s < 5; ++s)
    for (int k = 0; k < 6; ++k) {
      for (DWORD bufferSize : kSizes) CheckedRead(text, kSections[s], kKeys[k], bufferSize);
      before[s][k] = CheckedRead(text, kSections[s], kKeys[k], 64);
    }

  const std::string edited = platform::SetProfileStringInText(text, "Player3", "name", "Fuzzy Player");
  if (CheckedRead(edited, "PLAYER3", "Name", 64) != "Fuzzy Player") abort();
  for (int s = 0; s < 5; ++s)
    for (int k = 0; k < 6; ++k) {
      if (s == 2 && k == 1) continue;
      if (CheckedRead(edited, kSections[s], kKeys[k], 64) != before[s][k]) abort();
    }
  return 0;
}
