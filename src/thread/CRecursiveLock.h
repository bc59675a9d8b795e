#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/PlatformEvent.h"

// Recursive lock that spins before it sleeps. It guards the shared state of
// channels, the video capture object and the work queues.
//
// Waiters are counted in the lock count; the last level released by the
// owner wakes exactly one waiter through an auto-reset event, and only that
// waiter can become the next owner, so a wake-up is never lost.
class CRecursiveLock {
public:
    // Spins 4000 times on a machine with more than one processor, never on one.
    CRecursiveLock();
    explicit CRecursiveLock(uint32_t spinCount);
    ~CRecursiveLock();
    CRecursiveLock(const CRecursiveLock&) = delete;
    CRecursiveLock& operator=(const CRecursiveLock&) = delete;

    // Never blocks: one attempt plus the spin count.
    bool TryLock();
    void Lock();
    void Unlock();

    uint32_t SpinCount() const { return m_state->spinCount; }

    static constexpr uint32_t kMultiProcessorSpinCount = 4000;
    // The spin count of a default lock on a machine with that many processors.
    static uint32_t SpinCountFor(uint32_t processorCount);

private:
    struct SState {
        uint32_t spinCount = 0;
        std::atomic<int32_t> lockCount{0};  // owner plus waiters
        std::atomic<uint32_t> owner{0};     // 0: none
        std::atomic<uint32_t> recursion{0};
    };
    talvex::platform::EventHandle m_wakeEvent;
    std::unique_ptr<SState> m_state;
};

// Holds a CRecursiveLock for the life of a scope.
class CLockHolder {
public:
    explicit CLockHolder(CRecursiveLock& lock) : m_lock(lock) { m_lock.Lock(); }
    ~CLockHolder() { m_lock.Unlock(); }
    CLockHolder(const CLockHolder&) = delete;
    CLockHolder& operator=(const CLockHolder&) = delete;

private:
    CRecursiveLock& m_lock;
};
