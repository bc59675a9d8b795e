// Events with Windows semantics: manual-reset events stay signalled until
// reset; auto-reset events release exactly one waiter and reset themselves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/PlatformThread.h"
#include "wrenfield/Platform.h"

// <windows.h> (pulled in above on Windows) maps CreateEvent to CreateEventA;
// our own name must stay the same in every translation unit.
#ifdef CreateEvent
#undef CreateEvent
#endif

namespace talvex::platform {

struct EventRecord;
using EventHandle = EventRecord*;

EventHandle CreateEvent(bool manualReset, bool initiallySignalled);
void CloseEvent(EventHandle event);
bool SetEvent(EventHandle event);
bool ResetEvent(EventHandle event);

EWaitResult WaitEvent(EventHandle event, uint32_t timeoutMs);

// Waits until any of the events is signalled; signalledIndex receives the
// lowest signalled index. An auto-reset event is consumed by the wait.
EWaitResult WaitAnyEvent(const EventHandle* events, std::size_t count, uint32_t timeoutMs,
                         std::size_t& signalledIndex);

}  // namespace talvex::platform
