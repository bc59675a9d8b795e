#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "thread/CEvent.h"
#include "thread/CSimpleThread.h"

namespace talvex::thread {

// A queue of owned work items served in order by one thread. Items added
// while the worker is stopped are refused and stay with the caller.
class CWorkItemThread : public CSimpleThread {
public:
    class IWorkItem {
    public:
        virtual ~IWorkItem() = default;
    };

    CWorkItemThread() = default;
    void Run() override;
    ~CWorkItemThread() override;
    virtual void ProcessItem(IWorkItem* item) = 0;
    // Called on the caller's thread inside the queue lock right after the
    // item was appended.
    virtual void OnItemQueued(IWorkItem* item, int reserved);
    // Called on the worker right after an item was taken out.
    virtual void OnItemDequeued(IWorkItem* item);
    virtual void OnQueueFlushed();

    bool StartWorker(const std::string& name);
    // Takes the item (true) or leaves it with the caller (false).
    bool AddItem(IWorkItem* item);
    // Stops accepting, destroys what is queued and waits for the worker.
    // True when a thread existed.
    bool StopWorker();
    void Flush();

private:
    IWorkItem* TakeOldest();

    std::mutex m_queueMutex;  // guards m_queue
    std::list<std::unique_ptr<IWorkItem>> m_queue;
    std::unique_ptr<CAutoEvent> m_itemEvent;  // created by the first start
    std::atomic<bool> m_accepting{false};
};

}  // namespace talvex::thread
