// What the look-ups of paths learnt, kept while nothing else changes the
// files. In a browser page nothing does: its file system lives in the page,
// and every look-up there costs tens of microseconds of path resolution, a
// good part of the frame that saves a score. Each change this layer makes
// (a save, a new file or folder, a removal, another current directory)
// forgets everything. Natively other programs change files at any time, so
// nothing is kept unless asked.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

namespace platform {

// Keeping is on in the browser build and off natively.
void KeepPathFacts(bool keep);
// Called after every change to the files or to the current directory; errno stays as it was.
void ForgetPathFacts();

// As stat(): true and *st filled when path names something (links followed).
bool StatPath(const std::string& path, struct stat* st);
// The names in the folder, "." and ".." included; false when it cannot be listed.
bool ListNames(const std::string& dir, std::vector<std::string>* names);
// realpath(), empty when the path cannot be resolved.
std::string RealPathOf(const std::string& path);
// access(path, W_OK) == 0.
bool MayWrite(const std::string& path);

}  // namespace platform
