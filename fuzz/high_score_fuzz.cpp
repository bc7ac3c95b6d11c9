// Loads arbitrary bytes as "hiscore.dat" and reads every name back with
// strlen: whatever the file holds, no read may leave its entry. A complete
// file whose names are all terminated must save back byte for byte.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "records/high_score_table.h"

namespace {

const std::string& TempDir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/qb_fuzz_hiscore_XXXXXX";
    if (mkdtemp(pattern) == nullptr) abort();
    return std::string(pattern);
  }();
  return dir;
}

bool WriteAll(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  uint8_t buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

bool NamesTerminated(const uint8_t* data, int count) {
  for (int i = 0; i < count; ++i) {
    if (std::memchr(data + 4 + HighScoreTable::kRecordSize * size_t(i), 0, HighScoreTable::kNameSize) == nullptr)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = TempDir() + "/hiscore.dat";
  const std::string output = TempDir() + "/saved.dat";
  if (!WriteAll(input, data, size)) return 0;

  // Both programs use 20 entries; small tables of other counts take other
  // files as well-formed, which reaches the record loop with short inputs.
  for (int count : {20, static_cast<int>(size % 4)}) {
    HighScoreTable table;
    table.Resize(count);
    const int loaded = table.Load(input.c_str());
    for (int i = 0; i < table.Count(); ++i) {
      if (std::strlen(table.Entry(i)->name) >= HighScoreTable::kNameSize) abort();
    }
    if (loaded == 1 && size == HighScoreTable::FileSize(count) && NamesTerminated(data, count)) {
      if (table.Save(output.c_str()) != 1) abort();
      const std::vector<uint8_t> saved = ReadAll(output);
      if (saved.size() != size || (size > 0 && std::memcmp(saved.data(), data, size) != 0)) abort();
    }
  }
  return 0;
}
