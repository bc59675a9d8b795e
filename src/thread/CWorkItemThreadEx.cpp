#include "thread/CWorkItemThreadEx.h"

namespace talvex {

namespace {
constexpr uint32_t kIdleWakeMs = 1000;
}

CWorkItemThreadEx::CWorkItemThreadEx() = default;

CWorkItemThreadEx::~CWorkItemThreadEx() {
    // Stop is virtual, but here only this class's own part is left to run.
    if (m_running) CWorkItemThreadEx::Stop();
    ClearQueue();
}

void CWorkItemThreadEx::ClearQueue() {
    std::list<std::unique_ptr<IWorkItem>> cleared;
    {
        CLockHolder hold(m_queueLock);
        cleared.swap(m_queue);
    }
}

bool CWorkItemThreadEx::Start(const std::string& name) {
    m_running = true;
    return thread::CSimpleThread::Start(name);
}

bool CWorkItemThreadEx::Stop() {
    m_running = false;
    ClearQueue();
    m_itemEvent.Set();
    return WaitAndClose();
}

bool CWorkItemThreadEx::AddItem(IWorkItem* item, unsigned int maxQueued) {
    std::unique_ptr<IWorkItem> owned(item);
    if (!m_running || !owned) return false;
    std::list<std::unique_ptr<IWorkItem>> dropped;
    {
        CLockHolder hold(m_queueLock);
        while (maxQueued != 0 && m_queue.size() >= maxQueued) {
            dropped.push_back(std::move(m_queue.front()));
            m_queue.pop_front();
        }
        m_queue.push_back(std::move(owned));
    }
    m_itemEvent.Set();
    return true;
}

CWorkItemThreadEx::IWorkItem* CWorkItemThreadEx::TakeOldest() {
    CLockHolder hold(m_queueLock);
    if (m_queue.empty()) return nullptr;
    IWorkItem* item = m_queue.front().release();
    m_queue.pop_front();
    return item;
}

void CWorkItemThreadEx::Run() {
    while (m_running) {
        if (!m_itemEvent.Wait(kIdleWakeMs)) continue;
        for (std::unique_ptr<IWorkItem> item(TakeOldest()); item; item.reset(TakeOldest())) {
            ProcessItem(item.get());
            item.reset();
            if (!m_running) return;
        }
    }
}

}  // namespace talvex
