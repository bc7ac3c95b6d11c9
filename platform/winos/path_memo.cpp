// Path look-ups on Windows. Nothing is kept: other programs change files at
// any time, and only the browser build keeps what look-ups learnt.
#include "platform/posix/path_memo.h"

#include <windows.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "platform/posix/files.h"
#include "platform/winos/wide.h"

namespace platform {

void KeepPathFacts(bool) {}
void ForgetPathFacts() {}

bool StatPath(const std::string& path, struct stat* st) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    errno = ENOENT;
    return false;
  }
  *st = {};
  const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // Windows marks a file the user may not write read-only; a folder's flag means nothing.
  st->st_mode = directory ? (S_IFDIR | 0777) : (S_IFREG | 0444);
  if (!directory && !(data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) st->st_mode |= 0222;
  const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  st->st_size = static_cast<decltype(st->st_size)>(size);
  return true;
}

bool ListNames(const std::string& dir, std::vector<std::string>* names) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(dir, &entries)) return false;
  for (DirectoryEntry& entry : entries) names->push_back(std::move(entry.name));
  return true;
}

std::string RealPathOf(const std::string& path) {
  if (path.empty()) return {};
  const std::wstring wide = Wide(path);
  const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return {};
  std::wstring full(n, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (written == 0 || written >= n) return {};
  full.resize(written);
  if (GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  std::string real = ForwardSlashes(Utf8(full));
  // A folder's path without its last "/", as realpath() gives it (a drive's root keeps it).
  while (real.size() > 3 && real.back() == '/') real.pop_back();
  return real;
}

bool MayWrite(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return !(attributes & FILE_ATTRIBUTE_READONLY);
  // A folder's rights are in its access list, which only trying tells
  // (Program Files is written by administrators alone): a file that goes
  // as its handle closes.
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    const std::string probe = path + "/.qbwrite-" + std::to_string(GetCurrentProcessId()) + "-" +
                              std::to_string(GetTickCount64() + attempt);
    const HANDLE h = CreateFileW(Wide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

}  // namespace platform
