#include "channels/CBaseCameraChannel.h"

#include <gtest/gtest.h>

#include <atomic>

#include "CFakeDriver.h"
#include "CHostFrameSink.h"
#include "CHostSampleAllocator.h"

namespace {

using talvex::CaptureSettings;

// A channel whose capture thread either waits for its stop event or ignores it.
class CTestChannel final : public talvex::CBaseCameraChannel {
public:
    CTestChannel(unsigned int index, talvex::IDriver* driver, talvex::ipcapture::IHostFrameSink* sink,
                 bool ignoreStop = false)
        : CBaseCameraChannel(index, driver, sink), m_ignoreStop(ignoreStop) {}
    ~CTestChannel() override { Stop(); }

    using CBaseCameraChannel::StopEvent;
    std::atomic<int> runs{0};
    std::atomic<int> stoppingCalls{0};
    talvex::CManualEvent running;
    talvex::CManualEvent never;

protected:
    uint32_t CaptureThread() override {
        ++runs;
        running.Set();
        if (m_ignoreStop) never.Wait(talvex::platform::kInfinite);
        else StopEvent().Wait(talvex::platform::kInfinite);
        return 0;
    }
    void OnStopping() override { ++stoppingCalls; }

private:
    bool m_ignoreStop;
};

TEST(CBaseCameraChannelTest, NamesFollowTheDeviceKind) {
    wftest::CFakeDriver driver;
    driver.device.Address = "10.0.0.9";
    CTestChannel camera(0, &driver, nullptr);
    EXPECT_EQ(camera.ChannelName(), "Camera 10.0.0.9");
    driver.channelCount = 4;
    CTestChannel server(2, &driver, nullptr);
    EXPECT_EQ(server.ChannelName(), "Video-server 10.0.0.9 (channel 2)");
}

TEST(CBaseCameraChannelTest, OnlineAndOfflineLinesAreLoggedOncePerChange) {
    wftest::CFakeDriver driver;
    driver.device.Address = "10.0.0.9";
    driver.channelCount = 4;
    CTestChannel channel(2, &driver, nullptr);
    channel.SetOnline(true);
    channel.SetOnline(true);
    channel.SetState(talvex::kChannelSignalLost);
    channel.SetOnline(false);
    channel.SetOnline(true);
    channel.SetState(talvex::kChannelReceiving);
    channel.SetOnline(false);
    channel.SetOnline(true);
    channel.Stop();
    const auto lines = driver.Lines();
    const std::string source = "talvex::CBaseCameraChannel::SetCameraState: ";
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].text, source + "Video-server 10.0.0.9 (channel 2) is online");
    EXPECT_EQ(lines[0].level, 3);
    EXPECT_EQ(lines[1].text, source + "Signal was lost for video-server 10.0.0.9 (channel 2)");
    EXPECT_EQ(lines[1].level, 1);
    EXPECT_EQ(lines[3].text, source + "Video-server 10.0.0.9 (channel 2) is offline or failed");
    EXPECT_EQ(lines[3].level, 1);
    EXPECT_EQ(lines[5].text, source + "Video-server 10.0.0.9 (channel 2) is offline. Channel was stopped");
    EXPECT_EQ(lines[5].level, 3);
}

TEST(CBaseCameraChannelTest, StopOfAChannelThatNeverWentOnlineLogsNothing) {
    wftest::CFakeDriver driver;
    CTestChannel channel(0, &driver, nullptr);
    ASSERT_TRUE(channel.Start(CaptureSettings{40, 50, 640, 480}));
    ASSERT_TRUE(channel.running.Wait(5000));
    channel.Stop();
    EXPECT_TRUE(driver.Lines().empty());
    EXPECT_EQ(channel.GetState(), talvex::kChannelStopped);
    EXPECT_EQ(channel.stoppingCalls.load(), 1);
}

TEST(CBaseCameraChannelTest, ReconfigureRestartsTheThreadAndKeepsTheQuality) {
    wftest::CFakeDriver driver;
    CTestChannel channel(0, &driver, nullptr);
    ASSERT_TRUE(channel.Start(CaptureSettings{40, 75, 640, 480}));
    ASSERT_TRUE(channel.running.Wait(5000));
    channel.running.Reset();
    ASSERT_TRUE(channel.Reconfigure(CaptureSettings{100, 0, 1280, 720}));
    ASSERT_TRUE(channel.running.Wait(5000));
    EXPECT_EQ(channel.runs.load(), 2);
    EXPECT_EQ(channel.Settings().FrameIntervalMs, 100u);
    EXPECT_EQ(channel.Settings().Quality, 75u);
    EXPECT_EQ(channel.Settings().Width, 1280u);
    EXPECT_EQ(channel.Settings().Height, 720u);
}

TEST(CBaseCameraChannelTest, AThreadThatIgnoresStopIsEndedAfterTwiceTheConnectTimeout) {
    wftest::CFakeDriver driver;
    driver.device.ConnectTimeout = 100;
    CTestChannel channel(0, &driver, nullptr, /*ignoreStop=*/true);
    ASSERT_TRUE(channel.Start(CaptureSettings{40, 50, 640, 480}));
    ASSERT_TRUE(channel.running.Wait(5000));
    channel.Stop();
    const auto lines = driver.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_EQ(lines[0].text, "talvex::CBaseCameraChannel::StopThread: Video capture thread for camera 127.0.0.1 "
                             "cannot be stopped and will be terminated now");
}

TEST(CBaseCameraChannelTest, RefusingOrThrowingSinksCountAsNotDelivered) {
    wftest::CFakeDriver driver;
    wftest::CHostFrameSink sink;
    wftest::CHostMediaSample sample(0, 16);
    CTestChannel channel(0, &driver, &sink);
    EXPECT_TRUE(channel.DeliverFrame(&sample));
    sink.mode = wftest::CHostFrameSink::EMode::Refuse;
    EXPECT_FALSE(channel.DeliverFrame(&sample));
    sink.mode = wftest::CHostFrameSink::EMode::Throw;
    EXPECT_FALSE(channel.DeliverFrame(&sample));
    CTestChannel withoutSink(0, &driver, nullptr);
    EXPECT_FALSE(withoutSink.DeliverFrame(&sample));
}

}  // namespace
