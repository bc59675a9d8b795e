#include "thread/CTickerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/PlatformThread.h"

namespace {

class CCountingTicker final : public talvex::thread::CTickerThread {
public:
    ~CCountingTicker() override { StopTicker(); }
    void OnTick() override { ++ticks; }
    std::atomic<int> ticks{0};
};

TEST(CTickerThreadTest, TicksOncePerPeriodAndStopsPromptly) {
    CCountingTicker ticker;
    ticker.SetPeriodMs(100);
    ASSERT_TRUE(ticker.Start("ticker"));
    EXPECT_FALSE(ticker.Start("again"));
    EXPECT_EQ(ticker.ThreadName(), "ticker");
    talvex::platform::SleepMs(1050);
    const auto stopStarted = std::chrono::steady_clock::now();
    EXPECT_TRUE(ticker.StopTicker());
    const auto stopTook = std::chrono::steady_clock::now() - stopStarted;
    // Ten periods passed; scheduling may add or lose one or two on a busy machine.
    EXPECT_GE(ticker.ticks.load(), 6);
    EXPECT_LE(ticker.ticks.load(), 11);
    EXPECT_LT(stopTook, std::chrono::milliseconds(1000));
    const int afterStop = ticker.ticks.load();
    talvex::platform::SleepMs(250);
    EXPECT_EQ(ticker.ticks.load(), afterStop);
}

TEST(CTickerThreadTest, RestartsAfterAStop) {
    CCountingTicker ticker;
    ticker.SetPeriodMs(20);
    ASSERT_TRUE(ticker.Start("ticker"));
    ticker.StopTicker();
    ASSERT_TRUE(ticker.Start("ticker"));
    for (int i = 0; i < 500 && ticker.ticks.load() == 0; ++i) talvex::platform::SleepMs(5);
    EXPECT_GT(ticker.ticks.load(), 0);
}

}  // namespace
