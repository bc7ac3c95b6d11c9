// Saves in a browser page, whose other tabs keep their own copies of the
// player's files in memory over the same IndexedDB store. A save runs
// under a lock all the tabs take (a Web Lock, awaited through Asyncify):
// the page first loads the file being saved from the store as it is now, so
// the save merges into what the other tabs saved (a score into the table
// as stored, one key into the settings as stored); what it changed goes to
// the store before the lock is let go, and the other tabs are told
// (platform/web/page/qb_page.js, "the player's files").
#include <emscripten/emscripten.h>

#include <cerrno>

#include "platform/posix/path_memo.h"
#include "platform/posix/shared_save.h"

namespace {

// Resolves once the lock is held and path is as the store holds it. The
// wait is the page's time, not the program's work.
EM_ASYNC_JS(void, qb_page_save_begin, (const char* path), {
  const page = Module.qbPage;
  page.yieldBegin();
  try {
    await page.saveBegin(UTF8ToString(path));
  } catch (error) {
    console.warn("the player's files could not be read before a save", error);
  }
  page.yieldEnd();
});

// Hands what the save changed to the store; the lock is let go once the
// store has it. The program does not wait for it.
EM_JS(void, qb_page_save_end, (const char* path), { Module.qbPage.saveEnd(UTF8ToString(path)); });

}  // namespace

namespace platform {

bool SaveSharedFile(const std::string& path, const std::function<bool()>& save) {
  // A save made within another (a score's replay, written while the table
  // is saved) already holds the lock, which is not taken twice; the outer
  // save's end takes its changes to the store too.
  static int depth = 0;
  if (depth > 0) return save();
  qb_page_save_begin(path.c_str());
  // The page may have changed files under the layer's look-ups.
  ForgetPathFacts();
  ++depth;
  const bool ok = save();
  --depth;
  const int error = errno;
  qb_page_save_end(path.c_str());
  errno = error;
  return ok;
}

}  // namespace platform

// The page changed the player's files with what another tab saved.
extern "C" EMSCRIPTEN_KEEPALIVE void qb_web_files_changed() { platform::ForgetPathFacts(); }
