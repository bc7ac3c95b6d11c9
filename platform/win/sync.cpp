// Events and threads on one process-wide mutex and condition variable. The
// sound library has a handful of events and two threads, so a single lock
// keeps the wait-for-any logic simple and lets WaitForThreadsIdle see every
// waiter at once; every change of state wakes all waiters, who re-check.
#include "platform/win/sync.h"
#include "platform/win/waitable.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/device/audio_output.h"
#include "platform/posix/thread_priority.h"

namespace platform {
namespace {

// Never destroyed: a thread may still wait on them while the process exits.
std::mutex& Lock() {
  static auto* m = new std::mutex();
  return *m;
}
std::condition_variable& Changed() {
  static auto* cv = new std::condition_variable();
  return *cv;
}
std::unordered_set<HandleObject*>& Registry() {
  static auto* handles = new std::unordered_set<HandleObject*>();
  return *handles;
}

// The objects' state (waitable.h) is guarded by Lock().
struct ThreadControl {
  std::atomic<int> priority{THREAD_PRIORITY_NORMAL};
  std::atomic<int64_t> tid{0};  // the kernel's id, once the thread runs
  DWORD id = 0;
  bool ended = false;  // guarded by Lock()
  DWORD exitCode = 0;  // guarded by Lock()
};

class ThreadObject final : public Waitable {
 public:
  ThreadObject() : control(std::make_shared<ThreadControl>()) {}
  ~ThreadObject() override {
    if (!thread.joinable()) return;
    bool ended;
    {
      std::lock_guard<std::mutex> lock(Lock());
      ended = control->ended;
    }
    if (ended && thread.get_id() != std::this_thread::get_id()) {
      thread.join();
    } else {
      thread.detach();  // closing the handle does not end the thread
    }
  }
  bool Signalled() const override { return control->ended; }
  void Consume() override {}
  std::thread thread;
  std::shared_ptr<ThreadControl> control;
};

// One entry per thread blocked in a wait, so that the idle check can tell
// whether some signalled object is about to wake it.
struct BlockedWaiter {
  const HANDLE* handles;
  DWORD count;
  bool waitAll;
};
std::vector<BlockedWaiter*>& Blocked() {
  static auto* blocked = new std::vector<BlockedWaiter*>();
  return *blocked;
}

int g_runningWorkers = 0;  // threads from CreateThread not blocked in a wait; guarded by Lock()
thread_local bool t_isWorker = false;
std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

Waitable* WaitableLocked(HANDLE h) {
  auto* object = static_cast<HandleObject*>(h);
  if (!Registry().count(object)) return nullptr;
  return dynamic_cast<Waitable*>(object);
}

int CheckLocked(const HANDLE* handles, DWORD count, bool waitAll, DWORD* index) {
  return CheckWait(WaitableLocked, handles, count, waitAll, index);
}

void ConsumeLocked(const HANDLE* handles, DWORD count, bool waitAll, DWORD index) {
  ConsumeWait(WaitableLocked, handles, count, waitAll, index);
}

void ApplyPriority(ThreadControl& control) {
  const int64_t tid = control.tid.load();
  if (tid == 0) return;
  // Windows priorities are steps relative to normal; raising above normal
  // needs privileges, so a refusal is ignored.
  SetKernelThreadPriority(tid, control.priority.load());
}

}  // namespace

HANDLE RegisterHandle(HandleObject* object) {
  std::lock_guard<std::mutex> lock(Lock());
  Registry().insert(object);
  return object;
}

HandleObject* LookUpHandle(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  std::lock_guard<std::mutex> lock(Lock());
  auto* object = static_cast<HandleObject*>(handle);
  return Registry().count(object) ? object : nullptr;
}

bool WaitForThreadsIdle(uint32_t realTimeoutMs) {
  std::unique_lock<std::mutex> lock(Lock());
  auto idle = [] {
    if (g_runningWorkers > 0) return false;
    for (BlockedWaiter* w : Blocked()) {
      DWORD index;
      if (CheckLocked(w->handles, w->count, w->waitAll, &index) != 0) return false;
    }
    return true;
  };
  return Changed().wait_for(lock, std::chrono::milliseconds(realTimeoutMs), idle);
}

}  // namespace platform

using namespace platform;

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
  return RegisterHandle(new EventObject(manualReset != 0, initialState != 0));
}

static BOOL SetEventState(HANDLE event, bool state) {
  std::lock_guard<std::mutex> lock(platform::Lock());
  auto* object = static_cast<HandleObject*>(event);
  if (!platform::Registry().count(object)) return FALSE;
  auto* e = dynamic_cast<EventObject*>(object);
  if (!e) return FALSE;
  e->signalled = state;
  if (state) platform::Changed().notify_all();
  return TRUE;
}

