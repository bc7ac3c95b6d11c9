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

#include "platform/device/config.h"
#include "platform/posix/file_read.h"
#include "platform/posix/user_files.h"

namespace platform {
namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of dir whose name equals name ignoring case, or empty.
std::string FindCaseInsensitive(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::string found;
  while (dirent* e = ::readdir(d)) {
    if (strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
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
  std::string resolved = MatchCase(path);
  if (!Exists(resolved) && std::strchr(windowsPath, '\\')) {
    const std::string literal = ResolveLiteralBackslashes(windowsPath);
    if (!literal.empty()) resolved = literal;
  }
  return PlaceOf(resolved, FileAccess::Read);
}

std::string MatchCase(const std::string& path) {
  if (path.empty() || Exists(path)) return path;

  // Walk the components, matching each one case-insensitively where the exact name is missing.
  std::string resolved = path[0] == '/' ? "/" : "";
  size_t pos = path[0] == '/' ? 1 : 0;
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    std::string part = path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    pos = slash == std::string::npos ? path.size() + 1 : slash + 1;
    if (part.empty()) continue;
    std::string dir = resolved.empty() ? "." : resolved;
    std::string candidate = resolved + part;
    if (part != "." && part != ".." && !Exists(candidate)) {
      std::string match = FindCaseInsensitive(dir, part);
      if (!match.empty()) candidate = resolved + match;
    }
    resolved = candidate;
    if (pos <= path.size()) resolved += '/';
  }
  return resolved;
}

FILE* OpenFile(const char* windowsPath, const char* mode) {
  if (!windowsPath || !mode) return nullptr;
  std::string path = MapPath(windowsPath);
  if (mode[0] != 'r' || std::strchr(mode, '+')) return std::fopen(PlaceOf(path, FileAccess::Write).c_str(), mode);
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

}  // namespace platform

namespace {

thread_local DWORD lastError = 0;

struct FindState {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

bool WildcardMatch(const char* pattern, const char* name) {
  // Iterative '*' / '?' matching, case-insensitive, with backtracking to the last star.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*pattern == '?' || (*pattern && *pattern != '*' && tolower(static_cast<unsigned char>(*pattern)) ==
                                                                tolower(static_cast<unsigned char>(*name)))) {
      ++pattern;
      ++name;
    } else if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (star) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

DWORD AttributesOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return FILE_ATTRIBUTE_NORMAL;
  DWORD a = 0;
  // As on Windows, the read-only attribute belongs to files: a folder that
  // cannot be written (an installed tree) is still a plain folder.
  if (S_ISDIR(st.st_mode)) a |= FILE_ATTRIBUTE_DIRECTORY;
  else if (!(st.st_mode & S_IWUSR)) a |= FILE_ATTRIBUTE_READONLY;
  return a == 0 ? FILE_ATTRIBUTE_NORMAL : a;
}

}  // namespace

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }

DWORD GetCurrentDirectoryA(DWORD size, char* buffer) {
  std::vector<char> cwd(4096);
  while (!::getcwd(cwd.data(), cwd.size())) {
    if (errno != ERANGE) return 0;
    cwd.resize(cwd.size() * 2);
  }
  DWORD length = static_cast<DWORD>(std::strlen(cwd.data()));
  // As on Windows: a buffer too small is left alone and the size needed (with the terminator) returned.
  if (!buffer || size <= length) return length + 1;
  std::memcpy(buffer, cwd.data(), length + 1);
  return length;
}

BOOL SetCurrentDirectoryA(const char* path) {
  if (!path) return FALSE;
  return ::chdir(platform::MapPath(path).c_str()) == 0 ? TRUE : FALSE;
}

BOOL CreateDirectoryA(const char* path, void*) {
  if (!path) return FALSE;
  const std::string place = platform::PlaceOf(platform::MapPath(path), platform::FileAccess::Write);
  if (::mkdir(place.c_str(), 0777) == 0) return TRUE;
  SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : ERROR_FILE_NOT_FOUND);
  return FALSE;
}

BOOL DeleteFileA(const char* path) {
  if (!path) return FALSE;
  if (::unlink(platform::MapPath(path).c_str()) == 0) return TRUE;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return FALSE;
}

HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data) {
  if (!pattern || !data) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // The folder keeps its "\" for MapPath, which tells separators from names that hold one.
  std::string p(pattern);
  size_t slash = p.find_last_of("/\\");
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
  std::string filePattern = slash == std::string::npos ? p : p.substr(slash + 1);
  dir = platform::MapPath(dir.c_str());
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto* state = new FindState;
  while (dirent* e = ::readdir(d)) {
    if (!WildcardMatch(filePattern.c_str(), e->d_name)) continue;
    size_t len = std::strlen(e->d_name);
    if (len >= MAX_PATH) continue;  // no Windows name can be that long
    WIN32_FIND_DATAA entry{};
    std::memcpy(entry.cFileName, e->d_name, len + 1);
    std::string full = dir + "/" + e->d_name;
    entry.dwFileAttributes = AttributesOf(full);
    struct stat st;
    if (::stat(full.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
      entry.nFileSizeLow = static_cast<DWORD>(st.st_size & 0xFFFFFFFF);
      entry.nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    }
    state->entries.push_back(entry);
  }
  ::closedir(d);
  if (state->entries.empty()) {
    delete state;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *data = state->entries[0];
  state->next = 1;
  return state;
}

BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  auto* state = static_cast<FindState*>(search);
  if (!state || search == INVALID_HANDLE_VALUE || !data) return FALSE;
  if (state->next >= state->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *data = state->entries[state->next++];
  return TRUE;
}

BOOL FindClose(HANDLE search) {
  if (!search || search == INVALID_HANDLE_VALUE) return FALSE;
  delete static_cast<FindState*>(search);
  return TRUE;
}
