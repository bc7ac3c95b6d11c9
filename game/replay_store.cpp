#include "game/replay_store.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <set>

#include "game/rules/replay.h"
#include "platform/posix/file_save.h"
#include "platform/posix/user_files.h"
#include "platform/win/files.h"

namespace replay_store {

namespace {

constexpr char kFolder[] = "replays";

std::string PathOf(const char* entryName, int score) {
  return std::string(kFolder) + "\\" + quibbleton::ReplayFileName(entryName, score);
}

// The folder the replays are written to, as the file calls place a new one.
std::string WrittenFolder() {
  const std::string probe =
      platform::PlaceOf(platform::MapPath((std::string(kFolder) + "\\replay").c_str()), platform::FileAccess::Write);
  const size_t slash = probe.find_last_of('/');
  return slash == std::string::npos ? "." : probe.substr(0, slash);
}

// "TEXT" with n characters that pass is(c), from *at on; *at moves past them.
bool Take(std::string_view name, size_t* at, size_t n, int (*is)(int)) {
  if (name.size() - *at < n) return false;
  for (size_t end = *at + n; *at < end; ++*at)
    if (!is(static_cast<unsigned char>(name[*at]))) return false;
  return true;
}

int IsLowerHex(int c) { return std::isdigit(c) || (c >= 'a' && c <= 'f'); }

}  // namespace

bool IsReplayFileName(std::string_view name) {
  // "SCORE-HASH.txt": a decimal score (maybe negative), the 16 hex digits of the name's hash.
  size_t at = name.size() > 0 && name[0] == '-' ? 1 : 0;
  const size_t digits = name.find('-', at);
  if (digits == std::string_view::npos || digits == at || digits - at > 10) return false;
  if (!Take(name, &at, digits - at, [](int c) { return std::isdigit(c); })) return false;
  ++at;
  return Take(name, &at, 16, IsLowerHex) && name.substr(at) == ".txt";
}

bool Save(const char* entryName, int score, const std::string& text) {
  CreateDirectoryA(kFolder, nullptr);
  return platform::WriteFileAtomically(platform::MapPath(PathOf(entryName, score).c_str()), text.data(), text.size());
}

int Tidy(const HighScoreTable& table) {
  const std::string folder = WrittenFolder();
  std::vector<platform::DirectoryEntry> listed;
  if (!platform::ListDirectory(folder, &listed)) listed.clear();
  std::set<std::string> present, named;
  for (const platform::DirectoryEntry& e : listed)
    if (!e.isDirectory && IsReplayFileName(e.name)) present.insert(e.name);
  for (int i = 0; i < table.Count(); ++i) {
    const HighScoreEntry* entry = table.Entry(i);
    if (entry->name[0] == '\0') continue;
    const std::string name = quibbleton::ReplayFileName(entry->name, entry->score);
    if (named.insert(name).second && !present.count(name))
      std::fprintf(stderr, "hiscore.dat: the entry \"%s\" %d has no replay (%s\\%s is missing)\n", entry->name,
                   entry->score, kFolder, name.c_str());
  }
  int removed = 0;
  for (const std::string& name : present)
    if (!named.count(name) && platform::RemoveFile(folder + "/" + name)) ++removed;
  platform::RemoveSaveLeftovers(folder);
  return removed;
}

ScoreSave SaveScores(HighScoreTable& table, const char* tablePath,
                     const std::vector<HighScoreTable::PendingEntry>& scores, const std::string& replay) {
  ScoreSave result;
  errno = 0;
  result.merged = table.InsertMerged(tablePath, scores, [&](const HighScoreTable::MergeResult& merged) {
    if (!merged.lastInserted || replay.empty()) return;
    // The table keeps the name cut as the insert cut it.
    const std::string name = HighScoreTable::StoredName(scores.back().name);
    if (!Save(name.c_str(), scores.back().score, replay)) result.replayError = errno ? errno : EIO;
  });
  if (!result.merged.saved) {
    result.tableError = errno;
    // A replay written for a table that was not is left to the next save's tidying.
    result.replayError = 0;
    return result;
  }
  HighScoreTable now;
  now.Resize(table.Count());
  now.Rewrite(tablePath, [](HighScoreTable& asSaved) {
    Tidy(asSaved);
    return false;  // read only
  });
  return result;
}

}  // namespace replay_store
