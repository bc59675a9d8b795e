#include "platform/PlatformEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace talvex::platform;

TEST(PlatformEventTest, ManualEventStaysSignalledUntilReset) {
    EventHandle event = CreateEvent(true, false);
    EXPECT_EQ(WaitEvent(event, 0), EWaitResult::TimedOut);
    SetEvent(event);
    EXPECT_EQ(WaitEvent(event, 0), EWaitResult::Signalled);
    EXPECT_EQ(WaitEvent(event, 0), EWaitResult::Signalled);
    ResetEvent(event);
    EXPECT_EQ(WaitEvent(event, 10), EWaitResult::TimedOut);
    CloseEvent(event);
}

TEST(PlatformEventTest, AutoEventReleasesOneWaitAndResets) {
    EventHandle event = CreateEvent(false, true);
    EXPECT_EQ(WaitEvent(event, 0), EWaitResult::Signalled);
    EXPECT_EQ(WaitEvent(event, 0), EWaitResult::TimedOut);
    CloseEvent(event);
}

TEST(PlatformEventTest, WaitOnSeveralReportsTheSignalledOne) {
    EventHandle events[3] = {CreateEvent(false, false), CreateEvent(true, false), CreateEvent(false, false)};
    std::size_t index = 99;
    EXPECT_EQ(WaitAnyEvent(events, 3, 0, index), EWaitResult::TimedOut);
    std::thread setter([&] { SetEvent(events[2]); });
    EXPECT_EQ(WaitAnyEvent(events, 3, 5000, index), EWaitResult::Signalled);
    EXPECT_EQ(index, 2u);
    setter.join();
    EXPECT_EQ(WaitAnyEvent(events, 3, 0, index), EWaitResult::TimedOut);  // consumed
    for (EventHandle event : events) CloseEvent(event);
}

TEST(PlatformEventTest, EverySetOfAnAutoEventWakesOneOfManyWaiters) {
    EventHandle event = CreateEvent(false, false);
    std::atomic<int> woken{0};
    std::thread waiters[4];
    for (auto& waiter : waiters)
        waiter = std::thread([&] {
            if (WaitEvent(event, 10000) == EWaitResult::Signalled) ++woken;
        });
    for (int i = 0; i < 4; ++i) {
        const int before = woken.load();
        SetEvent(event);
        while (woken.load() == before) std::this_thread::yield();
    }
    for (auto& waiter : waiters) waiter.join();
    EXPECT_EQ(woken.load(), 4);
    CloseEvent(event);
}

TEST(PlatformEventTest, MissingEventsFailTheWait) {
    EXPECT_EQ(WaitEvent(nullptr, 0), EWaitResult::Failed);
    EXPECT_FALSE(talvex::platform::SetEvent(nullptr));  // ::SetEvent(HANDLE) also takes nullptr
}

}  // namespace
