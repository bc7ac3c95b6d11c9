// Shared helpers of the sound tests: WAV files built byte by byte in a
// temporary folder, and reading back a captured 16-bit stereo output.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace soundtest {

inline void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(x & 0xFF);
  v.push_back((x >> 8) & 0xFF);
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
inline void PutId(std::vector<uint8_t>& v, const char* id) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(id[i]));
}

struct Chunk {
  std::string id;
  std::vector<uint8_t> body;
  uint32_t declaredLength = 0xFFFFFFFFu;  // the real length unless set
  bool pad = true;                        // a pad byte after an odd body
};

inline Chunk FmtChunk(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = 1, int blockAlign = -1) {
  Chunk c{"fmt ", {}};
  uint16_t align = blockAlign >= 0 ? static_cast<uint16_t>(blockAlign) : static_cast<uint16_t>(channels * bits / 8);
  Put16(c.body, tag);
  Put16(c.body, channels);
  Put32(c.body, rate);
  Put32(c.body, rate * align);
  Put16(c.body, align);
  Put16(c.body, bits);
  return c;
}

inline Chunk DataChunk(std::vector<uint8_t> bytes) { return Chunk{"data", std::move(bytes)}; }

// 16-bit mono samples of one constant value.
inline std::vector<uint8_t> Constant16(uint32_t frames, int16_t value, int channels = 1) {
  std::vector<uint8_t> v;
  for (uint32_t i = 0; i < frames * static_cast<uint32_t>(channels); ++i) Put16(v, static_cast<uint16_t>(value));
  return v;
}

// Samples numbered 0, 1, 2 ... as 16-bit values, so positions can be read back.
inline std::vector<uint8_t> Ramp16(uint32_t frames, int channels = 1) {
  std::vector<uint8_t> v;
  for (uint32_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) Put16(v, static_cast<uint16_t>(i & 0x7FFF));
  return v;
}

inline std::vector<uint8_t> Riff(const std::vector<Chunk>& chunks, const char* form = "WAVE") {
  std::vector<uint8_t> body;
  PutId(body, form);
  for (const Chunk& c : chunks) {
    PutId(body, c.id.c_str());
    Put32(body, c.declaredLength != 0xFFFFFFFFu ? c.declaredLength : static_cast<uint32_t>(c.body.size()));
    body.insert(body.end(), c.body.begin(), c.body.end());
    if (c.pad && (c.body.size() & 1)) body.push_back(0);
  }
  std::vector<uint8_t> file;
  PutId(file, "RIFF");
  Put32(file, static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

inline std::vector<uint8_t> Wav(uint16_t channels, uint32_t rate, uint16_t bits, std::vector<uint8_t> data) {
  return Riff({FmtChunk(channels, rate, bits), DataChunk(std::move(data))});
}

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/qb-sound-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::string p = path_ + "/" + name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return p;
  }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The frames of a 16-bit stereo WAV file written by the wav output.
struct Captured {
  uint32_t rate = 0;
  std::vector<int16_t> samples;  // interleaved left, right
  size_t Frames() const { return samples.size() / 2; }
  int16_t Left(size_t f) const { return samples[f * 2]; }
  int16_t Right(size_t f) const { return samples[f * 2 + 1]; }
};

inline Captured ReadCapture(const std::string& path) {
  Captured c;
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 44) return c;
  c.rate = bytes[24] | bytes[25] << 8 | bytes[26] << 16 | static_cast<uint32_t>(bytes[27]) << 24;
  uint32_t dataBytes = bytes[40] | bytes[41] << 8 | bytes[42] << 16 | static_cast<uint32_t>(bytes[43]) << 24;
  dataBytes = std::min<uint32_t>(dataBytes, static_cast<uint32_t>(bytes.size() - 44));
  c.samples.resize(dataBytes / 2);
  std::memcpy(c.samples.data(), bytes.data() + 44, c.samples.size() * 2);
  return c;
}

}  // namespace soundtest
