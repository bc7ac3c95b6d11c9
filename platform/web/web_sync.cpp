// Events and threads in a browser page, which has one thread. A thread of
// the sound library is a fiber (Asyncify): it runs until it waits, and the
// program's own thread runs the fibers whose waits can be satisfied where
// it waits itself, or where the audio output asks for the sound threads'
// work to be done (WaitForThreadsIdle after each mixed block). So the
// callback and the stream fill run between the blocks that signalled them,
// as they do on the virtual clock natively; nothing waits by spinning.
#include <emscripten/fiber.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <unordered_set>
#include <vector>

#include "platform/device/clock.h"
#include "platform/win/sync.h"
#include "platform/win/waitable.h"

namespace platform {
namespace {

constexpr size_t kFiberStack = 256 * 1024;
constexpr size_t kAsyncifyStack = 64 * 1024;
constexpr size_t kMainAsyncifyStack = 512 * 1024;

std::unordered_set<HandleObject*>& Registry() {
  static auto* handles = new std::unordered_set<HandleObject*>();
  return *handles;
}

// A fiber's state outlives its handle: closing the handle does not end it.
struct Fiber {
  emscripten_fiber_t context;
  std::unique_ptr<char[]> stack{new char[kFiberStack]};
  std::unique_ptr<char[]> asyncifyStack{new char[kAsyncifyStack]};
  LPTHREAD_START_ROUTINE start = nullptr;
  void* parameter = nullptr;
  DWORD id = 0;
  int priority = THREAD_PRIORITY_NORMAL;
  bool ended = false;
  DWORD exitCode = 0;
  // The wait it is suspended in (none before it first runs).
  const HANDLE* waitHandles = nullptr;
  DWORD waitCount = 0;
  bool waitAll = false;
  std::chrono::steady_clock::time_point waitDeadline = std::chrono::steady_clock::time_point::max();
};

class ThreadObject final : public Waitable {
 public:
  explicit ThreadObject(std::shared_ptr<Fiber> fiber) : fiber(std::move(fiber)) {}
  bool Signalled() const override { return fiber->ended; }
  void Consume() override {}
  std::shared_ptr<Fiber> fiber;
};

std::vector<std::shared_ptr<Fiber>>& Fibers() {
  static auto* fibers = new std::vector<std::shared_ptr<Fiber>>();
  return *fibers;
}
emscripten_fiber_t g_main;
bool g_mainReady = false;
Fiber* g_current = nullptr;  // the fiber running, null on the program's thread
DWORD g_nextThreadId = 1;
DWORD g_mainThreadId = 0;

Waitable* WaitableOf(HANDLE h) {
  auto* object = static_cast<HandleObject*>(h);
  if (!Registry().count(object)) return nullptr;
  return dynamic_cast<Waitable*>(object);
}

int Check(const HANDLE* handles, DWORD count, bool waitAll, DWORD* index) {
  return CheckWait(WaitableOf, handles, count, waitAll, index);
}

void Consume(const HANDLE* handles, DWORD count, bool waitAll, DWORD index) {
  ConsumeWait(WaitableOf, handles, count, waitAll, index);
}

void FiberEntry(void* argument) {
  auto* fiber = static_cast<Fiber*>(argument);
  fiber->exitCode = fiber->start(fiber->parameter);
  fiber->ended = true;
  // A fiber never returns from its entry: it hands back for good.
  emscripten_fiber_swap(&fiber->context, &g_main);
}

bool Runnable(const Fiber& fiber) {
  if (fiber.ended) return false;
  if (!fiber.waitHandles) return true;  // not started yet
  DWORD index;
  return Check(fiber.waitHandles, fiber.waitCount, fiber.waitAll, &index) != 0 ||
         std::chrono::steady_clock::now() >= fiber.waitDeadline;
}

// Runs the fibers on the program's thread until each has ended or waits
// for something not yet signalled.
void RunFibers() {
  if (g_current) return;
  if (!g_mainReady) {
    static char* mainAsyncify = new char[kMainAsyncifyStack];
    emscripten_fiber_init_from_current_context(&g_main, mainAsyncify, kMainAsyncifyStack);
    g_mainReady = true;
  }
  for (bool progress = true; progress;) {
    progress = false;
    // A copy: a fiber may start another.
    std::vector<std::shared_ptr<Fiber>> fibers = Fibers();
    for (const std::shared_ptr<Fiber>& fiber : fibers) {
      if (!Runnable(*fiber)) continue;
      g_current = fiber.get();
      emscripten_fiber_swap(&g_main, &fiber->context);
      g_current = nullptr;
      progress = true;
    }
    auto& all = Fibers();
    all.erase(std::remove_if(all.begin(), all.end(), [](const auto& f) { return f->ended; }), all.end());
  }
}

}  // namespace

HANDLE RegisterHandle(HandleObject* object) {
  Registry().insert(object);
  return object;
}

HandleObject* LookUpHandle(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  auto* object = static_cast<HandleObject*>(handle);
  return Registry().count(object) ? object : nullptr;
}

bool WaitForThreadsIdle(uint32_t) {
  RunFibers();
  return true;
}

}  // namespace platform

