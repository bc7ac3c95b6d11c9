// Saves of files that other copies of the program, running beside this one
// on the same files, save too, where the operating system's advisory locks
// do not reach them: the tabs of a browser, each with its own copy of the
// player's files in memory over one store (platform/web/). Natively absent:
// flock already keeps saves of the same file apart.
#pragma once

#include <functional>
#include <string>

namespace platform {

// Runs save, the whole save of path (absolute, already mapped: read, edit,
// replace), while no other copy saves: path is first brought up to what the
// shared store holds, and what save changed goes to the store afterwards.
// Returns what save returned, errno as save left it.
[[gnu::weak]] bool SaveSharedFile(const std::string& path, const std::function<bool()>& save);

}  // namespace platform
