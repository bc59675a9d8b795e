#pragma once

#include <cstdint>

#include "platform/PlatformEvent.h"

namespace talvex {

// Owns one platform event (none when creation failed).
class CEvent {
public:
    CEvent() = default;
    virtual ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    // True when the event was signalled (or abandoned) within the time-out;
    // false on time-out, failure or without an event.
    bool Wait(uint32_t timeoutMs);
    bool Set();
    bool Reset();
    platform::EventHandle Handle() const { return m_event; }

protected:
    explicit CEvent(platform::EventHandle event) : m_event(event) {}

private:
    platform::EventHandle m_event = nullptr;
};

// Manual-reset, created non-signalled.
class CManualEvent : public CEvent {
public:
    CManualEvent();
};

// Auto-reset, created non-signalled: each Set releases one waiter.
class CAutoEvent : public CEvent {
public:
    CAutoEvent();
};

}  // namespace talvex
