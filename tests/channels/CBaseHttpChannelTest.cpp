// The HTTP channel's capture loop driven by a scripted stream instead of the
// network: states, host calls and log lines through connect, stream,
// time-out, reconnect, stop and reconfigure, each repeated many times.
#include "channels/CBaseHttpChannel.h"

#include <gtest/gtest.h>

#include <new>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CFakeDriver.h"
#include "CHostSampleAllocator.h"

namespace {

using namespace std::chrono_literals;

// Takes every picture and keeps only counts: a flowing stream hands over
// pictures as fast as the loop runs.
class CCountingSink final : public talvex::ipcapture::IHostFrameSink {
public:
    bool OnFrame(talvex::ipcapture::IHostMediaSample*) override {
        ++frames;
        return true;
    }
    void OnSignalLost() override { ++signalLost; }
    std::atomic<long> frames{0};
    std::atomic<int> signalLost{0};
};

// A parser that runs out of memory on every third chunk.
class CStarvedParser final : public talvex::CHttpMediaParser {
public:
    CStarvedParser(talvex::IMediaReceiver* receiver, talvex::IDriver* driver) : CHttpMediaParser(receiver, driver, "test") {}
    void Parse(const std::vector<uint8_t>&) override {
        if (++chunks % 3 == 0) throw std::bad_alloc();
    }
    void Resync() override { ++resyncs; }
    std::atomic<int> chunks{0};
    std::atomic<int> resyncs{0};
};

// What the scripted camera does once the stream is open.
enum class EStream {
    Flowing,  // a picture with every read, without pause
    Silent,   // the read blocks until it is aborted
    Stalls,   // three pictures, then reads that time out without data
};

class CScriptedChannel final : public talvex::CBaseHttpChannel {
public:
    CScriptedChannel(talvex::IDriver* driver, talvex::ipcapture::IHostFrameSink* sink,
                     talvex::ipcapture::IHostSampleAllocator* allocator)
        : CBaseHttpChannel(0, driver, sink), m_allocator(allocator) {}
    ~CScriptedChannel() override { Stop(); }

    using CBaseHttpChannel::SetParser;
    std::atomic<EStream> stream{EStream::Flowing};
    std::atomic<bool> openFails{false};
    std::atomic<int> opens{0};

protected:
    bool ConfigureStream() override { return true; }
    bool OpenStream() override {
        ++opens;
        m_aborted = false;
        m_sent = 0;
        return !openFails.load();
    }
    std::size_t ReadStreamChunk(std::vector<uint8_t>& chunk) override {
        const EStream mode = stream.load();
        if (mode == EStream::Flowing || (mode == EStream::Stalls && m_sent < 3)) {
            if (m_aborted.load()) return 0;
            ++m_sent;
            auto* sample = m_allocator->CreateSample(0x4745504A, 16, "test");
            OnMediaSample(sample);
            m_allocator->ReleaseSample(sample);
            chunk.assign(1, 0);
            return 1;
        }
        // A stalled camera ends each read with the receive time-out.
        m_wake.Wait(mode == EStream::Stalls ? 50 : talvex::platform::kInfinite);
        return 0;
    }
    void CloseStream() override {}
    void OnStopping() override {
        CBaseHttpChannel::OnStopping();
        m_aborted = true;
        m_wake.Set();
    }
    void OnStarting() override {
        CBaseHttpChannel::OnStarting();
        m_wake.Reset();
    }

private:
    talvex::ipcapture::IHostSampleAllocator* m_allocator;
    talvex::CManualEvent m_wake;
    std::atomic<bool> m_aborted{false};
    int m_sent = 0;  // capture thread only
};

class CBaseHttpChannelTest : public ::testing::Test {
protected:
    CBaseHttpChannelTest() {
        driver.device.Address = "10.0.0.7";
        driver.allocator = &allocator;
    }

    static constexpr const char* kOnline = "talvex::CBaseCameraChannel::SetCameraState: Camera 10.0.0.7 is online";
    static constexpr const char* kStopped =
        "talvex::CBaseCameraChannel::SetCameraState: Camera 10.0.0.7 is offline. Channel was stopped";
    static constexpr const char* kLost = "talvex::CBaseCameraChannel::SetCameraState: Signal was lost for camera 10.0.0.7";

    std::vector<std::string> Texts(std::size_t from = 0) const {
        std::vector<std::string> texts;
        const auto lines = driver.Lines();
        for (std::size_t i = from; i < lines.size(); ++i) texts.push_back(lines[i].text);
        return texts;
    }

    bool WaitForLines(std::size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (driver.Lines().size() < count)
            if (std::chrono::steady_clock::now() > deadline) return false;
            else std::this_thread::sleep_for(1ms);
        return true;
    }

