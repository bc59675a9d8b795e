#include "thread/CEvent.h"

namespace talvex {

CEvent::~CEvent() {
    if (m_event != nullptr) platform::CloseEvent(m_event);
}

bool CEvent::Wait(uint32_t timeoutMs) {
    if (m_event == nullptr) return false;
    const platform::EWaitResult result = platform::WaitEvent(m_event, timeoutMs);
    return result == platform::EWaitResult::Signalled || result == platform::EWaitResult::Abandoned;
}

bool CEvent::Set() { return platform::SetEvent(m_event); }

bool CEvent::Reset() { return platform::ResetEvent(m_event); }

CManualEvent::CManualEvent() : CEvent(platform::CreateEvent(true, false)) {}

CAutoEvent::CAutoEvent() : CEvent(platform::CreateEvent(false, false)) {}

}  // namespace talvex