BOOL SetEvent(HANDLE event) { return SetEventState(event, true); }
BOOL ResetEvent(HANDLE event) { return SetEventState(event, false); }

HANDLE CreateThread(void*, size_t, LPTHREAD_START_ROUTINE start, void* parameter, DWORD, DWORD* threadId) {
  if (!start) return nullptr;
  // From now on there are threads whose work the virtual-time audio output
  // waits for after it signals their events.
  static const bool waitSet = (platform::SetSignalledWorkWait(platform::WaitForThreadsIdle), true);
  (void)waitSet;
  auto* object = new ThreadObject();
  std::shared_ptr<ThreadControl> control = object->control;
  control->id = g_nextThreadId.fetch_add(1);
  if (threadId) *threadId = control->id;
  {
    std::lock_guard<std::mutex> lock(platform::Lock());
    ++platform::g_runningWorkers;
    platform::Registry().insert(object);
  }
  // The routine keeps only the shared control block: the handle object may
  // be closed before the routine ends.
  object->thread = std::thread([start, parameter, control] {
    t_isWorker = true;
    t_threadId = control->id;
    control->tid.store(platform::CurrentKernelThreadId());
    if (control->priority.load() != THREAD_PRIORITY_NORMAL) ApplyPriority(*control);
    DWORD code = start(parameter);
    std::lock_guard<std::mutex> lock(platform::Lock());
    control->exitCode = code;
    control->ended = true;
    --platform::g_runningWorkers;
    platform::Changed().notify_all();
  });
  return object;
}

static ThreadObject* ThreadOf(HANDLE thread) {
  return dynamic_cast<ThreadObject*>(LookUpHandle(thread));
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
  ThreadObject* t = ThreadOf(thread);
  if (!t) return FALSE;
  t->control->priority.store(priority);
  ApplyPriority(*t->control);
  return TRUE;
}

int GetThreadPriority(HANDLE thread) {
  ThreadObject* t = ThreadOf(thread);
  return t ? t->control->priority.load() : THREAD_PRIORITY_ERROR_RETURN;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  std::lock_guard<std::mutex> lock(platform::Lock());
  auto* object = static_cast<HandleObject*>(thread);
  if (!platform::Registry().count(object) || !exitCode) return FALSE;
  auto* t = dynamic_cast<ThreadObject*>(object);
  if (!t) return FALSE;
  constexpr DWORD kStillActive = 259;
  *exitCode = t->control->ended ? t->control->exitCode : kStillActive;
  return TRUE;
}

DWORD GetCurrentThreadId() {
  if (t_threadId == 0) t_threadId = g_nextThreadId.fetch_add(1);
  return t_threadId;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &object, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !objects) return WAIT_FAILED;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  std::unique_lock<std::mutex> lock(platform::Lock());
  platform::BlockedWaiter self{objects, count, waitAll != 0};
  bool blocked = false;
  auto unblock = [&] {
    if (!blocked) return;
    auto& list = platform::Blocked();
    list.erase(std::find(list.begin(), list.end(), &self));
    if (t_isWorker) ++platform::g_runningWorkers;
    blocked = false;
  };
  for (;;) {
    DWORD index = 0;
    int state = platform::CheckLocked(objects, count, waitAll != 0, &index);
    if (state < 0) {
      unblock();
      return WAIT_FAILED;
    }
    if (state > 0) {
      platform::ConsumeLocked(objects, count, waitAll != 0, index);
      unblock();
      platform::Changed().notify_all();
      return WAIT_OBJECT_0 + index;
    }
    if (milliseconds != INFINITE && std::chrono::steady_clock::now() >= deadline) {
      unblock();
      return WAIT_TIMEOUT;
    }
    if (!blocked) {
      platform::Blocked().push_back(&self);
      if (t_isWorker) --platform::g_runningWorkers;
      blocked = true;
      platform::Changed().notify_all();  // an idle watcher may now be satisfied
    }
    if (milliseconds == INFINITE) {
      platform::Changed().wait(lock);
    } else {
      platform::Changed().wait_until(lock, deadline);
    }
  }
}

BOOL CloseHandle(HANDLE object) {
  if (object == nullptr || object == INVALID_HANDLE_VALUE) return FALSE;
  auto* h = static_cast<HandleObject*>(object);
  {
    std::lock_guard<std::mutex> lock(platform::Lock());
    if (!platform::Registry().erase(h)) return FALSE;
    platform::Changed().notify_all();  // waiters on it fail rather than hang
  }
  delete h;
  return TRUE;
}
