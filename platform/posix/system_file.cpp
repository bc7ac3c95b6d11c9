#include "platform/posix/system_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/file_read.h"
#include "platform/posix/path_memo.h"

namespace platform {

SystemFile::SystemFile(SystemFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SystemFile& SystemFile::operator=(SystemFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SystemFile::~SystemFile() {
  if (fd_ >= 0) ::close(fd_);
}

SystemFile SystemFile::OpenForReading(const std::string& path) { return SystemFile(OpenRegularFile(path)); }

SystemFile SystemFile::CreateForWriting(const std::string& path) {
  SystemFile file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  ForgetPathFacts();
  return file;
}

bool SystemFile::Read(void* buffer, size_t size, size_t* done) {
  size_t total = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  bool ok = fd_ >= 0;
  while (ok && total < size) {
    const ssize_t n = ::read(fd_, out + total, size - total);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    total += static_cast<size_t>(n);
  }
  if (done) *done = total;
  return ok;
}

bool SystemFile::WriteAt(const void* data, size_t size, uint64_t offset) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size) {
    const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n, size -= static_cast<size_t>(n), offset += static_cast<uint64_t>(n);
  }
  return true;
}

int64_t SystemFile::Seek(int64_t offset, From from) {
  const int whence = from == From::Start ? SEEK_SET : from == From::Current ? SEEK_CUR : SEEK_END;
  return fd_ < 0 ? -1 : static_cast<int64_t>(::lseek(fd_, static_cast<off_t>(offset), whence));
}

int64_t SystemFile::Size() const {
  struct stat st;
  return fd_ >= 0 && ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

}  // namespace platform
