#pragma once

#include <cstdint>
#include <string>

#include "base/IDebugMessage.h"
#include "platform/PlatformThread.h"
#include "thread/CEvent.h"

namespace talvex {

// Owner of one named thread whose body (Run) watches the stop event.
// Stopping waits a bounded time; JoinThread then waits on, StopThread ends the
// thread by force. Derived classes stop their thread before their own members
// die: the base destructor runs after they are gone.
class CBaseThread {
public:
    explicit CBaseThread(IDebugMessage* log);
    virtual ~CBaseThread();
    CBaseThread(const CBaseThread&) = delete;
    CBaseThread& operator=(const CBaseThread&) = delete;

    // False while an earlier thread still runs (nothing changes then) or
    // when no thread could be made.
    virtual bool StartThread(const std::string& name);
    virtual bool JoinThread(unsigned int timeoutMs);
    virtual bool StopThread(unsigned int timeoutMs);

    const std::string& ThreadName() const { return m_name; }
    uint32_t ThreadId() const { return m_threadId; }
    bool IsRunning() const;

protected:
    virtual void Run() = 0;
    CManualEvent& StopEvent() { return m_stopEvent; }
    // True once stopping was asked for; waits up to timeoutMs for it.
    bool WaitForStop(uint32_t timeoutMs) { return m_stopEvent.Wait(timeoutMs); }

protected:
    IDebugMessage* Log() const { return m_log; }

private:
    static uint32_t Entry(void* self);
    // Signals the stop event; false (after signalling) when called on the
    // thread itself.
    bool BeginStop();
    void CloseHandle();

    std::string m_name;
    platform::ThreadHandle m_thread = nullptr;
    uint32_t m_threadId = 0;
    IDebugMessage* const m_log;
    CManualEvent m_stopEvent;
};

}  // namespace talvex
