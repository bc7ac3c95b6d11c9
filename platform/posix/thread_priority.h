// Thread priorities on the operating system: a thread is named by the id the
// kernel gives it, and a priority is a step above (positive) or below
// (negative) normal, one nice level a step.
#pragma once

#include <cstdint>

namespace platform {

// The calling thread's kernel id.
int64_t CurrentKernelThreadId();

// Sets the thread's priority, steps clamped to the nice range. Raising it
// above normal needs privileges; a refusal leaves it as it was (false).
bool SetKernelThreadPriority(int64_t kernelThreadId, int steps);

}  // namespace platform
