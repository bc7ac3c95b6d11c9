#include "platform/win/files.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/user_files.h"

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

DWORD AttributesOf(const platform::DirectoryEntry& entry) {
  DWORD a = 0;
  // As on Windows, the read-only attribute belongs to files: a folder that
  // cannot be written (an installed tree) is still a plain folder.
  if (entry.isDirectory) a |= FILE_ATTRIBUTE_DIRECTORY;
  else if (entry.readOnly) a |= FILE_ATTRIBUTE_READONLY;
  return a == 0 ? FILE_ATTRIBUTE_NORMAL : a;
}

}  // namespace

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }

DWORD GetCurrentDirectoryA(DWORD size, char* buffer) {
  const std::string cwd = platform::CurrentDirectory();
  if (cwd.empty()) return 0;
  DWORD length = static_cast<DWORD>(cwd.size());
  // As on Windows: a buffer too small is left alone and the size needed (with the terminator) returned.
  if (!buffer || size <= length) return length + 1;
  std::memcpy(buffer, cwd.c_str(), length + 1);
  return length;
}

BOOL SetCurrentDirectoryA(const char* path) {
  if (!path) return FALSE;
  return platform::ChangeDirectory(platform::MapPath(path)) ? TRUE : FALSE;
}

BOOL CreateDirectoryA(const char* path, void*) {
  if (!path) return FALSE;
  const std::string place = platform::PlaceOf(platform::MapPath(path), platform::FileAccess::Write);
  bool existed = false;
  if (platform::MakeDirectory(place, &existed)) return TRUE;
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_FILE_NOT_FOUND);
  return FALSE;
}

BOOL DeleteFileA(const char* path) {
  if (!path) return FALSE;
  if (platform::RemoveFile(platform::MapPath(path))) return TRUE;
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
  std::vector<platform::DirectoryEntry> listed;
  if (!platform::ListDirectory(dir, &listed)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto* state = new FindState;
  for (const platform::DirectoryEntry& e : listed) {
    if (!WildcardMatch(filePattern.c_str(), e.name.c_str())) continue;
    if (e.name.size() >= MAX_PATH) continue;  // no Windows name can be that long
    WIN32_FIND_DATAA entry{};
    std::memcpy(entry.cFileName, e.name.c_str(), e.name.size() + 1);
    entry.dwFileAttributes = AttributesOf(e);
    entry.nFileSizeLow = static_cast<DWORD>(e.size & 0xFFFFFFFF);
    entry.nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
    state->entries.push_back(entry);
  }
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
