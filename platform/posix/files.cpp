#include "platform/posix/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/posix/file_read.h"
#include "platform/posix/path_memo.h"
#include "platform/posix/program_name.h"
#include "platform/posix/user_files.h"

namespace platform {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return StatPath(path, &st);
}

// The entry of dir whose name equals name ignoring case, or empty; *listed
// (when given) tells whether dir could be read at all.
std::string FindCaseInsensitive(const std::string& dir, const std::string& name, bool* listed = nullptr) {
  std::vector<std::string> names;
  const bool canList = ListNames(dir.empty() ? "." : dir, &names);
  if (listed) *listed = canList;
  for (const std::string& entry : names)
    if (strcasecmp(entry.c_str(), name.c_str()) == 0) return entry;
  return {};
}

bool IsDots(const std::string& part) { return part == "." || part == ".."; }

// Whether ResolveLiteralBackslashes could find a path MatchCase did not.
// It joins names only across a "\" that follows a name other than "." and
// "..", and, joining none, finds what MatchCase found, except that it ends
// a path ending in "." or ".." with a "/".
bool MayHoldLiteralBackslash(const std::string& path) {
  bool backslash = false, joinable = false;
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] != '/' && path[i] != '\\') continue;
    if (path[i] == '\\') {
      backslash = true;
      const std::string part = path.substr(start, i - start);
      joinable = joinable || (!part.empty() && !IsDots(part));
    }
    start = i + 1;
  }
  return joinable || (backslash && IsDots(path.substr(start)));
}

}  // namespace

namespace {

// The entry of dir named name, exactly or ignoring case; empty when none.
std::string EntryNamed(const std::string& dir, const std::string& name) {
  if (Exists(dir + name)) return name;
  return FindCaseInsensitive(dir.empty() ? "." : dir, name);
}

// The path with each "\" a separator except inside the names that exist
// with it: a Linux name may hold a "\" (a folder the scan listed), which the
// programs then join to other names with "\" as Windows does. Empty when
// the path does not exist that way either.
std::string ResolveLiteralBackslashes(const std::string& path) {
  std::vector<std::string> parts;
  std::vector<bool> backslashAfter;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/' && path[i] != '\\') continue;
    parts.push_back(path.substr(start, i - start));
    backslashAfter.push_back(i < path.size() && path[i] == '\\');
    start = i + 1;
  }
  std::string resolved = path[0] == '/' || path[0] == '\\' ? "/" : "";
  for (size_t i = path[0] == '/' || path[0] == '\\' ? 1 : 0; i < parts.size(); ++i) {
    if (parts[i].empty() || parts[i] == "." || parts[i] == "..") {
      if (!parts[i].empty()) resolved += parts[i] + "/";
      continue;
    }
    // The shortest run of names joined by "\" that exists.
    std::string name = parts[i], found = EntryNamed(resolved, name);
    size_t last = i;
    while (found.empty() && backslashAfter[last] && last + 1 < parts.size()) {
      name += "\\" + parts[++last];
      found = EntryNamed(resolved, name);
    }
    if (found.empty()) return {};
    i = last;
    resolved += found;
    if (i + 1 < parts.size()) resolved += "/";
  }
  return resolved;
}

}  // namespace

std::string MapPath(const char* windowsPath) {
  if (!windowsPath) return {};
  std::string path(windowsPath);
  for (char& c : path)
    if (c == '\\') c = '/';
  PathFacts facts;
  std::string resolved = MatchCase(path, &facts);
  if (MayHoldLiteralBackslash(windowsPath) && !LookUp(resolved, &facts)) {
    const std::string literal = ResolveLiteralBackslashes(windowsPath);
    if (!literal.empty()) {
      resolved = literal;
      facts = PathFacts();
    }
  }
  return PlaceOf(resolved, FileAccess::Read, facts);
}

std::string MatchCase(const std::string& path) {
  PathFacts facts;
  return MatchCase(path, &facts);
}

