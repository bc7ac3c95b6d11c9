// Runs a fuzz target without libFuzzer (compilers that lack it): every seed
// of the given folders, then a fixed number of deterministic mutations of
// them. Accepts libFuzzer's "-runs=N" so the same test command serves both.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  long runs = 2000;
  std::vector<std::vector<uint8_t>> seeds;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-runs=", 6) == 0) {
      runs = std::strtol(argv[i] + 6, nullptr, 10);
      continue;
    }
    if (argv[i][0] == '-') continue;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(argv[i], ec)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  if (seeds.empty()) seeds.emplace_back();
  for (const auto& s : seeds) LLVMFuzzerTestOneInput(s.data(), s.size());

  std::mt19937 rng(12345);
  for (long r = 0; r < runs; ++r) {
    std::vector<uint8_t> data = seeds[rng() % seeds.size()];
    int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      switch (rng() % 5) {
        case 0:  // flip a byte
          if (!data.empty()) data[rng() % data.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
          break;
        case 1:  // random byte
          if (!data.empty()) data[rng() % data.size()] = static_cast<uint8_t>(rng());
          break;
        case 2:  // truncate
          if (!data.empty()) data.resize(rng() % data.size());
          break;
        case 3:  // insert bytes
          data.insert(data.begin() + static_cast<long>(data.empty() ? 0 : rng() % data.size()), rng() % 16,
                      static_cast<uint8_t>(rng()));
          break;
        case 4:  // an interesting 32-bit value
          if (data.size() >= 4) {
            static const uint32_t values[] = {0, 1, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 16, 20, 256};
            uint32_t v = values[rng() % 8];
            std::memcpy(&data[rng() % (data.size() - 3)], &v, 4);
          }
          break;
      }
    }
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  std::printf("ran %zu seeds and %ld mutations\n", seeds.size(), runs);
  return 0;
}
