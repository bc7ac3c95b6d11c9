// An open file of the operating system, closed when its owner goes: the
// descriptor calls (read, positioned write, seek, size) of the layer's
// readers and writers, with interrupted calls retried.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class SystemFile {
 public:
  enum class From { Start, Current, End };

  SystemFile() = default;
  SystemFile(SystemFile&& other) noexcept;
  SystemFile& operator=(SystemFile&& other) noexcept;
  SystemFile(const SystemFile&) = delete;
  SystemFile& operator=(const SystemFile&) = delete;
  ~SystemFile();

  // A regular file opened for reading (path already mapped; see
  // OpenRegularFile in platform/posix/file_read.h): not open otherwise.
  static SystemFile OpenForReading(const std::string& path);
  // A file created or emptied for writing (mode 0644 before the umask).
  static SystemFile CreateForWriting(const std::string& path);

  bool IsOpen() const { return fd_ >= 0; }
  // Reads until size bytes or the end; *done is the count read. False on a
  // failed read (*done then holds what came before it).
  bool Read(void* buffer, size_t size, size_t* done);
  // Writes all of data at offset, leaving the position as it was.
  bool WriteAt(const void* data, size_t size, uint64_t offset);
  // The new position, or -1 (and the position unchanged) when it cannot be.
  int64_t Seek(int64_t offset, From from);
  // The file's size now, or -1.
  int64_t Size() const;
  // For a library that reads from a descriptor itself; the file keeps it.
  int Descriptor() const { return fd_; }

 private:
  explicit SystemFile(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace platform
