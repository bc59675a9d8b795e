#include "thread/CWorkItemThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/PlatformThread.h"
#include "thread/CEvent.h"
#include "thread/CWorkItemThreadEx.h"

namespace {

// Counts destructions so every test can check that each item dies once.
struct SLedger {
    std::atomic<int> destroyed{0};
    std::mutex mutex;
    std::vector<int> processed;  // guarded by mutex
};

class CItem final : public talvex::thread::CWorkItemThread::IWorkItem {
public:
    CItem(SLedger& ledger, int value) : ledger(ledger), value(value) {}
    ~CItem() override { ++ledger.destroyed; }
    SLedger& ledger;
    int value;
};

class CItemEx final : public talvex::CWorkItemThreadEx::IWorkItem {
public:
    CItemEx(SLedger& ledger, int value) : ledger(ledger), value(value) {}
    ~CItemEx() override { ++ledger.destroyed; }
    SLedger& ledger;
    int value;
};

// Blocks in ProcessItem until released, so items pile up behind it.
class CGatedWorker final : public talvex::thread::CWorkItemThread {
public:
    ~CGatedWorker() override { StopWorker(); }
    void ProcessItem(IWorkItem* item) override {
        auto* ours = static_cast<CItem*>(item);
        if (ours->value == 0) {
            busy.Set();
            gate.Wait(talvex::platform::kInfinite);
        }
        std::lock_guard<std::mutex> lock(ours->ledger.mutex);
        ours->ledger.processed.push_back(ours->value);
    }
    void OnQueueFlushed() override { ++flushes; }
    talvex::CManualEvent busy;
    talvex::CManualEvent gate;
    std::atomic<int> flushes{0};
};

class CGatedWorkerEx final : public talvex::CWorkItemThreadEx {
public:
    ~CGatedWorkerEx() override { Stop(); }
    void ProcessItem(IWorkItem* item) override {
        auto* ours = static_cast<CItemEx*>(item);
        if (ours->value == 0) {
            busy.Set();
            gate.Wait(talvex::platform::kInfinite);
        }
        std::lock_guard<std::mutex> lock(ours->ledger.mutex);
        ours->ledger.processed.push_back(ours->value);
        if (ours->value == last) done.Set();
    }
    talvex::CManualEvent busy;
    talvex::CManualEvent gate;
    talvex::CManualEvent done;
    int last = -1;
};

TEST(CWorkItemThreadTest, RefusedItemsStayWithTheCallerWhileStopped) {
    SLedger ledger;
    CGatedWorker worker;
    CItem item(ledger, 1);
    EXPECT_FALSE(worker.AddItem(&item));
    EXPECT_FALSE(worker.AddItem(nullptr));
}

TEST(CWorkItemThreadTest, StoppingDestroysQueuedItemsUnprocessedAndFlushesOnce) {
    SLedger ledger;
    CGatedWorker worker;
    ASSERT_TRUE(worker.StartWorker("worker"));
    ASSERT_TRUE(worker.AddItem(new CItem(ledger, 0)));
    ASSERT_TRUE(worker.busy.Wait(5000));
    for (int i = 1; i <= 5; ++i) ASSERT_TRUE(worker.AddItem(new CItem(ledger, i)));
    const int flushesBefore = worker.flushes.load();

    // Stop empties the queue first; the gate opens only afterwards.
    std::thread opener([&] {
        while (ledger.destroyed.load() < 5) talvex::platform::SleepMs(1);
        worker.gate.Set();
    });
    EXPECT_TRUE(worker.StopWorker());
    opener.join();

    EXPECT_EQ(ledger.destroyed.load(), 6);
    std::lock_guard<std::mutex> lock(ledger.mutex);
    EXPECT_EQ(ledger.processed, std::vector<int>({0}));
    EXPECT_EQ(worker.flushes.load() - flushesBefore, 1);
}

TEST(CWorkItemThreadTest, StoppingAnIdleWorkerFlushesOnce) {
    // Also with nothing queued, every stop reports exactly one flush.
    CGatedWorker worker;
    for (int round = 1; round <= 3; ++round) {
        ASSERT_TRUE(worker.StartWorker("worker"));
        EXPECT_TRUE(worker.StopWorker());
        EXPECT_EQ(worker.flushes.load(), round);
    }
}

TEST(CWorkItemThreadTest, ProcessesItemsInQueueOrder) {
    SLedger ledger;
    CGatedWorker worker;
    worker.gate.Set();
    ASSERT_TRUE(worker.StartWorker("worker"));
    for (int i = 1; i <= 20; ++i) ASSERT_TRUE(worker.AddItem(new CItem(ledger, i)));
    for (int i = 0; i < 1000 && ledger.destroyed.load() < 20; ++i) talvex::platform::SleepMs(5);
    worker.StopWorker();
    std::vector<int> expected;
    for (int i = 1; i <= 20; ++i) expected.push_back(i);
    std::lock_guard<std::mutex> lock(ledger.mutex);
    EXPECT_EQ(ledger.processed, expected);
}

TEST(CWorkItemThreadExTest, BoundOfOneKeepsOnlyTheNewestItem) {
    SLedger ledger;
    CGatedWorkerEx worker;
    ASSERT_TRUE(worker.Start("worker"));
    ASSERT_TRUE(worker.AddItem(new CItemEx(ledger, 0), 1));
    ASSERT_TRUE(worker.busy.Wait(5000));
    worker.last = 4;
    for (int i = 1; i <= 4; ++i) ASSERT_TRUE(worker.AddItem(new CItemEx(ledger, i), 1));
    EXPECT_EQ(ledger.destroyed.load(), 3);  // 1, 2 and 3 were dropped for newer ones
    worker.gate.Set();
    ASSERT_TRUE(worker.done.Wait(5000));
    worker.Stop();
    std::lock_guard<std::mutex> lock(ledger.mutex);
    EXPECT_EQ(ledger.processed, std::vector<int>({0, 4}));
}

TEST(CWorkItemThreadExTest, BoundOfZeroQueuesWithoutLimit) {
    SLedger ledger;
    CGatedWorkerEx worker;
    ASSERT_TRUE(worker.Start("worker"));
    ASSERT_TRUE(worker.AddItem(new CItemEx(ledger, 0), 0));
    ASSERT_TRUE(worker.busy.Wait(5000));
    worker.last = 50;
    for (int i = 1; i <= 50; ++i) ASSERT_TRUE(worker.AddItem(new CItemEx(ledger, i), 0));
    EXPECT_EQ(ledger.destroyed.load(), 0);
    worker.gate.Set();
    ASSERT_TRUE(worker.done.Wait(5000));
    worker.Stop();
    std::lock_guard<std::mutex> lock(ledger.mutex);
    EXPECT_EQ(ledger.processed.size(), 51u);
}

TEST(CWorkItemThreadExTest, ItemsAddedWhileStoppedAreDestroyed) {
    SLedger ledger;
    CGatedWorkerEx worker;
    EXPECT_FALSE(worker.AddItem(new CItemEx(ledger, 1), 0));
    EXPECT_EQ(ledger.destroyed.load(), 1);
    EXPECT_FALSE(worker.Stop());  // no thread
    ASSERT_TRUE(worker.Start("worker"));
    EXPECT_FALSE(worker.Start("again"));
    EXPECT_EQ(worker.ThreadName(), "worker");
    EXPECT_TRUE(worker.Stop());
    EXPECT_FALSE(worker.AddItem(new CItemEx(ledger, 2), 0));
    EXPECT_EQ(ledger.destroyed.load(), 2);
}

}  // namespace
