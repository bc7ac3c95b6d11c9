#include "platform/posix/path_memo.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace platform {
namespace {

#ifdef __EMSCRIPTEN__
constexpr bool kKeepByDefault = true;
#else
constexpr bool kKeepByDefault = false;
#endif

// A program looks up a few dozen paths; a run that looks up far more (a
// scan of many folders) starts over rather than growing without end.
constexpr size_t kMostFacts = 4096;

struct Memo {
  std::mutex lock;
  bool keep = kKeepByDefault;
  std::unordered_map<std::string, std::optional<struct stat>> stats;
  std::unordered_map<std::string, std::optional<std::vector<std::string>>> listings;
  std::unordered_map<std::string, std::string> realPaths;
  std::unordered_map<std::string, bool> writable;

  size_t Size() const { return stats.size() + listings.size() + realPaths.size() + writable.size(); }
  void Clear() {
    stats.clear();
    listings.clear();
    realPaths.clear();
    writable.clear();
  }
};

Memo& M() {
  static Memo memo;
  return memo;
}

// The value for key, asked of the system once while facts are kept.
template <typename Value, typename Ask>
Value Recall(std::unordered_map<std::string, Value> Memo::*table, const std::string& key, Ask ask) {
  Memo& m = M();
  std::unique_lock<std::mutex> held(m.lock);
  if (!m.keep) {
    held.unlock();
    return ask();
  }
  auto& facts = m.*table;
  if (auto it = facts.find(key); it != facts.end()) return it->second;
  Value value = ask();
  if (m.Size() >= kMostFacts) m.Clear();
  facts.emplace(key, value);
  return value;
}

}  // namespace

void KeepPathFacts(bool keep) {
  std::lock_guard<std::mutex> held(M().lock);
  M().keep = keep;
  M().Clear();
}

void ForgetPathFacts() {
  const int error = errno;  // callers report the change's own failure
  {
    std::lock_guard<std::mutex> held(M().lock);
    M().Clear();
  }
  errno = error;
}

bool StatPath(const std::string& path, struct stat* st) {
  const std::optional<struct stat> found = Recall(&Memo::stats, path, [&]() -> std::optional<struct stat> {
    struct stat s;
    if (::stat(path.c_str(), &s) != 0) return std::nullopt;
    return s;
  });
  if (found) *st = *found;
  return found.has_value();
}

bool ListNames(const std::string& dir, std::vector<std::string>* names) {
  const auto listed = Recall(&Memo::listings, dir, [&]() -> std::optional<std::vector<std::string>> {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return std::nullopt;
    std::vector<std::string> all;
    while (dirent* e = ::readdir(d)) all.emplace_back(e->d_name);
    ::closedir(d);
    return all;
  });
  if (listed) *names = *listed;
  return listed.has_value();
}

std::string RealPathOf(const std::string& path) {
  return Recall(&Memo::realPaths, path, [&] {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
  });
}

bool MayWrite(const std::string& path) {
  return Recall(&Memo::writable, path, [&] { return ::access(path.c_str(), W_OK) == 0; });
}

}  // namespace platform
