// Reading the programs' files safely. Only regular files are read: a FIFO
// or a device in place of a file would block the program or never end, so
// it is refused with a line on stderr. Every kind of file has a size limit
// far above what the programs ship; a larger file is refused the same way
// instead of being read until memory runs out.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Limits of the files the programs read, in bytes.
constexpr size_t kMaxSettingsFile = size_t{1} << 20;  // an INI file
constexpr size_t kMaxPictureFile = size_t{64} << 20;  // a BMP file
constexpr size_t kMaxScriptFile = size_t{16} << 20;   // a test script

enum class ReadResult { kOk, kMissing, kNotRegular, kTooLarge, kFailed };

// A descriptor open for reading on path (already mapped), or -1 with errno
// set: a path that is not a regular file gives -1 (EINVAL) and a line on
// stderr, without ever blocking on it.
int OpenRegularFile(const std::string& path);

// The whole contents of path when it is a regular file of at most limit
// bytes. A file that is missing, not regular or too large leaves out empty;
// the last two are said on stderr.
ReadResult ReadRegularFile(const std::string& path, size_t limit, std::string* out);

// The same on an open descriptor (from its current position), for a file
// already opened and checked; says nothing.
ReadResult ReadOpenFile(int fd, size_t limit, std::string* out);

}  // namespace platform
