#include "game/replay_store.h"

#include "game/rules/replay.h"
#include "platform/win/files.h"

namespace replay_store {

namespace {

constexpr char kFolder[] = "replays";

std::string PathOf(const char* entryName, int score) {
  return std::string(kFolder) + "\\" + quibbleton::ReplayFileName(entryName, score);
}

}  // namespace

std::set<std::string> PathsOf(const HighScoreTable& table) {
  std::set<std::string> paths;
  for (int i = 0; i < table.Count(); ++i)
    if (const HighScoreEntry* entry = table.Entry(i); entry->name[0] != '\0') paths.insert(PathOf(entry->name, entry->score));
  return paths;
}

bool Save(const char* entryName, int score, const std::string& text) {
  CreateDirectoryA(kFolder, nullptr);
  return platform::WriteFileAtomically(platform::MapPath(PathOf(entryName, score).c_str()), text.data(), text.size());
}

void RemoveLeft(const std::set<std::string>& before, const HighScoreTable& table) {
  const std::set<std::string> kept = PathsOf(table);
  for (const std::string& path : before)
    if (!kept.count(path)) DeleteFileA(path.c_str());
}

}  // namespace replay_store
