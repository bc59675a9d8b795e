#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <new>
#include <cxxabi.h>

#include "platform/PlatformThread.h"
#include "platform/posix/PosixClock.h"

namespace talvex::platform {

// Shared by the thread and the handle that its starter keeps; the last of the
// two to let go frees it, so a handle closed while the thread still runs
// never leaves the thread writing to freed memory.
struct ThreadRecord {
    pthread_t thread{};
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t finishedCond{};
    bool finished = false;     // guarded by mutex
    bool detached = false;     // only the handle owner touches it
    std::atomic<int> references{2};
    ThreadEntry entry = nullptr;
    void* argument = nullptr;
    uint32_t id = 0;
};

namespace {

std::atomic<uint32_t> g_nextThreadId{1};
thread_local uint32_t t_threadId = 0;

uint32_t NewThreadId() {
    uint32_t id = g_nextThreadId.fetch_add(1);
    if (id == 0) id = g_nextThreadId.fetch_add(1);  // 0 means "no thread"
    return id;
}

void Release(ThreadRecord* record) {
    if (record->references.fetch_sub(1) == 1) {
        pthread_cond_destroy(&record->finishedCond);
        pthread_mutex_destroy(&record->mutex);
        delete record;
    }
}

// Runs on the way out of the thread, also when it is cancelled: a forced
// unwind runs destructors, so waiters learn that the thread is gone.
struct CFinishGuard {
    ThreadRecord* record;
    ~CFinishGuard() {
        pthread_mutex_lock(&record->mutex);
        record->finished = true;
        pthread_cond_broadcast(&record->finishedCond);
        pthread_mutex_unlock(&record->mutex);
        Release(record);
    }
};

// The cancellation unwind carries no C++ object, which the undefined-behaviour
// checker takes for a null reference in the handler below.
__attribute__((no_sanitize("undefined"))) void* Trampoline(void* argument) {
    auto* record = static_cast<ThreadRecord*>(argument);
    t_threadId = record->id;
    CFinishGuard guard{record};
    try {
        record->entry(record->argument);
    } catch (abi::__forced_unwind&) {
        throw;  // cancellation must finish unwinding
    } catch (...) {
        // Nothing may escape a thread; the owner learns of the end through the wait.
    }
    return nullptr;
}

EWaitResult WaitFinished(ThreadRecord* record, uint32_t timeoutMs) {
    timespec deadline = DeadlineAfterMs(timeoutMs);
    pthread_mutex_lock(&record->mutex);
    int rc = 0;
    while (!record->finished && rc != ETIMEDOUT) {
        if (timeoutMs == kInfinite)
            rc = pthread_cond_wait(&record->finishedCond, &record->mutex);
        else
            rc = pthread_cond_timedwait(&record->finishedCond, &record->mutex, &deadline);
    }
    bool finished = record->finished;
    pthread_mutex_unlock(&record->mutex);
    return finished ? EWaitResult::Signalled : EWaitResult::TimedOut;
}

}  // namespace

bool StartThread(ThreadEntry entry, void* argument, ThreadHandle& handle, uint32_t& threadId) {
    handle = nullptr;
    threadId = 0;
    auto* record = new (std::nothrow) ThreadRecord;
    if (record == nullptr) return false;
    pthread_condattr_t attr;
    pthread_condattr_init(&attr);
    pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
    pthread_cond_init(&record->finishedCond, &attr);
    pthread_condattr_destroy(&attr);
    record->entry = entry;
    record->argument = argument;
    record->id = NewThreadId();
    handle = record;
    threadId = record->id;
    if (pthread_create(&record->thread, nullptr, &Trampoline, record) != 0) {
        handle = nullptr;
        threadId = 0;
        record->references.store(1);
        Release(record);
        return false;
    }
    return true;
}

EWaitResult WaitThread(ThreadHandle thread, uint32_t timeoutMs) {
    if (thread == nullptr) return EWaitResult::Failed;
    return WaitFinished(thread, timeoutMs);
}

void TerminateThread(ThreadHandle thread) {
    if (thread == nullptr) return;
    pthread_cancel(thread->thread);
    // Driver threads block only in cancellation points (event waits, socket
    // calls, sleeps), so the cancel lands quickly. Its owner frees what the
    // thread uses as soon as this returns, so return only once it is gone.
    WaitFinished(thread, kInfinite);
}

void CloseThread(ThreadHandle thread) {
    if (thread == nullptr) return;
    if (!thread->detached) {
        thread->detached = true;
        pthread_mutex_lock(&thread->mutex);
        const bool finished = thread->finished;
        pthread_mutex_unlock(&thread->mutex);
        // A finished thread may still be running its last instructions in
        // this library; joining it makes sure it is gone before the host can
        // unload the library. A thread still running is let go instead.
        if (finished)
            pthread_join(thread->thread, nullptr);
        else
            pthread_detach(thread->thread);
    }
    Release(thread);
}

uint32_t CurrentThreadId() {
    if (t_threadId == 0) t_threadId = NewThreadId();  // a host thread, first seen here
    return t_threadId;
}

uint32_t ProcessorCount() {
    long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<uint32_t>(count) : 1u;
}

void SleepMs(uint32_t milliseconds) {
    timespec duration{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&duration, &duration) == -1 && errno == EINTR) {
    }
}

}  // namespace talvex::platform
