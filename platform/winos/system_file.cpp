// An open file of Windows behind a C runtime descriptor (for the libraries
// that read descriptors), its calls made on the file's own handle.
#include "platform/posix/system_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <utility>

#include "platform/posix/file_read.h"
#include "platform/winos/wide.h"

namespace platform {
namespace {

HANDLE HandleOf(int fd) { return fd >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(fd)) : INVALID_HANDLE_VALUE; }

}  // namespace

SystemFile::SystemFile(SystemFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SystemFile& SystemFile::operator=(SystemFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) _close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SystemFile::~SystemFile() {
  if (fd_ >= 0) _close(fd_);
}

SystemFile SystemFile::OpenForReading(const std::string& path) { return SystemFile(OpenRegularFile(path)); }

SystemFile SystemFile::CreateForWriting(const std::string& path) {
  const HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return SystemFile();
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
  if (fd < 0) CloseHandle(h);
  return SystemFile(fd);
}

bool SystemFile::Read(void* buffer, size_t size, size_t* done) {
  size_t total = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  bool ok = fd_ >= 0;
  while (ok && total < size) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size - total, 1u << 30));
    DWORD n = 0;
    ok = ReadFile(HandleOf(fd_), out + total, want, &n, nullptr) != 0;
    if (!ok || n == 0) break;
    total += n;
  }
  if (done) *done = total;
  return ok;
}

bool SystemFile::WriteAt(const void* data, size_t size, uint64_t offset) {
  const HANDLE h = HandleOf(fd_);
  // A write at an offset moves a synchronous handle's position: put it back.
  LARGE_INTEGER zero{}, position{};
  if (!SetFilePointerEx(h, zero, &position, FILE_CURRENT)) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  bool ok = true;
  while (ok && size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    ok = WriteFile(h, p, want, &n, &at) != 0 && n > 0;
    p += n, size -= n, offset += n;
  }
  SetFilePointerEx(h, position, nullptr, FILE_BEGIN);
  return ok;
}

int64_t SystemFile::Seek(int64_t offset, From from) {
  const DWORD method = from == From::Start ? FILE_BEGIN : from == From::Current ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER distance, now;
  distance.QuadPart = offset;
  return fd_ >= 0 && SetFilePointerEx(HandleOf(fd_), distance, &now, method) ? now.QuadPart : -1;
}

int64_t SystemFile::Size() const {
  LARGE_INTEGER size;
  return fd_ >= 0 && GetFileSizeEx(HandleOf(fd_), &size) ? size.QuadPart : -1;
}

}  // namespace platform
