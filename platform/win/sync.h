// Kernel objects of the sound library: events, threads and the one
// CloseHandle that ends any of them (files from platform/win/fileio.h too).
// Waits block on a condition variable; nothing here spins.
#pragma once

#include "platform/win/wintypes.h"

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000u;
constexpr DWORD WAIT_TIMEOUT = 0x00000102u;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

// Security attributes and the event name are accepted and ignored.
HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Starts the thread at once (creation flags are ignored); the handle becomes
// signalled when the routine returns.
HANDLE CreateThread(void* security, size_t stackSize, LPTHREAD_START_ROUTINE start, void* parameter,
                    DWORD creationFlags, DWORD* threadId);
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
DWORD GetCurrentThreadId();

// An auto-reset event is consumed by the wait it satisfies; a thread stays
// signalled once ended. Timeouts are in milliseconds of steady time.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds);

// Closes an event, a thread (a running thread goes on, detached) or a file.
BOOL CloseHandle(HANDLE object);

namespace platform {

// Base of every object a HANDLE of this layer points at, so that one
// CloseHandle can serve them all.
class HandleObject {
 public:
  virtual ~HandleObject() = default;
};

// Registers a new handle object and returns its handle.
HANDLE RegisterHandle(HandleObject* object);
// The live object behind a handle, or null for a closed or foreign handle.
HandleObject* LookUpHandle(HANDLE handle);

// For virtual time: blocks until every thread started with CreateThread is
// either ended or blocked in a wait that nothing can satisfy yet, i.e. the
// work that signalled events set in motion has been done. Gives up after
// realTimeoutMs of steady time and returns false.
bool WaitForThreadsIdle(uint32_t realTimeoutMs);

}  // namespace platform
