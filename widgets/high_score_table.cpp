#include "widgets/high_score_table.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/posix/files.h"

namespace {

// The file is little-endian whatever the host is.
void PutInt32(uint8_t* p, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

int32_t GetInt32(const uint8_t* p) {
  const uint32_t v = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  return static_cast<int32_t>(v);
}

}  // namespace

void HighScoreTable::Resize(int n) {
  Free();
  if (n <= 0) return;
  // Value-initialised: every byte zero, names empty, scores 0.
  entries_ = std::make_unique<HighScoreEntry[]>(static_cast<size_t>(n));
  count_ = n;
}

void HighScoreTable::Free() {
  entries_.reset();
  count_ = 0;
}

int HighScoreTable::Insert(const char* name, int score) {
  int i = 0;
  while (i < count_ && entries_[i].score >= score) ++i;
  if (i == count_) return 0;
  // Whole entries move down, name bytes after the terminator included.
  std::memmove(&entries_[i + 1], &entries_[i], sizeof(HighScoreEntry) * static_cast<size_t>(count_ - 1 - i));
  // The rest of the buffer is zeroed: left as it was, it kept a piece of
  // the entry that held the slot before (another player's e-mail) and wrote
  // it into the file. Readers stop at the terminator either way.
  const char* text = name != nullptr ? name : "";
  const size_t n = strnlen(text, kNameSize - 1);
  std::memcpy(entries_[i].name, text, n);
  std::memset(entries_[i].name + n, 0, kNameSize - n);
  entries_[i].score = score;
  return 1;
}

int HighScoreTable::TopScore() const { return count_ > 0 ? entries_[0].score : 0; }

const HighScoreEntry* HighScoreTable::Entry(int i) const {
  if (i < 0 || i >= count_) return nullptr;
  return &entries_[i];
}

int HighScoreTable::Load(const char* path) {
  if (path == nullptr) return 0;
  FILE* file = platform::OpenFile(path, "rb");
  if (file == nullptr) return 0;
  uint8_t header[4];
  if (std::fread(header, 1, sizeof header, file) != sizeof header || GetInt32(header) != count_) {
    std::fclose(file);
    return 0;
  }
  uint8_t record[kRecordSize];
  for (int i = 0; i < count_; ++i) {
    // A record is taken whole or not at all; the entries after the end of
    // a short file keep what they held.
    if (std::fread(record, 1, sizeof record, file) != sizeof record) break;
    HighScoreEntry& e = entries_[i];
    std::memcpy(e.name, record, kNameSize);
    // A name without a terminator is ended at its last byte, so no later
    // strlen runs into the score or the next entry. Names that are already
    // terminated stay byte for byte as read.
    if (std::memchr(e.name, '\0', kNameSize) == nullptr) e.name[kNameSize - 1] = '\0';
    e.score = GetInt32(record + kNameSize);
  }
  std::fclose(file);
  return 1;
}

int HighScoreTable::Save(const char* path) const {
  if (path == nullptr) return 0;
  std::vector<uint8_t> bytes(FileSize(count_));
  PutInt32(bytes.data(), count_);
  uint8_t* p = bytes.data() + 4;
  for (int i = 0; i < count_; ++i, p += kRecordSize) {
    std::memcpy(p, entries_[i].name, kNameSize);
    PutInt32(p + kNameSize, entries_[i].score);
  }
  return platform::WriteFileAtomically(platform::MapPath(path), bytes.data(), bytes.size()) ? 1 : 0;
}
