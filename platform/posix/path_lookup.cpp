// What a look-up tells of a path, on every system: the system's answer comes
// from StatPath (posix/path_memo.h, or Windows' own in platform/winos/).
#include "platform/posix/files.h"
#include "platform/posix/path_memo.h"

namespace platform {

bool LookUp(const std::string& path, PathFacts* facts) {
  if (facts->known == PathFacts::Known::kNothing) {
    struct stat st;
    const bool present = StatPath(path, &st);
    facts->known = present ? PathFacts::Known::kPresent : PathFacts::Known::kMissing;
    facts->mode = present ? st.st_mode : 0;
  }
  return facts->known == PathFacts::Known::kPresent;
}

}  // namespace platform
