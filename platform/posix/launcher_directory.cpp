// The launcher's directory, the root of the tree whose written files may
// move to the user's folder: kept alike on every system.
#include "platform/posix/user_files.h"

namespace platform {
namespace {

std::string& Root() {
  static std::string root;
  return root;
}

}  // namespace

void SetLauncherDirectory(const std::string& dir) { Root() = dir; }
const std::string& LauncherDirectory() { return Root(); }

}  // namespace platform
