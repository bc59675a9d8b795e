#include "thread/CTickerThread.h"

#include <new>

namespace talvex::thread {

CTickerThread::~CTickerThread() = default;

void CTickerThread::Run() {
    // A failed wait ticks too: only the wake event ends the ticker.
    while (!m_wakeEvent->Wait(m_periodMs)) OnTick();
}

bool CTickerThread::Start(const std::string& name) {
    if (IsRunning()) return false;
    if (!m_wakeEvent) {
        m_wakeEvent.reset(new (std::nothrow) CAutoEvent);
        if (!m_wakeEvent || m_wakeEvent->Handle() == nullptr) {
            m_wakeEvent.reset();
            return false;
        }
    }
    m_wakeEvent->Reset();
    return CSimpleThread::Start(name);
}

bool CTickerThread::StopTicker() {
    if (m_wakeEvent) m_wakeEvent->Set();
    return WaitAndClose();
}

}  // namespace talvex::thread
