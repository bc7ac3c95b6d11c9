// Saving the programs' files without harming what they do not own.
//
// A save reads the file as it is now and writes its new contents under an
// advisory lock (flock) that every save of either program takes, so two
// programs saving the same file one after the other both count. The new
// contents replace a regular file atomically (a temporary file beside it,
// flushed, synced and renamed over it) keeping its permissions, owner and
// group; where the folder takes no temporary file, or the owner could not be
// kept, a writable file is written in place instead. A symbolic link stays
// a link and its target is saved, when that is a regular file; a device,
// FIFO or socket (named or linked to) is refused, neither written nor
// replaced. Temporary files carry a name of their own (".NAME.qbtmp-XXXXXX"),
// so only those a killed save left behind are ever removed. Where copies of
// the program share the files beyond flock's reach (a browser's tabs), the
// whole save runs under their shared lock (shared_save.h).
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/posix/file_read.h"

namespace platform {

// Produces the new contents from the current ones: old holds the file's
// bytes when read is kOk (a missing file reads as kMissing; a file larger
// than the save's limit kTooLarge). Returning false cancels the save
// (errno tells why).
using FileEdit = std::function<bool(ReadResult read, const std::string& old, std::string* out)>;

// Saves path (already mapped) under its lock. False, with errno set, when
// nothing was written: EINVAL when path is (or links to) no regular file.
bool RewriteFile(const std::string& path, size_t readLimit, const FileEdit& edit);

// Removes the temporary files that killed saves left in dir (already mapped),
// whatever file they were saving, however young: for a caller holding a
// lock that every save into dir holds too, so that none is a save under way.
void RemoveSaveLeftovers(const std::string& dir);

}  // namespace platform
