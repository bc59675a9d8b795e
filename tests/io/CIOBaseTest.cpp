#include "io/CIOBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "CFakeDriver.h"
#include "CHostIOSink.h"

namespace {

using namespace std::chrono_literals;
using Change = std::pair<unsigned int, int32_t>;

// A camera that answers from a script: the input states of the next polls
// (the last one repeats), and whether polls and writes succeed.
class CScriptedIO final : public talvex::CIOBase {
public:
    CScriptedIO(talvex::IDriver* driver, uint32_t periodMs) : CIOBase(driver, periodMs) {}
    ~CScriptedIO() override { Stop(); }

    bool WriteOutput(unsigned int index, int32_t state) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        writes.emplace_back(index, state);
        if (failWrites) ++failedRequests;
        return !failWrites;
    }
    bool PollInputs(unsigned int inputCount) override {
        ++polls;
        if (failPolls) {
            ++failedRequests;
            return false;
        }
        std::vector<int32_t> states;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            states = inputs;
        }
        states.resize(inputCount, talvex::ipcapture::kIoStateInactive);
        UpdateInputs(states);
        return true;
    }

    std::vector<Change> Writes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return writes;
    }
    void SetInputs(std::vector<int32_t> states) {
        std::lock_guard<std::mutex> lock(m_mutex);
        inputs = std::move(states);
    }
    bool WaitForWrites(std::size_t count) {
        for (int i = 0; i < 400 && Writes().size() < count; ++i) std::this_thread::sleep_for(5ms);
        return Writes().size() >= count;
    }

    std::atomic<bool> failPolls{false};
    std::atomic<bool> failWrites{false};
    std::atomic<int> polls{0};
    std::atomic<int> failedRequests{0};

private:
    std::mutex m_mutex;  // guards writes and inputs
    std::vector<Change> writes;
    std::vector<int32_t> inputs;
};

class CIOBaseTest : public ::testing::Test {
protected:
    void Make(uint32_t inputs, uint32_t outputs, uint32_t periodMs = 40) {
        driver.inputs = inputs;
        driver.outputs = outputs;
        io = std::make_unique<CScriptedIO>(&driver, periodMs);
    }

    wftest::CFakeDriver driver;
    wftest::CHostIOSink sink;
    std::unique_ptr<CScriptedIO> io;
};

TEST_F(CIOBaseTest, ASecondStartWhileRunningTouchesNothing) {
    Make(2, 2, 10000);
    ASSERT_TRUE(io->Start());
    EXPECT_EQ(io->Writes(), (std::vector<Change>{{0, 1}, {1, 1}}));
    // It would send through the senders the running workers own.
    EXPECT_FALSE(io->Start());
    EXPECT_EQ(io->polls.load(), 1);
    EXPECT_EQ(io->Writes().size(), 2u);
}

TEST_F(CIOBaseTest, RunsAThreadOnlyForTheLinesTheDeviceHas) {
    const struct {
        uint32_t inputs, outputs;
    } kCases[] = {{0, 0}, {2, 0}, {0, 2}, {3, 1}};
    for (const auto& c : kCases) {
        Make(c.inputs, c.outputs);
        ASSERT_TRUE(io->Start()) << c.inputs << "/" << c.outputs;
        EXPECT_EQ(io->InputThreadRunning(), c.inputs > 0) << c.inputs << "/" << c.outputs;
        EXPECT_EQ(io->OutputThreadRunning(), c.outputs > 0) << c.inputs << "/" << c.outputs;
        EXPECT_EQ(io->SetOutput(0, 2), c.outputs > 0) << c.inputs << "/" << c.outputs;
        io->Stop();
        EXPECT_FALSE(io->InputThreadRunning());
        EXPECT_FALSE(io->OutputThreadRunning());
    }
}

TEST_F(CIOBaseTest, SendsAnOutputOnlyWhenItsStateChanges) {
    Make(0, 2);
    EXPECT_FALSE(io->SetOutput(0, 2)) << "accepted while stopped";
    ASSERT_TRUE(io->Start());
    ASSERT_TRUE(io->SetOutput(0, 2));
    ASSERT_TRUE(io->SetOutput(0, 2));
    ASSERT_TRUE(io->SetOutput(0, 1));
    ASSERT_TRUE(io->SetOutput(1, 1));  // already off since Start
    ASSERT_TRUE(io->SetOutput(1, 2));
    ASSERT_TRUE(io->WaitForWrites(5));
    // Unknown states and missing outputs are refused rather than sent as "on".
    for (const auto& [index, state] : std::vector<Change>{{0, 0}, {0, 3}, {0, -1}, {2, 2}})
        EXPECT_FALSE(io->SetOutput(index, state)) << index << "/" << state;
    io->Stop();
    EXPECT_EQ(io->Writes(), (std::vector<Change>{{0, 1}, {1, 1}, {0, 2}, {0, 1}, {1, 2}}));
}

