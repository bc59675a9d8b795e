#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <string>

#include "thread/CEvent.h"
#include "thread/CRecursiveLock.h"
#include "thread/CSimpleThread.h"

namespace talvex {

// A bounded queue of owned work items served in order by one thread; over
// the bound the oldest items are dropped, so a burst of commands collapses to
// the newest ones.
class CWorkItemThreadEx : public thread::CSimpleThread {
public:
    class IWorkItem {
    public:
        virtual ~IWorkItem() = default;
    };

    CWorkItemThreadEx();
    void Run() override;
    ~CWorkItemThreadEx() override;
    virtual void ClearQueue();
    virtual void ProcessItem(IWorkItem* item) = 0;
    virtual bool Start(const std::string& name);
    // True when a thread existed.
    virtual bool Stop();
    // Always takes the item: queued (true) or destroyed when stopped (false).
    // maxQueued 0 means no bound.
    virtual bool AddItem(IWorkItem* item, unsigned int maxQueued);

    bool IsAccepting() const { return m_running; }

private:
    IWorkItem* TakeOldest();

    CAutoEvent m_itemEvent;
    std::atomic<bool> m_running{false};
    CRecursiveLock m_queueLock;  // guards m_queue
    std::list<std::unique_ptr<IWorkItem>> m_queue;
};

}  // namespace talvex
