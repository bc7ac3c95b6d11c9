// Saving the programs' files on Windows. Every save of a file, by either
// program, holds one named mutex of the session for that file's path, so two
// programs saving it one after the other both count. The new contents go to
// a temporary file beside it (".NAME.qbtmp-XXXXXX"), flushed to the disk,
// which then replaces the file in one step (MoveFileEx); a folder, or
// anything not on a disk, is refused, neither written nor replaced. A
// read-only file stays as it is.
#include "platform/posix/file_save.h"

#include <windows.h>

#include <cerrno>
#include <cwctype>
#include <string>
#include <vector>

#include "platform/posix/files.h"
#include "platform/posix/user_files.h"
#include "platform/winos/wide.h"

namespace platform {
namespace {

constexpr char kTempMark[] = ".qbtmp-";

std::string TempPrefix(const std::string& base) { return "." + base + kTempMark; }

bool IsTempName(const std::string& name, const std::string& base) {
  if (!base.empty()) return name.rfind(TempPrefix(base), 0) == 0;
  return name.size() > 1 && name[0] == '.' && name.find(kTempMark) != std::string::npos;
}

// The lock of a path: one mutex for every spelling of it (Windows names
// files in any case, with "\" or "/"), named by a hash of its full form.
class SaveLock {
 public:
  explicit SaveLock(const std::string& path) {
    std::wstring full = Wide(path);
    wchar_t buffer[4096];
    const DWORD n = GetFullPathNameW(full.c_str(), 4096, buffer, nullptr);
    if (n > 0 && n < 4096) full.assign(buffer, n);
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (wchar_t c : full) {
      c = c == L'\\' ? L'/' : static_cast<wchar_t>(std::towlower(c));
      hash = (hash ^ static_cast<uint64_t>(c)) * 1099511628211ull;
    }
    const std::wstring name = L"Local\\qb-save-" + std::to_wstring(hash);
    mutex_ = CreateMutexW(nullptr, FALSE, name.c_str());
    // An abandoned lock (a program killed while saving) is taken over: its
    // temporary file is only a leftover.
    if (mutex_) held_ = WaitForSingleObject(mutex_, INFINITE) != WAIT_FAILED;
  }
  ~SaveLock() {
    if (held_) ReleaseMutex(mutex_);
    if (mutex_) CloseHandle(mutex_);
  }
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;

 private:
  HANDLE mutex_ = nullptr;
  bool held_ = false;
};

void RemoveLeftovers(const std::string& dir, const std::string& base) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(dir, &entries)) return;
  for (const DirectoryEntry& entry : entries)
    if (!entry.isDirectory && IsTempName(entry.name, base)) DeleteFileW(Wide(dir + "/" + entry.name).c_str());
}

// Writes bytes to a new temporary file in dir and puts it in path's place.
bool ReplaceWithTemp(const std::string& dir, const std::string& base, const std::string& path,
                     const std::string& bytes) {
  HANDLE h = INVALID_HANDLE_VALUE;
  std::string temp;
  for (unsigned attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
    char suffix[7];
    const uint64_t salt = GetTickCount64() * 2654435761u + GetCurrentProcessId() * 40503u + attempt * 7919u;
    for (int i = 0; i < 6; ++i) suffix[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[(salt >> (i * 5)) % 36];
    suffix[6] = '\0';
    temp = dir + "/" + TempPrefix(base) + suffix;
    h = CreateFileW(Wide(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    errno = ErrnoOfLastError();
    return false;
  }
  const char* p = bytes.data();
  size_t left = bytes.size();
  bool ok = true;
  while (ok && left > 0) {
    DWORD n = 0;
    ok = WriteFile(h, p, static_cast<DWORD>(std::min<size_t>(left, 1u << 30)), &n, nullptr) && n > 0;
    p += n, left -= n;
  }
  ok = ok && FlushFileBuffers(h);
  CloseHandle(h);
  ok = ok && MoveFileExW(Wide(temp).c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) {
    errno = ErrnoOfLastError();
    const int error = errno;
    DeleteFileW(Wide(temp).c_str());
    errno = error;
  }
  return ok;
}

// Whether path is a file on a disk (not a device or a pipe).
bool OnDisk(const std::string& path) {
  const HANDLE h = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;  // gone or locked: the replace tells
  const bool disk = GetFileType(h) == FILE_TYPE_DISK;
  CloseHandle(h);
  return disk;
}

}  // namespace

bool RewriteFile(const std::string& requested, size_t readLimit, const FileEdit& edit) {
  // Paths come mapped ("/"), but a "\\" is a separator here all the same.
  std::string path = PlaceOf(ForwardSlashes(requested), FileAccess::Write);
  std::string dir = ".", base = path;
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos) {
    dir = path.substr(0, slash + (slash == 0 || (slash == 2 && path[1] == ':') ? 1 : 0));
    base = path.substr(slash + 1);
  }
  SaveLock lock(path);
  // A file there in another case is the one replaced, under its own name.
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(Wide(path).c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    base = Utf8(found.cFileName);
    path = (dir.back() == '/' ? dir : dir + "/") + base;
  }
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    errno = EISDIR;
    return false;
  }
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) {
    errno = EACCES;
    return false;
  }
  std::string old, out;
  ReadResult read = ReadResult::kMissing;
  if (readLimit) {
    // A user's copy not written yet starts from the tree's file.
    read = ReadRegularFile(exists ? path : requested, readLimit, &old);
    if (exists && read == ReadResult::kNotRegular) {
      errno = EINVAL;
      return false;
    }
  } else if (exists && !OnDisk(path)) {
    // Even unread, only a file on a disk is replaced.
    errno = EINVAL;
    return false;
  }
  if (!edit(read, old, &out)) return false;
  RemoveLeftovers(dir, base);
  return ReplaceWithTemp(dir, base, path, out);
}

void RemoveSaveLeftovers(const std::string& dir) { RemoveLeftovers(dir, std::string()); }

bool WriteFileAtomically(const std::string& path, const void* data, size_t size) {
  const std::string bytes(static_cast<const char*>(data), size);
  return RewriteFile(path, 0, [&](ReadResult, const std::string&, std::string* out) {
    *out = bytes;
    return true;
  });
}

}  // namespace platform
