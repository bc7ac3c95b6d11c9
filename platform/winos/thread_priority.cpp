// Thread priorities on Windows: a step above or below normal is one of the
// system's priority levels (two each way).
#include "platform/posix/thread_priority.h"

#include <windows.h>

#include <algorithm>

namespace platform {

int64_t CurrentKernelThreadId() { return static_cast<int64_t>(GetCurrentThreadId()); }

bool SetKernelThreadPriority(int64_t kernelThreadId, int steps) {
  const HANDLE thread = OpenThread(THREAD_SET_INFORMATION, FALSE, static_cast<DWORD>(kernelThreadId));
  if (!thread) return false;
  const bool set = SetThreadPriority(thread, std::clamp(steps, -2, 2)) != 0;
  CloseHandle(thread);
  return set;
}

}  // namespace platform
