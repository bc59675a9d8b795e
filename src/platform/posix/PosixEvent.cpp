#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <new>
#include <optional>
#include <vector>

#include "platform/PlatformEvent.h"
#include "platform/posix/PosixClock.h"

namespace talvex::platform {

namespace {

// A thread blocked in a wait; registered with every event it waits on.
struct CWaiter {
    pthread_cond_t cond{};
    CWaiter() {
        pthread_condattr_t attr;
        pthread_condattr_init(&attr);
        pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
        pthread_cond_init(&cond, &attr);
        pthread_condattr_destroy(&attr);
    }
    ~CWaiter() { pthread_cond_destroy(&cond); }
};

// One mutex guards the state of every event: a wait on several events must
// see them all consistently, and events change seldom enough that a single
// lock costs nothing measurable.
pthread_mutex_t g_eventMutex = PTHREAD_MUTEX_INITIALIZER;

}  // namespace

struct EventRecord {
    bool manualReset = false;
    bool signalled = false;         // guarded by g_eventMutex
    // A copy of signalled, written under g_eventMutex and read without it:
    // setting a manual-reset event that is already set changes nothing, and
    // a channel sets one for every packet.
    std::atomic<bool> signalledHint{false};
    std::vector<CWaiter*> waiters;  // guarded by g_eventMutex
};

namespace {

// Holds the event mutex for one wait and undoes the waiter's registrations on
// every exit, including a cancellation of the waiting thread.
class CWaitScope {
public:
    CWaitScope(const EventHandle* events, std::size_t count) : m_events(events), m_count(count) {
        pthread_mutex_lock(&g_eventMutex);
    }
    ~CWaitScope() {
        Unregister();
        pthread_mutex_unlock(&g_eventMutex);
    }
    void Register() {
        CWaiter* waiter = &Waiter();
        for (std::size_t i = 0; i < m_count; ++i) m_events[i]->waiters.push_back(waiter);
        m_registered = true;
    }
    void Unregister() {
        if (!m_registered) return;
        for (std::size_t i = 0; i < m_count; ++i) {
            auto& list = m_events[i]->waiters;
            auto it = std::find(list.begin(), list.end(), &*m_waiter);
            if (it != list.end()) list.erase(it);
        }
        m_registered = false;
    }
    CWaiter& Waiter() { return m_waiter ? *m_waiter : m_waiter.emplace(); }

private:
    const EventHandle* m_events;
    std::size_t m_count;
    // Made only when the wait blocks: a look at the events (a 0 ms wait)
    // needs no condition variable.
    std::optional<CWaiter> m_waiter;
    bool m_registered = false;
};

bool TakeSignalled(const EventHandle* events, std::size_t count, std::size_t& index) {
    for (std::size_t i = 0; i < count; ++i) {
        if (events[i]->signalled) {
            if (!events[i]->manualReset) {
                events[i]->signalled = false;
                events[i]->signalledHint.store(false, std::memory_order_release);
            }
            index = i;
            return true;
        }
    }
    return false;
}

}  // namespace

EventHandle CreateEvent(bool manualReset, bool initiallySignalled) {
    auto* event = new (std::nothrow) EventRecord;
    if (event == nullptr) return nullptr;
    event->manualReset = manualReset;
    event->signalled = initiallySignalled;
    event->signalledHint.store(initiallySignalled);
    return event;
}

void CloseEvent(EventHandle event) { delete event; }

bool SetEvent(EventHandle event) {
    if (event == nullptr) return false;
    if (event->manualReset && event->signalledHint.load(std::memory_order_acquire)) return true;
    pthread_mutex_lock(&g_eventMutex);
    event->signalled = true;
    event->signalledHint.store(true, std::memory_order_release);
    for (CWaiter* waiter : event->waiters) pthread_cond_signal(&waiter->cond);
    pthread_mutex_unlock(&g_eventMutex);
    return true;
}

bool ResetEvent(EventHandle event) {
    if (event == nullptr) return false;
    pthread_mutex_lock(&g_eventMutex);
    event->signalled = false;
    event->signalledHint.store(false, std::memory_order_release);
    pthread_mutex_unlock(&g_eventMutex);
    return true;
}

EWaitResult WaitEvent(EventHandle event, uint32_t timeoutMs) {
    std::size_t index = 0;
    return WaitAnyEvent(&event, 1, timeoutMs, index);
}

EWaitResult WaitAnyEvent(const EventHandle* events, std::size_t count, uint32_t timeoutMs,
                         std::size_t& signalledIndex) {
    if (events == nullptr || count == 0) return EWaitResult::Failed;
    for (std::size_t i = 0; i < count; ++i)
        if (events[i] == nullptr) return EWaitResult::Failed;
    // A look at one manual-reset event (a thread checking for its stop
    // request) changes nothing and needs no lock.
    if (count == 1 && timeoutMs == 0 && events[0]->manualReset) {
        signalledIndex = 0;
        return events[0]->signalledHint.load(std::memory_order_acquire) ? EWaitResult::Signalled
                                                                       : EWaitResult::TimedOut;
    }
    timespec deadline = DeadlineAfterMs(timeoutMs);
    CWaitScope scope(events, count);
    for (;;) {
        if (TakeSignalled(events, count, signalledIndex)) return EWaitResult::Signalled;
        if (timeoutMs == 0) return EWaitResult::TimedOut;
        scope.Register();
        int rc = timeoutMs == kInfinite ? pthread_cond_wait(&scope.Waiter().cond, &g_eventMutex)
                                        : pthread_cond_timedwait(&scope.Waiter().cond, &g_eventMutex, &deadline);
        scope.Unregister();
        if (rc == ETIMEDOUT) {
            if (TakeSignalled(events, count, signalledIndex)) return EWaitResult::Signalled;
            return EWaitResult::TimedOut;
        }
    }
}

}  // namespace talvex::platform
