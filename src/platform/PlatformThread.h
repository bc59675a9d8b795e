// Threads: the only place that knows how the operating system starts, waits
// for and forcibly ends a thread.
#pragma once

#include <cstdint>

namespace talvex::platform {

struct ThreadRecord;
using ThreadHandle = ThreadRecord*;

enum class EWaitResult { Signalled, Abandoned, TimedOut, Failed };

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

using ThreadEntry = uint32_t (*)(void* argument);

// Starts a thread running entry(argument). handle and threadId are written
// before the thread runs, so the thread may read its owner's copies; on
// failure they become null and 0 and the result is false.
bool StartThread(ThreadEntry entry, void* argument, ThreadHandle& handle, uint32_t& threadId);

// Waits until the thread has ended (Signalled) or timeoutMs passed; kInfinite
// waits without limit; 0 only looks.
EWaitResult WaitThread(ThreadHandle thread, uint32_t timeoutMs);

// Ends a thread that did not stop in time: the last resort of a stop whose
// thread ignored every abort. Returns only once the thread no longer runs,
// so that its owner may free what it used.
void TerminateThread(ThreadHandle thread);

// Releases the handle; the thread itself is not affected.
void CloseThread(ThreadHandle thread);

uint32_t CurrentThreadId();

uint32_t ProcessorCount();

void SleepMs(uint32_t milliseconds);

}  // namespace talvex::platform