using namespace platform;

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
  return RegisterHandle(new EventObject(manualReset != 0, initialState != 0));
}

static BOOL SetEventState(HANDLE event, bool state) {
  auto* e = dynamic_cast<EventObject*>(LookUpHandle(event));
  if (!e) return FALSE;
  e->signalled = state;
  return TRUE;
}

BOOL SetEvent(HANDLE event) { return SetEventState(event, true); }
BOOL ResetEvent(HANDLE event) { return SetEventState(event, false); }

HANDLE CreateThread(void*, size_t, LPTHREAD_START_ROUTINE start, void* parameter, DWORD, DWORD* threadId) {
  if (!start) return nullptr;
  auto fiber = std::make_shared<Fiber>();
  fiber->start = start;
  fiber->parameter = parameter;
  fiber->id = g_nextThreadId++;
  if (threadId) *threadId = fiber->id;
  emscripten_fiber_init(&fiber->context, FiberEntry, fiber.get(), fiber->stack.get(), kFiberStack,
                        fiber->asyncifyStack.get(), kAsyncifyStack);
  Fibers().push_back(fiber);
  return RegisterHandle(new ThreadObject(std::move(fiber)));
}

static ThreadObject* ThreadOf(HANDLE thread) { return dynamic_cast<ThreadObject*>(LookUpHandle(thread)); }

// One thread runs at a time, so priorities change nothing; they are kept to be read back.
BOOL SetThreadPriority(HANDLE thread, int priority) {
  ThreadObject* t = ThreadOf(thread);
  if (!t) return FALSE;
  t->fiber->priority = priority;
  return TRUE;
}

int GetThreadPriority(HANDLE thread) {
  ThreadObject* t = ThreadOf(thread);
  return t ? t->fiber->priority : THREAD_PRIORITY_ERROR_RETURN;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  ThreadObject* t = ThreadOf(thread);
  if (!t || !exitCode) return FALSE;
  constexpr DWORD kStillActive = 259;
  *exitCode = t->fiber->ended ? t->fiber->exitCode : kStillActive;
  return TRUE;
}

DWORD GetCurrentThreadId() {
  if (platform::g_current) return platform::g_current->id;
  if (!platform::g_mainThreadId) platform::g_mainThreadId = platform::g_nextThreadId++;
  return platform::g_mainThreadId;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &object, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !objects) return WAIT_FAILED;
  auto deadline = milliseconds == INFINITE
                            ? std::chrono::steady_clock::time_point::max()
                            : std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    DWORD index = 0;
    const int state = platform::Check(objects, count, waitAll != 0, &index);
    if (state < 0) return WAIT_FAILED;
    if (state > 0) {
      platform::Consume(objects, count, waitAll != 0, index);
      return WAIT_OBJECT_0 + index;
    }
    if (std::chrono::steady_clock::now() >= deadline) return WAIT_TIMEOUT;
    if (platform::Fiber* self = platform::g_current) {
      // Suspended until the program's thread finds the wait satisfiable.
      self->waitHandles = objects;
      self->waitCount = count;
      self->waitAll = waitAll != 0;
      self->waitDeadline = deadline;
      emscripten_fiber_swap(&self->context, &platform::g_main);
      continue;
    }
    // The program's thread: only the fibers can signal what it waits for.
    const bool anyRunnable = std::any_of(platform::Fibers().begin(), platform::Fibers().end(),
                                         [](const auto& f) { return platform::Runnable(*f); });
    if (anyRunnable) {
      platform::RunFibers();
    } else if (milliseconds == INFINITE) {
      return WAIT_FAILED;  // nothing left that could ever signal it
    } else {
      // Time alone may end it: wait it out on the page's clock, then look once more.
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      platform::WaitUntilMs(platform::NowMs() + static_cast<uint32_t>(std::max<int64_t>(0, left.count())));
      deadline = std::chrono::steady_clock::now();
    }
  }
}

BOOL CloseHandle(HANDLE object) {
  if (object == nullptr || object == INVALID_HANDLE_VALUE) return FALSE;
  auto* h = static_cast<HandleObject*>(object);
  if (!platform::Registry().erase(h)) return FALSE;
  delete h;
  return TRUE;
}
