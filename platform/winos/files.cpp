// Paths, folders and their entries on Windows. Its file system already
// matches names in any case and takes "\" and "/" alike, so a path is only
// given the layer's "/" and placed (a file written in a read-only tree goes
// to the user's copy).
#include "platform/posix/files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/file_read.h"
#include "platform/posix/path_memo.h"
#include "platform/posix/program_name.h"
#include "platform/posix/user_files.h"
#include "platform/winos/wide.h"

namespace platform {

std::string MapPath(const char* windowsPath) {
  if (!windowsPath) return {};
  PathFacts facts;
  const std::string path = MatchCase(ForwardSlashes(windowsPath), &facts);
  return PlaceOf(path, FileAccess::Read, facts);
}

bool LookUp(const std::string& path, PathFacts* facts) {
  if (facts->known == PathFacts::Known::kNothing) {
    struct stat st;
    const bool present = StatPath(path, &st);
    facts->known = present ? PathFacts::Known::kPresent : PathFacts::Known::kMissing;
    facts->mode = present ? st.st_mode : 0;
  }
  return facts->known == PathFacts::Known::kPresent;
}

std::string MatchCase(const std::string& path) { return path; }

std::string MatchCase(const std::string& path, PathFacts* facts) {
  *facts = PathFacts();
  if (path.empty()) facts->known = PathFacts::Known::kMissing;
  else LookUp(path, facts);
  return path;
}

FILE* OpenFile(const char* windowsPath, const char* mode) {
  if (!windowsPath || !mode) return nullptr;
  const std::string path = MapPath(windowsPath);
  // Bytes as they are, as on the other systems: no text mode's "\r\n".
  std::string binary(mode);
  if (binary.find('b') == std::string::npos) binary += 'b';
  if (mode[0] != 'r' || std::strchr(mode, '+'))
    return _wfopen(Wide(PlaceOf(path, FileAccess::Write)).c_str(), Wide(binary).c_str());
  // Reading takes regular files only: a device would block or never end.
  const int fd = OpenRegularFile(path);
  if (fd < 0) return nullptr;
  FILE* file = _fdopen(fd, binary.c_str());
  if (!file) _close(fd);
  return file;
}

void ReportUnloadable(const char* kind, const char* path) {
  std::fprintf(stderr, "%s: cannot load %s \"%s\"\n", ProgramName().c_str(), kind, path ? path : "");
}

bool ListDirectory(const std::string& dir, std::vector<DirectoryEntry>* entries) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(Wide((dir.empty() ? std::string(".") : dir) + "/*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    DirectoryEntry entry;
    entry.name = Utf8(found.cFileName);
    entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.readOnly = !entry.isDirectory && (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (!entry.isDirectory) entry.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    entries->push_back(std::move(entry));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return true;
}

bool MakeDirectory(const std::string& path, bool* existed) {
  const bool made = CreateDirectoryW(Wide(path).c_str(), nullptr) != 0;
  if (existed) *existed = !made && GetLastError() == ERROR_ALREADY_EXISTS;
  return made;
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) != 0; }

bool ChangeDirectory(const std::string& path) { return SetCurrentDirectoryW(Wide(path).c_str()) != 0; }

std::string CurrentDirectory() {
  const DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return {};
  std::wstring here(n, L'\0');
  const DWORD written = GetCurrentDirectoryW(n, here.data());
  if (written == 0 || written >= n) return {};
  here.resize(written);
  return ForwardSlashes(Utf8(here));
}

}  // namespace platform
