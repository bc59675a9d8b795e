#pragma once

#include <cstdint>
#include <string>

#include "platform/PlatformThread.h"

namespace talvex::thread {

// A bare named thread running the object's own Run. It stops by the flags and
// events of its derived class, never by a time-out: the owner waits for it.
class CSimpleThread {
public:
    CSimpleThread() = default;
    CSimpleThread(const CSimpleThread&) = delete;
    CSimpleThread& operator=(const CSimpleThread&) = delete;

    virtual void Run() = 0;
    // Drops the name only; derived classes stop the thread first.
    virtual ~CSimpleThread();

    // False while the thread still runs or when none could be made.
    bool Start(const std::string& name);

    bool IsRunning() const;
    bool IsCurrentThread() const;
    bool HasThread() const { return m_thread != nullptr; }
    const std::string& ThreadName() const { return m_name; }

protected:
    // Waits without limit unless called on the thread itself, then releases
    // the handle. True when a thread existed.
    bool WaitAndClose();

private:
    static uint32_t Entry(void* self);

    std::string m_name;
    platform::ThreadHandle m_thread = nullptr;
    uint32_t m_threadId = 0;
};

}  // namespace talvex::thread
