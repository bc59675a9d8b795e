#include "thread/CBaseThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "CRecordingLog.h"
#include "platform/PlatformThread.h"
#include "thread/CEvent.h"

namespace {

using namespace std::chrono_literals;

// Runs until stopped, or for a fixed time ignoring the stop event, or blocks
// on an event nobody sets.
class CTestThread final : public talvex::CBaseThread {
public:
    enum class EBody { UntilStopped, IgnoreStopFor, BlockForever, EndAtOnce };

    CTestThread(IDebugMessage* log, EBody body, uint32_t ignoreMs = 0)
        : CBaseThread(log), m_body(body), m_ignoreMs(ignoreMs) {}
    ~CTestThread() override { StopThread(5000); }

    std::atomic<int> runs{0};

protected:
    void Run() override {
        ++runs;
        switch (m_body) {
            case EBody::UntilStopped: WaitForStop(talvex::platform::kInfinite); break;
            case EBody::IgnoreStopFor: talvex::platform::SleepMs(m_ignoreMs); break;
            case EBody::BlockForever: m_never.Wait(talvex::platform::kInfinite); break;
            case EBody::EndAtOnce: break;
        }
    }

private:
    EBody m_body;
    uint32_t m_ignoreMs;
    talvex::CManualEvent m_never;
};

TEST(CBaseThreadTest, SecondStartWhileRunningFailsAndKeepsTheName) {
    wftest::CRecordingLog log;
    CTestThread thread(&log, CTestThread::EBody::UntilStopped);
    ASSERT_TRUE(thread.StartThread("first"));
    EXPECT_FALSE(thread.StartThread("second"));
    EXPECT_EQ(thread.ThreadName(), "first");
    EXPECT_TRUE(thread.StopThread(2000));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(CBaseThreadTest, StartsAgainAfterTheThreadEndedByItself) {
    wftest::CRecordingLog log;
    CTestThread thread(&log, CTestThread::EBody::EndAtOnce);
    ASSERT_TRUE(thread.StartThread("once"));
    for (int i = 0; i < 200 && thread.IsRunning(); ++i) talvex::platform::SleepMs(5);
    ASSERT_TRUE(thread.StartThread("twice"));
    EXPECT_TRUE(thread.JoinThread(2000));
    EXPECT_EQ(thread.runs.load(), 2);
    EXPECT_EQ(thread.ThreadName(), "twice");
}

TEST(CBaseThreadTest, StopWithoutThreadSucceedsAndLogsNothing) {
    wftest::CRecordingLog log;
    CTestThread thread(&log, CTestThread::EBody::UntilStopped);
    EXPECT_TRUE(thread.StopThread(100));
    EXPECT_TRUE(thread.JoinThread(100));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(CBaseThreadTest, JoinWaitsPastItsTimeOutWithTwoLogLines) {
    wftest::CRecordingLog log;
    CTestThread thread(&log, CTestThread::EBody::IgnoreStopFor, 1500);
    ASSERT_TRUE(thread.StartThread("slow"));
    EXPECT_TRUE(thread.JoinThread(200));
    EXPECT_FALSE(thread.IsRunning());
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_EQ(lines[0].text, "talvex::CBaseThread::JoinThread: Thread (id=" + std::to_string(thread.ThreadId()) +
                                 ", name=\"slow\") was not stopped during 200 milliseconds");
    EXPECT_EQ(lines[1].level, 3);
    EXPECT_EQ(lines[1].text, "talvex::CBaseThread::JoinThread: Thread (id=" + std::to_string(thread.ThreadId()) +
                                 ", name=\"slow\") was stopped correctly");
}

TEST(CBaseThreadTest, StopEndsABlockedThreadByForceAfterItsTimeOut) {
    wftest::CRecordingLog log;
    CTestThread thread(&log, CTestThread::EBody::BlockForever);
    ASSERT_TRUE(thread.StartThread("stuck"));
    const uint32_t id = thread.ThreadId();
    EXPECT_TRUE(thread.StopThread(0));
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_EQ(lines[0].text, "talvex::CBaseThread::StopThread: Thread (id=" + std::to_string(id) +
                                 ", name=\"stuck\") was not stopped during 0 milliseconds and will be terminated!");
    EXPECT_FALSE(thread.IsRunning());
}

// A thread that stops itself cannot wait for itself.
class CSelfStoppingThread final : public talvex::CBaseThread {
public:
    using CBaseThread::CBaseThread;
    ~CSelfStoppingThread() override { StopThread(2000); }
    std::atomic<int> selfStop{-1};

protected:
    void Run() override { selfStop = StopThread(1000) ? 1 : 0; }
};

TEST(CBaseThreadTest, StopCalledOnTheThreadItselfReturnsFalseWithoutWaiting) {
    wftest::CRecordingLog log;
    CSelfStoppingThread thread(&log);
    ASSERT_TRUE(thread.StartThread("self"));
    EXPECT_TRUE(thread.JoinThread(2000));
    EXPECT_EQ(thread.selfStop.load(), 0);
}

}  // namespace
