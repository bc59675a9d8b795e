#include "platform/PlatformEvent.h"

namespace talvex::platform {

namespace {

HANDLE ToNative(EventHandle event) { return reinterpret_cast<HANDLE>(event); }

}  // namespace

EventHandle CreateEvent(bool manualReset, bool initiallySignalled) {
    return reinterpret_cast<EventHandle>(
        ::CreateEventA(nullptr, manualReset ? TRUE : FALSE, initiallySignalled ? TRUE : FALSE, nullptr));
}

void CloseEvent(EventHandle event) {
    if (event != nullptr) ::CloseHandle(ToNative(event));
}

bool SetEvent(EventHandle event) { return event != nullptr && ::SetEvent(ToNative(event)) != FALSE; }

bool ResetEvent(EventHandle event) { return event != nullptr && ::ResetEvent(ToNative(event)) != FALSE; }

EWaitResult WaitEvent(EventHandle event, uint32_t timeoutMs) {
    std::size_t index = 0;
    return WaitAnyEvent(&event, 1, timeoutMs, index);
}

EWaitResult WaitAnyEvent(const EventHandle* events, std::size_t count, uint32_t timeoutMs,
                         std::size_t& signalledIndex) {
    if (events == nullptr || count == 0 || count > MAXIMUM_WAIT_OBJECTS) return EWaitResult::Failed;
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    for (std::size_t i = 0; i < count; ++i) {
        if (events[i] == nullptr) return EWaitResult::Failed;
        handles[i] = ToNative(events[i]);
    }
    const DWORD count32 = static_cast<DWORD>(count);
    // With several signalled, the system reports the lowest index, as callers expect.
    const DWORD result = ::WaitForMultipleObjects(count32, handles, FALSE, timeoutMs);
    if (result < WAIT_OBJECT_0 + count32) {
        signalledIndex = result - WAIT_OBJECT_0;
        return EWaitResult::Signalled;
    }
    if (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count32) {
        signalledIndex = result - WAIT_ABANDONED_0;
        return EWaitResult::Abandoned;
    }
    return result == WAIT_TIMEOUT ? EWaitResult::TimedOut : EWaitResult::Failed;
}

}  // namespace talvex::platform