TEST_F(CIOBaseTest, AFailedRequestResetsEveryStateAndIsReportedOnce) {
    Make(2, 1);
    io->SetInputs({2, 1});
    ASSERT_TRUE(io->SetSink(&sink));
    ASSERT_TRUE(io->Start());
    ASSERT_TRUE(io->SetOutput(0, 2));
    ASSERT_TRUE(io->WaitForWrites(2));

    // A failed write forgets the inputs too: the next poll reports them again.
    io->failWrites = true;
    ASSERT_TRUE(io->SetOutput(0, 1));
    ASSERT_TRUE(sink.WaitForFailures(1, 5s));
    ASSERT_TRUE(sink.WaitForChanges(4, 5s));
    io->failWrites = false;
    // The failure forgot the output, so a repeat of the failed state is sent.
    ASSERT_TRUE(io->SetOutput(0, 1));
    ASSERT_TRUE(io->WaitForWrites(4));

    // Each failed poll is one failure; a good poll afterwards reports every input.
    io->failPolls = true;
    ASSERT_TRUE(sink.WaitForFailures(4, 5s));
    io->failPolls = false;
    ASSERT_TRUE(sink.WaitForChanges(6, 5s));
    io->Stop();
    EXPECT_EQ(sink.failures.load(), io->failedRequests.load());
    const auto changes = sink.Changes();
    EXPECT_EQ(std::vector<Change>(changes.begin() + 4, changes.end()), (std::vector<Change>{{0, 2}, {1, 1}}));
}

TEST_F(CIOBaseTest, NothingIsReportedOrForgottenWhileNoSinkIsSet) {
    Make(2, 0);
    io->SetInputs({2, 2});
    ASSERT_TRUE(io->Start());
    for (int i = 0; i < 1000 && io->polls.load() < 3; ++i) std::this_thread::sleep_for(5ms);
    ASSERT_GE(io->polls.load(), 3);
    EXPECT_FALSE(io->SetSink(nullptr));
    ASSERT_TRUE(io->SetSink(&sink));
    // The host hears the inputs as soon as it listens, not at their next change.
    ASSERT_TRUE(sink.WaitForChanges(2, 5s));
    EXPECT_EQ(sink.Changes(), (std::vector<Change>{{0, 2}, {1, 2}}));
}

TEST_F(CIOBaseTest, AThrowingHostEndsNeitherWorker) {
    Make(1, 1);
    sink.throwFromCalls = true;
    ASSERT_TRUE(io->SetSink(&sink));
    io->SetInputs({2});
    ASSERT_TRUE(io->Start());
    io->failWrites = true;
    ASSERT_TRUE(io->SetOutput(0, 2));
    ASSERT_TRUE(sink.WaitForFailures(1, 5s));
    io->failWrites = false;
    ASSERT_TRUE(sink.WaitForChanges(2, 5s));  // reported again after the failure
    io->SetInputs({1});
    ASSERT_TRUE(sink.WaitForChanges(3, 5s));
    ASSERT_TRUE(io->SetOutput(0, 2));
    EXPECT_TRUE(io->WaitForWrites(3));
    EXPECT_TRUE(io->InputThreadRunning());
    EXPECT_TRUE(io->OutputThreadRunning());
}

// Failures on both workers rebuild the state maps while the other worker
// and the host use them; run under ThreadSanitizer this shows any unguarded
// access.
TEST_F(CIOBaseTest, FailuresOnBothWorkersWhileTheHostSetsOutputsAreSafe) {
    Make(4, 4, 1);
    io->SetInputs({2, 1, 2, 1});
    ASSERT_TRUE(io->SetSink(&sink));
    ASSERT_TRUE(io->Start());
    std::atomic<bool> done{false};
    std::thread flipper([&] {
        for (int i = 0; !done; ++i) {
            io->failPolls = i % 3 == 0;
            io->failWrites = i % 2 == 0;
            io->SetInputs({i % 2 + 1, 2, 1, (i / 2) % 2 + 1});
            std::this_thread::sleep_for(1ms);
        }
    });
    const auto end = std::chrono::steady_clock::now() + 400ms;
    for (int i = 0; std::chrono::steady_clock::now() < end; ++i) {
        io->SetOutput(static_cast<unsigned>(i % 4), i % 2 + 1);
        if (i % 50 == 0) io->SetSink(&sink);
        std::this_thread::sleep_for(100us);
    }
    done = true;
    flipper.join();
    io->Stop();
    EXPECT_GT(sink.failures.load(), 0);
    EXPECT_GT(io->Writes().size(), 4u);
}

}  // namespace
