#include "thread/CRecursiveLock.h"

#include "platform/PlatformThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(CRecursiveLockTest, OwnerReentersAndOthersWaitUntilEveryLevelIsReleased) {
    CRecursiveLock lock;
    lock.Lock();
    lock.Lock();
    ASSERT_TRUE(lock.TryLock());  // three levels

    std::atomic<bool> acquired{false};
    std::thread other([&] {
        lock.Lock();
        acquired = true;
        lock.Unlock();
    });
    lock.Unlock();
    lock.Unlock();
    // Two of three levels released: the other thread must still be out.
    EXPECT_FALSE(acquired.load());
    bool takenByOther = true;
    std::thread([&] { takenByOther = lock.TryLock(); }).join();
    EXPECT_FALSE(takenByOther);
    lock.Unlock();
    other.join();
    EXPECT_TRUE(acquired.load());
}

TEST(CRecursiveLockTest, TryLockFromAnotherThreadFailsWhileHeld) {
    CRecursiveLock lock(0);  // as on a single processor: one attempt only
    lock.Lock();
    bool taken = true;
    std::thread([&] { taken = lock.TryLock(); }).join();
    EXPECT_FALSE(taken);
    lock.Unlock();
    std::thread([&] {
        taken = lock.TryLock();
        if (taken) lock.Unlock();
    }).join();
    EXPECT_TRUE(taken);
}

TEST(CRecursiveLockTest, SpinsOnlyOnMachinesWithSeveralProcessors) {
    EXPECT_EQ(CRecursiveLock(0).SpinCount(), 0u);
    const struct {
        uint32_t processors;
        uint32_t spins;
    } cases[] = {{0, 0}, {1, 0}, {2, CRecursiveLock::kMultiProcessorSpinCount}, {64, 4000}};
    for (const auto& c : cases) EXPECT_EQ(CRecursiveLock::SpinCountFor(c.processors), c.spins) << c.processors;
    EXPECT_EQ(CRecursiveLock().SpinCount(), CRecursiveLock::SpinCountFor(talvex::platform::ProcessorCount()));
}

TEST(CRecursiveLockTest, ContendedIncrementsAreNeitherLostNorDoubled) {
    CRecursiveLock lock;
    long counter = 0;  // guarded by lock
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                CLockHolder outer(lock);
                CLockHolder inner(lock);  // recursion under contention
                ++counter;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, long{kThreads} * kRounds);
}

}  // namespace
