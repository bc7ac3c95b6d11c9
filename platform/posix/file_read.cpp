#include "platform/posix/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/program_name.h"

namespace platform {
namespace {

// OpenRegularFile, with *st what the check learnt of the file.
int OpenRegular(const std::string& path, struct stat* st) {
  // Non-blocking, so that opening a FIFO without a writer returns at once.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, st) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  if (!S_ISREG(st->st_mode)) {
    const bool directory = S_ISDIR(st->st_mode);
    ::close(fd);
    // A directory is no surprise to the callers (they look for files by name); anything else is said.
    if (!directory)
      std::fprintf(stderr, "%s: \"%s\" is not a regular file; not read\n", ProgramName().c_str(), path.c_str());
    errno = directory ? EISDIR : EINVAL;
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

int OpenRegularFile(const std::string& path) {
  struct stat st;
  return OpenRegular(path, &st);
}

ReadResult ReadOpenFile(int fd, size_t limit, std::string* out) {
  out->clear();
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      out->clear();
      return ReadResult::kFailed;
    }
    if (n == 0) return ReadResult::kOk;
    if (out->size() + static_cast<size_t>(n) > limit) {
      out->clear();
      return ReadResult::kTooLarge;
    }
    out->append(chunk, static_cast<size_t>(n));
  }
}

ReadResult ReadRegularFile(const std::string& path, size_t limit, std::string* out) {
  out->clear();
  // The size is the one the check of the file's type just read.
  struct stat st;
  const int fd = OpenRegular(path, &st);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return ReadResult::kMissing;
    return errno == EINVAL ? ReadResult::kNotRegular : ReadResult::kFailed;
  }
  ReadResult result = ReadResult::kTooLarge;
  if (static_cast<unsigned long long>(st.st_size) <= limit) {
    out->reserve(static_cast<size_t>(st.st_size));
    result = ReadOpenFile(fd, limit, out);
  }
  ::close(fd);
  if (result == ReadResult::kTooLarge)
    std::fprintf(stderr, "%s: \"%s\" is larger than %zu bytes; not read\n", ProgramName().c_str(), path.c_str(),
                 limit);
  return result;
}

}  // namespace platform
