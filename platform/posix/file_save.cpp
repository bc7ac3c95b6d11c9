#include "platform/posix/file_save.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/posix/files.h"
#include "platform/posix/path_memo.h"
#include "platform/posix/shared_save.h"
#include "platform/posix/user_files.h"

namespace platform {
namespace {

constexpr char kTempMark[] = ".qbtmp-";

// The file a save must write: symbolic links are followed, so the link
// stays and its target is updated (relative targets are relative to the
// link's folder).
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
    ssize_t n = ::readlink(path.c_str(), target.data(), target.size() - 1);
    if (n <= 0) return path;
    std::string next(target.data(), static_cast<size_t>(n));
    size_t slash = path.find_last_of('/');
    if (next[0] != '/' && slash != std::string::npos) next = path.substr(0, slash + 1) + next;
    path = next;
  }
  return path;
}

// The temporary name of a save of base: ".BASE.qbtmp-" and six characters.
std::string TempPrefix(const std::string& base) { return "." + base + kTempMark; }

// A temporary name of a save of base, or of any file when base is empty.
bool IsTempName(const char* name, const std::string& base) {
  const size_t length = std::strlen(name), mark = sizeof kTempMark - 1;
  const size_t baseLength = base.empty() ? length - std::min(length, 1 + mark + 6) : base.size();
  if (name[0] != '.' || baseLength == 0 || length != 1 + baseLength + mark + 6) return false;
  if (!base.empty() && std::strncmp(name + 1, base.c_str(), baseLength) != 0) return false;
  const char* s = name + 1 + baseLength;
  if (std::strncmp(s, kTempMark, mark) != 0) return false;
  for (s += mark; *s != '\0'; ++s)
    if (!std::isalnum(static_cast<unsigned char>(*s))) return false;
  return true;
}

// Temporary files of earlier saves (of base, or of any file) that were
// killed between writing and renaming. A save holds a lock on its temporary
// file until the rename, so one that can be locked belongs to no running
// save; one younger than minAge seconds may not be locked yet and is left
// for next time.
void RemoveLeftovers(const std::string& dir, const std::string& base, int minAge = 2) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  const time_t now = ::time(nullptr);
  while (dirent* e = ::readdir(d)) {
    if (!IsTempName(e->d_name, base)) continue;
    std::string leftover = dir + "/" + e->d_name;
    int fd = ::open(leftover.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime >= minAge &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0)
      ::unlink(leftover.c_str());
    ::close(fd);
  }
  ::closedir(d);
}

bool WriteAll(int fd, const std::string& bytes) {
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// In a browser page an fsync copies every one of the player's files to
// IndexedDB and holds the program until that is done: a saved score stalled
// its frame for 20 ms. There the page takes what a save changed to the store
// itself, path by path in one transaction, without holding the program
// (platform/web/web_save.cpp).
#ifdef __EMSCRIPTEN__
constexpr bool kSyncs = false;
#else
constexpr bool kSyncs = true;
#endif

// Puts what was written to fd on the disk.
bool Flush(int fd) { return !kSyncs || ::fsync(fd) == 0; }

void SyncFolder(const std::string& dir) {
  if (!kSyncs) return;
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    Flush(dfd);
    ::close(dfd);
  }
}

enum class Replaced { kDone, kCannotPlace, kFailed };

// Writes bytes to a new temporary file in dir and renames it over path.
// kCannotPlace (nothing changed) when the folder takes no new file or the
// old file's owner and group cannot be kept, so the caller may write in
// place instead.
Replaced ReplaceWithTemp(const std::string& dir, const std::string& base, const std::string& path,
                         const std::string& bytes, mode_t mode, const struct stat* old) {
  RemoveLeftovers(dir, base);
  std::string tmpl = dir + "/" + TempPrefix(base) + "XXXXXX";
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return (errno == EACCES || errno == EPERM || errno == EROFS) ? Replaced::kCannotPlace : Replaced::kFailed;
  ::flock(fd, LOCK_EX);  // held until the rename: this file is not a leftover
  Replaced result = Replaced::kDone;
  if (old && (old->st_uid != ::geteuid() || old->st_gid != ::getegid()) &&
      ::fchown(fd, old->st_uid, old->st_gid) != 0)
    result = Replaced::kCannotPlace;
  int error = 0;
  if (result == Replaced::kDone) {
    // After the owner: changing it clears the set-id bits.
    const bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && Flush(fd) &&
                    ::rename(tmpl.c_str(), path.c_str()) == 0;
    if (!ok) {
      result = Replaced::kFailed;
      error = errno;
    }
  }
  if (::close(fd) != 0 && result == Replaced::kDone) {
    result = Replaced::kFailed;
    error = errno;
  }
  if (result != Replaced::kDone) {
    ::unlink(tmpl.c_str());
    errno = error;
    return result;
  }
  SyncFolder(dir);
  return Replaced::kDone;
}

