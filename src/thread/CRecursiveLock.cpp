#include "thread/CRecursiveLock.h"

#include "platform/PlatformThread.h"

namespace {

// Computed once, by the first lock constructed.
uint32_t MachineSpinCount() {
    static const uint32_t spins = CRecursiveLock::SpinCountFor(talvex::platform::ProcessorCount());
    return spins;
}

}  // namespace

uint32_t CRecursiveLock::SpinCountFor(uint32_t processorCount) {
    // On one processor the owner cannot run while a waiter spins.
    return processorCount > 1 ? kMultiProcessorSpinCount : 0u;
}

CRecursiveLock::CRecursiveLock() : CRecursiveLock(MachineSpinCount()) {}

CRecursiveLock::CRecursiveLock(uint32_t spinCount)
    : m_wakeEvent(talvex::platform::CreateEvent(false, false)), m_state(std::make_unique<SState>()) {
    m_state->spinCount = spinCount;
}

CRecursiveLock::~CRecursiveLock() { talvex::platform::CloseEvent(m_wakeEvent); }

bool CRecursiveLock::TryLock() {
    const uint32_t self = talvex::platform::CurrentThreadId();
    uint32_t spins = m_state->spinCount;
    for (;;) {
        int32_t expected = 0;
        if (m_state->lockCount.compare_exchange_strong(expected, 1)) {
            m_state->owner = self;
            m_state->recursion = 1;
            return true;
        }
        if (m_state->owner == self) {
            ++m_state->lockCount;
            ++m_state->recursion;
            return true;
        }
        if (spins == 0) return false;
        --spins;
    }
}

void CRecursiveLock::Lock() {
    if (TryLock()) return;
    const uint32_t self = talvex::platform::CurrentThreadId();
    if (++m_state->lockCount == 1) {
        m_state->owner = self;
        m_state->recursion = 1;
        return;
    }
    if (m_state->owner == self) {
        ++m_state->recursion;
        return;
    }
    talvex::platform::WaitEvent(m_wakeEvent, talvex::platform::kInfinite);
    m_state->owner = self;
    m_state->recursion = 1;
}

void CRecursiveLock::Unlock() {
    if (--m_state->recursion > 0) {
        --m_state->lockCount;
        return;
    }
    m_state->owner = 0;
    if (--m_state->lockCount > 0) talvex::platform::SetEvent(m_wakeEvent);
}
