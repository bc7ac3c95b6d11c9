// Reading the programs' files on Windows: only files on a disk are read (a
// pipe, a console or a device is refused), each kind within its size limit.
#include "platform/posix/file_read.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/program_name.h"
#include "platform/winos/wide.h"

namespace platform {
namespace {

// A descriptor on path when it is a file on a disk, with its size; -1 and
// errno otherwise (EISDIR for a folder, EINVAL for anything else there).
int OpenRegular(const std::string& path, uint64_t* size) {
  const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = ErrnoOfLastError();
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const bool disk = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info);
  if (!disk || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(h);
    // A folder is no surprise to the callers (they look for files by name); anything else is said.
    if (disk) {
      errno = EISDIR;
    } else {
      std::fprintf(stderr, "%s: \"%s\" is not a regular file; not read\n", ProgramName().c_str(), path.c_str());
      errno = EINVAL;
    }
    return -1;
  }
  *size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    errno = EMFILE;
  }
  return fd;
}

}  // namespace

int OpenRegularFile(const std::string& path) {
  uint64_t size = 0;
  return OpenRegular(path, &size);
}

ReadResult ReadOpenFile(int fd, size_t limit, std::string* out) {
  out->clear();
  const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  char chunk[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, chunk, sizeof chunk, &n, nullptr)) {
      out->clear();
      return ReadResult::kFailed;
    }
    if (n == 0) return ReadResult::kOk;
    if (out->size() + n > limit) {
      out->clear();
      return ReadResult::kTooLarge;
    }
    out->append(chunk, n);
  }
}

ReadResult ReadRegularFile(const std::string& path, size_t limit, std::string* out) {
  out->clear();
  uint64_t size = 0;
  const int fd = OpenRegular(path, &size);
  if (fd < 0) {
    if (errno == ENOENT) return ReadResult::kMissing;
    return errno == EINVAL ? ReadResult::kNotRegular : ReadResult::kFailed;
  }
  ReadResult result = ReadResult::kTooLarge;
  if (size <= limit) {
    out->reserve(static_cast<size_t>(size));
    result = ReadOpenFile(fd, limit, out);
  }
  _close(fd);
  if (result == ReadResult::kTooLarge)
    std::fprintf(stderr, "%s: \"%s\" is larger than %zu bytes; not read\n", ProgramName().c_str(), path.c_str(),
                 limit);
  return result;
}

}  // namespace platform
