#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "thread/CEvent.h"
#include "thread/CSimpleThread.h"

namespace talvex::thread {

// Calls OnTick once per period on its own thread until its wake event is set.
class CTickerThread : public CSimpleThread {
public:
    CTickerThread() = default;
    void Run() override;
    ~CTickerThread() override;
    virtual void OnTick() = 0;

    // False while the thread still runs or when the wake event cannot be made.
    bool Start(const std::string& name);
    // Sets the wake event and waits for the thread (not when called on it).
    bool StopTicker();

    void SetPeriodMs(uint32_t periodMs) { m_periodMs = periodMs; }
    uint32_t PeriodMs() const { return m_periodMs; }

private:
    std::unique_ptr<CAutoEvent> m_wakeEvent;  // created by the first Start
    uint32_t m_periodMs = 0;
};

}  // namespace talvex::thread
