#include "platform/files.h"

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

#include "platform/config.h"
#include "platform/user_files.h"

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

std::string MapPath(const char* windowsPath) {
  if (!windowsPath) return {};
  std::string path(windowsPath);
  for (char& c : path)
    if (c == '\\') c = '/';
  return PlaceOf(MatchCase(path), FileAccess::Read);
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
  if (mode[0] != 'r' || std::strchr(mode, '+')) path = PlaceOf(path, FileAccess::Write);
  return std::fopen(path.c_str(), mode);
}

void ReportUnloadable(const char* kind, const char* path) {
  std::fprintf(stderr, "%s: cannot load %s \"%s\"\n", ProgramName().c_str(), kind, path ? path : "");
}

namespace {

// The file a save must replace: symbolic links are followed, so the link
// stays and its target is updated (relative targets are relative to the
// link's folder).
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
    ssize_t n = ::readlink(path.c_str(), target.data(), target.size() - 1);
    if (n < 0) return path;
    std::string next(target.data(), static_cast<size_t>(n));
    size_t slash = path.find_last_of('/');
    if (next[0] != '/' && slash != std::string::npos) next = path.substr(0, slash + 1) + next;
    path = next;
  }
  return path;
}

bool IsTempSuffix(const char* s) {
  for (int i = 0; i < 6; ++i)
    if (!std::isalnum(static_cast<unsigned char>(s[i]))) return false;
  return s[6] == '\0';
}

// Temporary files of earlier saves of this file that were killed between
// writing and renaming. A save holds a lock on its temporary file until the
// rename, so one that can be locked belongs to no running save; a very young
// one may not be locked yet and is left for next time.
void RemoveLeftovers(const std::string& dir, const std::string& base) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  const time_t now = ::time(nullptr);
  while (dirent* e = ::readdir(d)) {
    if (std::strncmp(e->d_name, base.c_str(), base.size()) != 0 || e->d_name[base.size()] != '.' ||
        !IsTempSuffix(e->d_name + base.size() + 1))
      continue;
    std::string leftover = dir + "/" + e->d_name;
    int fd = ::open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime >= 2 &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlink(leftover.c_str());
    ::close(fd);
  }
  ::closedir(d);
}

}  // namespace

bool WriteFileAtomically(const std::string& requested, const void* data, size_t size) {
  const std::string path = PlaceOf(FollowLinks(requested), FileAccess::Write);
  std::string dir = ".", base = path;
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos) {
    dir = slash == 0 ? "/" : path.substr(0, slash);
    base = path.substr(slash + 1);
  }
  // The replaced file keeps its permissions; a new one gets those a newly
  // created file would have. A read-only file is not replaced, as opening
  // it for writing would have failed.
  mode_t mode;
  struct stat old;
  if (::stat(path.c_str(), &old) == 0) {
    if (S_ISDIR(old.st_mode)) {
      errno = EISDIR;
      return false;
    }
    // No write permission for anyone marks a read-only file even for root, whom access() lets through.
    if (!(old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) || ::access(path.c_str(), W_OK) != 0) {
      errno = EACCES;
      return false;
    }
    mode = old.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  RemoveLeftovers(dir, base);

  std::string tmpl = path + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  ::flock(fd, LOCK_EX);  // held until the rename: this file is not a leftover
  const char* p = static_cast<const char*>(data);
  size_t left = size;
  bool ok = true;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  ok = ok && ::fchmod(fd, mode) == 0;
  ok = ok && ::fsync(fd) == 0;
  ok = ok && ::rename(name.data(), path.c_str()) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(name.data());
    errno = error;
    return false;
  }
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
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
  std::string p(pattern);
  for (char& c : p)
    if (c == '\\') c = '/';
  size_t slash = p.find_last_of('/');
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
