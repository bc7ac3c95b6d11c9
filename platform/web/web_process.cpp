// The process as the programs expect it of Linux. Emscripten's C library
// starts with a umask of 0777, so every file the programs made had no
// permission at all, and the next page could not read it back (a saved
// hall of fame read as empty); a page's process starts with 022.
#include <sys/stat.h>

namespace {

const mode_t g_startingMask = ::umask(022);

}  // namespace
