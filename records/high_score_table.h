// The hall of fame: (name, score) entries, best first, kept in "hiscore.dat".
// Both programs read and write the same file, so its layout is fixed byte
// for byte: an int32 count, then per entry the 256 raw name bytes and an
// int32 score, all little-endian (5204 bytes for 20 entries).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct HighScoreEntry {
  // NUL-terminated; the bytes after the terminator are whatever the buffer
  // held before and are saved as they are.
  char name[256];
  int32_t score;
};
static_assert(sizeof(HighScoreEntry) == 260);
static_assert(offsetof(HighScoreEntry, score) == 256);

class HighScoreTable {
 public:
  static constexpr size_t kNameSize = sizeof(HighScoreEntry::name);
  static constexpr size_t kRecordSize = kNameSize + 4;
  static constexpr size_t FileSize(int count) { return 4 + kRecordSize * static_cast<size_t>(count); }

  HighScoreTable() = default;
  ~HighScoreTable() = default;
  HighScoreTable(const HighScoreTable&) = delete;
  HighScoreTable& operator=(const HighScoreTable&) = delete;

  // n zeroed entries (a negative n counts as 0).
  void Resize(int n);
  void Free();
  // Places score above the first entry with a lower score, so equal scores
  // keep their order and the last entry drops out. Returns 0, changing
  // nothing, when no entry is lower. The name is cut as StoredName cuts it.
  int Insert(const char* name, int score);
  // What an entry keeps of a name: at most 255 bytes, cut before a UTF-8
  // character that would not fit whole.
  static std::string StoredName(std::string_view name);
  // The best score, 0 for an empty table.
  int TopScore() const;
  // 0 when the file cannot be read or is not a table of this count, byte
  // for byte of its size (the table stays as it was). Every loaded name
  // ends inside its 256 bytes.
  int Load(const char* path);
  // Writes the same bytes as the file format, replacing the file atomically
  // so a crash leaves the old table or the new one. 0 on failure.
  int Save(const char* path) const;

  // A change of the file while another program may be saving it too: under
  // the file's lock, the table becomes the file as it is now (an empty table
  // when the file is missing or not a table) and change edits it. The table
  // is written back when change returns true; true when the file then holds
  // it. False (errno set) when nothing was written: change declined, the
  // write failed, or the file could not be opened and change never ran (the
  // table then stays as it was). Whatever change did stays in the table.
  // Other files kept in step with the table are changed inside change, so
  // no other save of the table comes between.
  bool Rewrite(const char* path, const std::function<bool(HighScoreTable&)>& change);

  // A score entered while another program may be saving the same file:
  // through Rewrite, each of the entries is inserted in order into the file
  // as it is now, and the result is written back when any got in. The table
  // keeps the merged entries whether or not the write succeeded (when the
  // file could not be read they go into the table as it was). beforeWrite,
  // when given, runs under the lock once an entry got in, before the table
  // is written.
  struct PendingEntry {
    std::string name;
    int score;
  };
  struct MergeResult {
    bool lastInserted = false;  // the last of the entries got in
    bool anyInserted = false;
    bool saved = false;  // the file holds the merged table
  };
  MergeResult InsertMerged(const char* path, const std::vector<PendingEntry>& entries,
                           const std::function<void(const MergeResult&)>& beforeWrite = nullptr);

  int Count() const { return count_; }
  // Entry i, or null when i is outside the table.
  const HighScoreEntry* Entry(int i) const;

 private:
  // The file's bytes into the entries; false (nothing changed) unless they
  // are exactly a table of this count.
  bool FromBytes(const std::string& bytes);
  std::string ToBytes() const;

  std::unique_ptr<HighScoreEntry[]> entries_;
  int32_t count_ = 0;
};
