#include "platform/win/waitable.h"

namespace platform {

int CheckWait(FindWaitable find, const HANDLE* handles, DWORD count, bool waitAll, DWORD* index) {
  bool all = true;
  for (DWORD i = 0; i < count; ++i) {
    Waitable* w = find(handles[i]);
    if (!w) return -1;
    if (w->Signalled()) {
      if (!waitAll) {
        *index = i;
        return 1;
      }
    } else {
      all = false;
    }
  }
  if (waitAll && all) {
    *index = 0;
    return 1;
  }
  return 0;
}

void ConsumeWait(FindWaitable find, const HANDLE* handles, DWORD count, bool waitAll, DWORD index) {
  for (DWORD i = 0; i < count; ++i) {
    if (!waitAll && i != index) continue;
    if (Waitable* w = find(handles[i])) w->Consume();
  }
}

}  // namespace platform
