#include "records/high_score_table.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/posix/file_read.h"
#include "platform/posix/file_save.h"
#include "platform/posix/files.h"
#include "records/utf8.h"

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
  // Enough of the text to see whether the character across the cut is whole.
  const char* text = name != nullptr ? name : "";
  const std::string_view seen(text, strnlen(text, kNameSize + 2));
  const size_t n = records::WholeCharactersWithin(seen, kNameSize - 1);
  std::memcpy(entries_[i].name, text, n);
  std::memset(entries_[i].name + n, 0, kNameSize - n);
  entries_[i].score = score;
  return 1;
}

std::string HighScoreTable::StoredName(std::string_view name) {
  return std::string(name.substr(0, records::WholeCharactersWithin(name, kNameSize - 1)));
}

int HighScoreTable::TopScore() const { return count_ > 0 ? entries_[0].score : 0; }

const HighScoreEntry* HighScoreTable::Entry(int i) const {
  if (i < 0 || i >= count_) return nullptr;
  return &entries_[i];
}

bool HighScoreTable::FromBytes(const std::string& bytes) {
  // Only a whole table of this count: a file of any other size is not one.
  if (count_ <= 0 || bytes.size() != FileSize(count_)) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  if (GetInt32(p) != count_) return false;
  p += 4;
  for (int i = 0; i < count_; ++i, p += kRecordSize) {
    HighScoreEntry& e = entries_[i];
    std::memcpy(e.name, p, kNameSize);
    // A name without a terminator is ended at its last byte, so no later
    // strlen runs into the score or the next entry. Names that are already
    // terminated stay byte for byte as read.
    if (std::memchr(e.name, '\0', kNameSize) == nullptr) e.name[kNameSize - 1] = '\0';
    e.score = GetInt32(p + kNameSize);
  }
  return true;
}

std::string HighScoreTable::ToBytes() const {
  std::string bytes(FileSize(count_), '\0');
  auto* p = reinterpret_cast<uint8_t*>(bytes.data());
  PutInt32(p, count_);
  p += 4;
  for (int i = 0; i < count_; ++i, p += kRecordSize) {
    std::memcpy(p, entries_[i].name, kNameSize);
    PutInt32(p + kNameSize, entries_[i].score);
  }
  return bytes;
}

int HighScoreTable::Load(const char* path) {
  if (path == nullptr || count_ <= 0) return 0;
  std::string bytes;
  if (platform::ReadRegularFile(platform::MapPath(path), FileSize(count_), &bytes) != platform::ReadResult::kOk)
    return 0;
  return FromBytes(bytes) ? 1 : 0;
}

int HighScoreTable::Save(const char* path) const {
  if (path == nullptr) return 0;
  const std::string bytes = ToBytes();
  return platform::WriteFileAtomically(platform::MapPath(path), bytes.data(), bytes.size()) ? 1 : 0;
}

bool HighScoreTable::Rewrite(const char* path, const std::function<bool(HighScoreTable&)>& change) {
  if (path == nullptr || count_ <= 0) return false;
  const int count = count_;
  return platform::RewriteFile(platform::MapPath(path), FileSize(count),
                               [&](platform::ReadResult read, const std::string& old, std::string* out) {
                                 Resize(count);
                                 if (read == platform::ReadResult::kOk) FromBytes(old);
                                 if (!change(*this)) return false;
                                 *out = ToBytes();
                                 return true;
                               });
}

HighScoreTable::MergeResult HighScoreTable::InsertMerged(const char* path, const std::vector<PendingEntry>& entries,
                                                         const std::function<void(const MergeResult&)>& beforeWrite) {
  MergeResult result;
  if (path == nullptr || count_ <= 0) return result;
  const auto insertAll = [&](HighScoreTable& table) {
    for (const PendingEntry& e : entries) {
      result.lastInserted = table.Insert(e.name.c_str(), e.score) == 1;
      result.anyInserted = result.anyInserted || result.lastInserted;
    }
  };
  bool read = false;
  result.saved = Rewrite(path, [&](HighScoreTable& table) {
    read = true;
    insertAll(table);
    if (!result.anyInserted) return false;
    if (beforeWrite) beforeWrite(result);
    return true;
  });
  // When the file could not even be opened, the entries still go into the table as it was.
  if (!read) {
    const int error = errno;
    insertAll(*this);
    errno = error;
  }
  return result;
}
