#include "thread/CBaseThread.h"

namespace talvex {

namespace {
constexpr uint32_t kEntryNullObject = 0x123456;
constexpr unsigned int kDestructorStopMs = 2000;
}  // namespace

CBaseThread::CBaseThread(IDebugMessage* log) : m_log(log) {}

CBaseThread::~CBaseThread() { StopThread(kDestructorStopMs); }

uint32_t CBaseThread::Entry(void* self) {
    if (self == nullptr) return kEntryNullObject;
    static_cast<CBaseThread*>(self)->Run();
    return 0;
}

bool CBaseThread::IsRunning() const {
    return m_thread != nullptr && platform::WaitThread(m_thread, 0) == platform::EWaitResult::TimedOut;
}

bool CBaseThread::StartThread(const std::string& name) {
    m_stopEvent.Reset();
    if (IsRunning()) return false;
    CloseHandle();
    m_name = name;
    return platform::StartThread(&CBaseThread::Entry, this, m_thread, m_threadId);
}

bool CBaseThread::BeginStop() {
    m_stopEvent.Set();
    return m_threadId == 0 || platform::CurrentThreadId() != m_threadId;
}

void CBaseThread::CloseHandle() {
    if (m_thread != nullptr) platform::CloseThread(m_thread);
    m_thread = nullptr;
}

bool CBaseThread::JoinThread(unsigned int timeoutMs) {
    if (!BeginStop()) return false;
    if (m_thread == nullptr) return true;
    if (platform::WaitThread(m_thread, timeoutMs) != platform::EWaitResult::Signalled) {
        m_log->DebugMessage(kLevelWarning, "%s: Thread (id=%u, name=\"%s\") was not stopped during %lu milliseconds",
                            "talvex::CBaseThread::JoinThread", m_threadId, m_name.c_str(),
                            static_cast<unsigned long>(timeoutMs));
        platform::WaitThread(m_thread, platform::kInfinite);
        m_log->DebugMessage(kLevelInformation, "%s: Thread (id=%u, name=\"%s\") was stopped correctly",
                            "talvex::CBaseThread::JoinThread", m_threadId, m_name.c_str());
    }
    CloseHandle();
    return true;
}

bool CBaseThread::StopThread(unsigned int timeoutMs) {
    if (!BeginStop()) return false;
    if (m_thread == nullptr) return true;
    if (platform::WaitThread(m_thread, timeoutMs) != platform::EWaitResult::Signalled) {
        m_log->DebugMessage(kLevelWarning,
                            "%s: Thread (id=%u, name=\"%s\") was not stopped during %lu milliseconds and will be "
                            "terminated!",
                            "talvex::CBaseThread::StopThread", m_threadId, m_name.c_str(),
                            static_cast<unsigned long>(timeoutMs));
        platform::TerminateThread(m_thread);
    }
    CloseHandle();
    return true;
}

}  // namespace talvex