// In place, for a file that cannot be replaced: the new bytes from the
// start, then the rest cut off.
bool WriteInPlace(int fd, const std::string& bytes) {
  if (::lseek(fd, 0, SEEK_SET) != 0 || !WriteAll(fd, bytes)) return false;
  return ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && Flush(fd);
}

// No write permission for anyone marks a read-only file even for root, whom
// access() lets through; such a file is not saved, as opening it for writing
// would have failed.
bool Writable(const std::string& path, const struct stat& st) {
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) && ::access(path.c_str(), W_OK) == 0;
}

// Under the lock of a regular file: read, edit, replace (or write in place).
bool SaveLocked(int fd, const struct stat& st, const std::string& dir, const std::string& base,
                const std::string& path, size_t readLimit, const FileEdit& edit) {
  std::string old, out;
  ReadResult read = static_cast<uint64_t>(st.st_size) > readLimit ? ReadResult::kTooLarge
                                                                   : ReadOpenFile(fd, readLimit, &old);
  if (!edit(read, old, &out)) return false;
  const Replaced replaced = ReplaceWithTemp(dir, base, path, out, st.st_mode & 07777, &st);
  if (replaced == Replaced::kCannotPlace) return WriteInPlace(fd, out);
  return replaced == Replaced::kDone;
}

// The save of path (mapped from requested) under its file's lock.
bool RewriteLocked(const std::string& requested, const std::string& path, size_t readLimit, const FileEdit& edit) {
  std::string dir = ".", base = path;
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos) {
    dir = slash == 0 ? "/" : path.substr(0, slash);
    base = path.substr(slash + 1);
  }
  // The lock is the file's own; a file being created is locked through its
  // folder. Whoever locked a file that a save has since renamed over tries
  // again on the new one.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (dfd >= 0) ::flock(dfd, LOCK_EX);
      if (::stat(path.c_str(), &st) == 0) {
        if (dfd >= 0) ::close(dfd);
        continue;
      }
      // A user's copy not written yet starts from the tree's file.
      std::string old, out;
      const ReadResult read = readLimit ? ReadRegularFile(requested, readLimit, &old) : ReadResult::kMissing;
      mode_t mask = ::umask(0);
      ::umask(mask);
      bool ok = edit(read, old, &out);
      if (ok) {
        const Replaced replaced = ReplaceWithTemp(dir, base, path, out, 0666 & ~mask, nullptr);
        ok = replaced == Replaced::kDone;
        if (replaced == Replaced::kCannotPlace) errno = EACCES;
      }
      const int error = errno;
      if (dfd >= 0) ::close(dfd);
      errno = error;
      return ok;
    }
    if (S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return false;
    }
    // Only regular files are saved: a device, FIFO or socket behind the
    // name (or its link) is no file of the program's, and writing into a
    // disk's device overwrites whatever lies at its start.
    if (!S_ISREG(st.st_mode)) {
      errno = EINVAL;
      return false;
    }
    if (!Writable(path, st)) {
      errno = EACCES;
      return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    ::flock(fd, LOCK_EX);
    struct stat locked, now;
    if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode) || ::stat(path.c_str(), &now) != 0 ||
        now.st_ino != locked.st_ino || now.st_dev != locked.st_dev) {
      ::close(fd);
      continue;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const bool ok = SaveLocked(fd, locked, dir, base, path, readLimit, edit);
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
  }
  errno = EBUSY;
  return false;
}

}  // namespace

bool RewriteFile(const std::string& requested, size_t readLimit, const FileEdit& edit) {
  // A save may make, replace or remove files whatever its outcome.
  struct Forget {
    ~Forget() { ForgetPathFacts(); }
  } forget;
  const std::string path = PlaceOf(FollowLinks(requested), FileAccess::Write);
  const auto save = [&] { return RewriteLocked(requested, path, readLimit, edit); };
  if (!&SaveSharedFile) return save();
  // Where copies of the program share the files without flock (a browser's
  // tabs), the save reads, edits and writes while none of them saves.
  std::string absolute = path;
  if (absolute.empty() || absolute[0] != '/') {
    char here[PATH_MAX];
    if (::getcwd(here, sizeof here)) absolute = std::string(here) + "/" + path;
  }
  return SaveSharedFile(absolute, save);
}

void RemoveSaveLeftovers(const std::string& dir) {
  RemoveLeftovers(dir, std::string(), 0);
  ForgetPathFacts();
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size) {
  const std::string bytes(static_cast<const char*>(data), size);
  return RewriteFile(path, 0, [&](ReadResult, const std::string&, std::string* out) {
    *out = bytes;
    return true;
  });
}

}  // namespace platform