std::string MatchCase(const std::string& path, PathFacts* facts) {
  *facts = PathFacts();
  if (path.empty()) {
    facts->known = PathFacts::Known::kMissing;
    return path;
  }
  if (LookUp(path, facts)) return path;

  // The names between the slashes; the path comes back with single slashes,
  // a leading and a trailing one kept.
  std::vector<std::string> parts;
  for (size_t pos = 0; pos < path.size();) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    if (slash > pos) parts.push_back(path.substr(pos, slash - pos));
    pos = slash + 1;
  }
  const bool trailingSlash = path.back() == '/';
  std::string resolved = path[0] == '/' ? "/" : "";

  // Mostly only the last name is missing (a file not written yet, a name in
  // another case): when its folder can be listed as written, every folder
  // above exists as written, and one listing finds the name. The path itself
  // was just looked up, so the name as written is known to be missing.
  if (!parts.empty() && !trailingSlash && !IsDots(parts.back())) {
    std::string folder = resolved;
    for (size_t i = 0; i + 1 < parts.size(); ++i) folder += parts[i] + "/";
    bool listed = false;
    const std::string match = FindCaseInsensitive(folder, parts.back(), &listed);
    if (listed) {
      // A name found in the listing may still be a link that leads nowhere.
      if (!match.empty()) facts->known = PathFacts::Known::kNothing;
      return folder + (match.empty() ? parts.back() : match);
    }
  }

  // Walk the components, matching each one case-insensitively where the exact name is missing.
  bool renamed = false, lost = false;
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string candidate = resolved + parts[i];
    // Below a name found in no case nothing exists: the rest stays as written, unasked.
    if (!lost && !IsDots(parts[i]) && !Exists(candidate)) {
      const std::string match = FindCaseInsensitive(resolved, parts[i]);
      if (match.empty()) lost = true;
      else candidate = resolved + match;
      renamed = renamed || (!match.empty() && match != parts[i]);
    }
    resolved = candidate;
    if (i + 1 < parts.size() || trailingSlash) resolved += '/';
  }
  // Unrenamed, the result names what the path does, nothing; a lost name
  // leaves nothing at the end either.
  if (renamed && !lost) facts->known = PathFacts::Known::kNothing;
  return resolved;
}

FILE* OpenFile(const char* windowsPath, const char* mode) {
  if (!windowsPath || !mode) return nullptr;
  std::string path = MapPath(windowsPath);
  if (mode[0] != 'r' || std::strchr(mode, '+')) {
    FILE* file = std::fopen(PlaceOf(path, FileAccess::Write).c_str(), mode);
    ForgetPathFacts();
    return file;
  }
  // Reading takes regular files only: a FIFO or a device would block or never end.
  const int fd = OpenRegularFile(path);
  if (fd < 0) return nullptr;
  FILE* file = ::fdopen(fd, mode);
  if (!file) ::close(fd);
  return file;
}

void ReportUnloadable(const char* kind, const char* path) {
  std::fprintf(stderr, "%s: cannot load %s \"%s\"\n", ProgramName().c_str(), kind, path ? path : "");
}

bool ListDirectory(const std::string& dir, std::vector<DirectoryEntry>* entries) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  while (dirent* e = ::readdir(d)) {
    DirectoryEntry entry;
    entry.name = e->d_name;
    struct stat st;
    if (::stat((dir + "/" + e->d_name).c_str(), &st) == 0) {
      entry.isDirectory = S_ISDIR(st.st_mode);
      entry.readOnly = !entry.isDirectory && !(st.st_mode & S_IWUSR);
      if (!entry.isDirectory) entry.size = static_cast<uint64_t>(st.st_size);
    }
    entries->push_back(std::move(entry));
  }
  ::closedir(d);
  return true;
}

bool MakeDirectory(const std::string& path, bool* existed) {
  const bool made = ::mkdir(path.c_str(), 0777) == 0;
  if (existed) *existed = !made && errno == EEXIST;
  ForgetPathFacts();
  return made;
}

bool RemoveFile(const std::string& path) {
  const bool removed = ::unlink(path.c_str()) == 0;
  ForgetPathFacts();
  return removed;
}

bool ChangeDirectory(const std::string& path) {
  const bool changed = ::chdir(path.c_str()) == 0;
  ForgetPathFacts();  // relative paths name other files now
  return changed;
}

std::string CurrentDirectory() {
  std::vector<char> cwd(4096);
  while (!::getcwd(cwd.data(), cwd.size())) {
    if (errno != ERANGE) return {};
    cwd.resize(cwd.size() * 2);
  }
  return cwd.data();
}

}  // namespace platform
