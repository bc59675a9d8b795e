#include "thread/CSimpleThread.h"

namespace talvex::thread {

namespace {
constexpr uint32_t kEntryResult = 123;
}

CSimpleThread::~CSimpleThread() = default;

uint32_t CSimpleThread::Entry(void* self) {
    static_cast<CSimpleThread*>(self)->Run();
    return kEntryResult;
}

bool CSimpleThread::IsRunning() const {
    return m_thread != nullptr && platform::WaitThread(m_thread, 0) == platform::EWaitResult::TimedOut;
}

bool CSimpleThread::IsCurrentThread() const {
    return m_threadId != 0 && platform::CurrentThreadId() == m_threadId;
}

bool CSimpleThread::Start(const std::string& name) {
    if (IsRunning()) return false;
    if (m_thread != nullptr) platform::CloseThread(m_thread);
    m_thread = nullptr;
    m_name = name;
    return platform::StartThread(&CSimpleThread::Entry, this, m_thread, m_threadId);
}

bool CSimpleThread::WaitAndClose() {
    if (m_thread == nullptr) return false;
    if (platform::CurrentThreadId() != m_threadId) platform::WaitThread(m_thread, platform::kInfinite);
    platform::CloseThread(m_thread);
    m_thread = nullptr;
    return true;
}

}  // namespace talvex::thread