    wftest::CFakeDriver driver;
    wftest::CHostSampleAllocator allocator;
    CCountingSink sink;
    talvex::CaptureSettings settings{40, 50, 640, 480};
};

TEST_F(CBaseHttpChannelTest, StopOfAFlowingStreamLogsOnlineThenStoppedEveryTime) {
    // Pictures keep coming while the stop happens; a late one must never
    // report the channel online behind its "stopped" line.
    CScriptedChannel channel(&driver, &sink, &allocator);
    constexpr int kRuns = 2000;
    for (int run = 0; run < kRuns; ++run) {
        const std::size_t before = driver.Lines().size();
        const int lostBefore = sink.signalLost.load();
        ASSERT_TRUE(channel.Start(settings));
        ASSERT_TRUE(WaitForLines(before + 1)) << run;
        EXPECT_EQ(channel.GetState(), talvex::kChannelReceiving);
        channel.Stop();
        ASSERT_EQ(Texts(before), (std::vector<std::string>{kOnline, kStopped})) << "run " << run;
        ASSERT_EQ(sink.signalLost.load() - lostBefore, 1) << "run " << run;
        ASSERT_EQ(channel.GetState(), talvex::kChannelStopped);
    }
    EXPECT_EQ(allocator.created.load(), allocator.released.load());
}

TEST_F(CBaseHttpChannelTest, StopDuringABlockedReadIsAStopEveryTime) {
    // No picture ever came: nothing to report offline, but the host still
    // learns that the signal is gone, once.
    CScriptedChannel channel(&driver, &sink, &allocator);
    channel.stream = EStream::Silent;
    for (int run = 0; run < 500; ++run) {
        const int opensBefore = channel.opens.load();
        ASSERT_TRUE(channel.Start(settings));
        while (channel.opens.load() == opensBefore) std::this_thread::yield();
        channel.Stop();
        ASSERT_EQ(sink.signalLost.load(), run + 1);
        ASSERT_EQ(channel.GetState(), talvex::kChannelStopped);
    }
    EXPECT_TRUE(driver.Lines().empty());
}

TEST_F(CBaseHttpChannelTest, ReconfigureWhileStreamingLosesTheSignalOnceAndComesBack) {
    CScriptedChannel channel(&driver, &sink, &allocator);
    ASSERT_TRUE(channel.Start(settings));
    ASSERT_TRUE(WaitForLines(1));
    for (int run = 0; run < 500; ++run) {
        const std::size_t before = driver.Lines().size();
        const int lostBefore = sink.signalLost.load();
        settings.Width = run % 2 == 0 ? 320 : 640;
        ASSERT_TRUE(channel.Reconfigure(settings));
        ASSERT_TRUE(WaitForLines(before + 2)) << run;
        ASSERT_EQ(Texts(before), (std::vector<std::string>{kLost, kOnline})) << "run " << run;
        ASSERT_EQ(sink.signalLost.load() - lostBefore, 1) << "run " << run;
        ASSERT_EQ(channel.Settings().Width, settings.Width);
    }
    channel.Stop();
    EXPECT_EQ(Texts().back(), kStopped);
}

TEST_F(CBaseHttpChannelTest, TimeOutReconnectPauseAndStopInThePause) {
    // The pictures stop: after the receive time-out the channel loses the
    // signal once, pauses, and a stop in the pause adds nothing.
    driver.device.ReceiveTimeout = 30;
    CScriptedChannel channel(&driver, &sink, &allocator);
    channel.stream = EStream::Stalls;
    for (int run = 0; run < 50; ++run) {
        const std::size_t before = driver.Lines().size();
        const int lostBefore = sink.signalLost.load();
        ASSERT_TRUE(channel.Start(settings));
        ASSERT_TRUE(WaitForLines(before + 2)) << run;
        ASSERT_EQ(Texts(before), (std::vector<std::string>{kOnline, kLost})) << "run " << run;
        EXPECT_EQ(channel.GetState(), talvex::kChannelSignalLost);
        const int opens = channel.opens.load();
        channel.Stop();
        ASSERT_EQ(Texts(before), (std::vector<std::string>{kOnline, kLost})) << "run " << run;
        ASSERT_EQ(sink.signalLost.load() - lostBefore, 1) << "run " << run;
        ASSERT_EQ(channel.opens.load(), opens) << "no reconnect inside the 5 s pause";
        ASSERT_EQ(channel.GetState(), talvex::kChannelStopped);
    }
}

TEST_F(CBaseHttpChannelTest, FailedOpensArePacedWhileNothingArrives) {
    CScriptedChannel channel(&driver, &sink, &allocator);
    channel.openFails = true;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(channel.Start(settings));
    std::this_thread::sleep_for(2500ms);
    channel.Stop();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const auto allowed =
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() /
            talvex::CBaseHttpChannel::kMinAttemptIntervalMs + 1;
    EXPECT_GE(channel.opens.load(), 2);
    EXPECT_LE(channel.opens.load(), allowed);
    EXPECT_TRUE(driver.Lines().empty());
    EXPECT_EQ(sink.signalLost.load(), 0);
}

TEST_F(CBaseHttpChannelTest, APictureThatCannotBeAssembledIsDroppedAndTheStreamGoesOn) {
    CScriptedChannel channel(&driver, &sink, &allocator);
    auto parser = std::make_unique<CStarvedParser>(&channel, &driver);
    CStarvedParser& starved = *parser;
    channel.SetParser(std::move(parser));
    ASSERT_TRUE(channel.Start(settings));
    while (starved.resyncs.load() < 5) std::this_thread::yield();
    channel.Stop();
    EXPECT_EQ(channel.opens.load(), 1);
    EXPECT_EQ(driver.Count("talvex::CBaseHttpChannel::ReadStream: A picture of Camera 10.0.0.7 could not be "
                           "assembled and was dropped"),
              static_cast<std::size_t>(starved.resyncs.load()));
    EXPECT_EQ(Texts().front(), kOnline);
    EXPECT_EQ(driver.Count("is offline. Channel was stopped"), 1u);
}

}  // namespace
