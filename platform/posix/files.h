// Paths, folders and their entries on the operating system. Every file access of
// the programs goes through MapPath: "\" becomes "/", and where the exact
// path does not exist each component is matched case-insensitively. Files
// the user wrote beside a read-only program tree are found in the user's
// folder (platform/posix/user_files.h).
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {
std::string MapPath(const char* windowsPath);
// The path with each component missing as written matched case-insensitively.
std::string MatchCase(const std::string& path);

// What a look-up already told of the file a path names, handed to the next
// step so that it does not ask the system again: in the browser build each
// call on a path costs tens of microseconds of path resolution, and opening
// one file used to look its path up a dozen times.
struct PathFacts {
  enum class Known { kNothing, kMissing, kPresent };
  Known known = Known::kNothing;
  mode_t mode = 0;  // the file's type and permissions, when present
};
// Whether path names something (links followed), as stat() tells: from
// *facts when they know, else from the system, and *facts then know.
bool LookUp(const std::string& path, PathFacts* facts);
// MatchCase, with *facts telling what is known of the path returned.
std::string MatchCase(const std::string& path, PathFacts* facts);
// fopen through MapPath; a mode that writes takes the user's copy of a file
// in a read-only program tree.
FILE* OpenFile(const char* windowsPath, const char* mode);
// Saves data as the whole of path (see platform/file_save.h: atomically,
// under the file's lock, never replacing what is not a regular file). A
// path in a read-only program tree is written to the user's copy instead.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);
// One line on stderr naming a picture, sound or music file that did not load
// (kind "picture", "sound", "music"): the programs themselves go on silently.
void ReportUnloadable(const char* kind, const char* path);

// The system's calls on folders, on paths already mapped.
struct DirectoryEntry {
  std::string name;
  bool isDirectory = false;
  bool readOnly = false;  // a file the user may not write
  uint64_t size = 0;      // of a file; 0 for a folder
};
// Every entry of the folder, "." and ".." too, in the order the system
// lists them; false when the folder cannot be read.
bool ListDirectory(const std::string& dir, std::vector<DirectoryEntry>* entries);
// Makes one folder; *existed tells whether a failure was because the path
// is taken already.
bool MakeDirectory(const std::string& path, bool* existed);
bool RemoveFile(const std::string& path);
bool ChangeDirectory(const std::string& path);
// The process's current directory as the system writes it, empty when it
// cannot be told.
std::string CurrentDirectory();
}  // namespace platform
