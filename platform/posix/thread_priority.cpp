#include "platform/posix/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

namespace platform {

int64_t CurrentKernelThreadId() { return static_cast<int64_t>(::syscall(SYS_gettid)); }

bool SetKernelThreadPriority(int64_t kernelThreadId, int steps) {
  const int nice = std::clamp(-steps, -20, 19);
  return ::setpriority(PRIO_PROCESS, static_cast<id_t>(kernelThreadId), nice) == 0;
}

}  // namespace platform
