#include "thread/CWorkItemThread.h"

#include <new>

namespace talvex::thread {

namespace {
constexpr uint32_t kIdleWakeMs = 1000;
}

CWorkItemThread::~CWorkItemThread() = default;

void CWorkItemThread::OnItemQueued(IWorkItem*, int) {}
void CWorkItemThread::OnItemDequeued(IWorkItem*) {}
void CWorkItemThread::OnQueueFlushed() {}

bool CWorkItemThread::StartWorker(const std::string& name) {
    if (IsRunning()) return false;
    if (!m_itemEvent) {
        m_itemEvent.reset(new (std::nothrow) CAutoEvent);
        if (!m_itemEvent || m_itemEvent->Handle() == nullptr) {
            m_itemEvent.reset();
            return false;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_accepting = true;
    }
    return Start(name);
}

bool CWorkItemThread::AddItem(IWorkItem* item) {
    if (item == nullptr || !m_itemEvent) return false;
    {
        // Checked under the queue lock: an item can never slip in behind the
        // flush of a stop and outlive it in the queue.
        std::lock_guard<std::mutex> lock(m_queueMutex);
        if (!m_accepting) return false;
        m_queue.emplace_back(item);
        OnItemQueued(item, 0);
    }
    m_itemEvent->Set();
    return true;
}

bool CWorkItemThread::StopWorker() {
    bool wasAccepting = false;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        wasAccepting = m_accepting.exchange(false);
    }
    // The one flush of this stop; the worker leaves without flushing again.
    if (wasAccepting) Flush();
    if (m_itemEvent) m_itemEvent->Set();
    return WaitAndClose();
}

void CWorkItemThread::Flush() {
    std::list<std::unique_ptr<IWorkItem>> flushed;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        flushed.swap(m_queue);
    }
    flushed.clear();  // items are destroyed outside the lock
    OnQueueFlushed();
}

CWorkItemThread::IWorkItem* CWorkItemThread::TakeOldest() {
    std::lock_guard<std::mutex> lock(m_queueMutex);
    if (m_queue.empty()) return nullptr;
    IWorkItem* item = m_queue.front().release();
    m_queue.pop_front();
    return item;
}

void CWorkItemThread::Run() {
    for (;;) {
        if (!m_accepting) return;  // StopWorker has flushed the queue
        if (!m_itemEvent->Wait(kIdleWakeMs)) continue;
        for (;;) {
            std::unique_ptr<IWorkItem> item(TakeOldest());
            if (item) OnItemDequeued(item.get());
            // A stop between taking and processing wins: the item is dropped.
            if (!m_accepting || !item) break;
            ProcessItem(item.get());
        }
    }
}

}  // namespace talvex::thread
