// MJPEG over HTTP end to end: the host starts inputs of a simulated camera or
// video server and receives whole JPEG pictures; a silent camera is reported
// lost and comes back.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "CCamSimControl.h"
#include "CHostCaptureParams.h"
#include "IntegrationHelpers.h"
#include "RunningUnderWine.h"

namespace {

using namespace std::chrono_literals;
using wftest::CHostFrameSink;

constexpr std::size_t kPicturesWanted = 50;

// Every message the driver sent, for a failure report.
std::string Transcript(const wftest::CHostDebugSink& sink) {
    std::string text;
    for (const auto& message : sink.Messages()) text += "\n  [" + std::to_string(message.level) + "] " + message.text;
    return text;
}

class MjpegHttpIntegrationTest : public ::testing::Test {
protected:
    void StartCamera(int channels, const std::vector<std::string>& moreOptions = {}) {
        std::vector<std::string> options{"--codec", "mjpeg", "--size", "320x240", "--fps", "25"};
        options.insert(options.end(), moreOptions.begin(), moreOptions.end());
        m_camsim = std::make_unique<wftest::CCameraUnderTest>(options, channels);
        ASSERT_TRUE(m_camsim->Started()) << m_camsim->Error();
        m_control = std::make_unique<CCamSimControl>(m_camsim->ControlPort());
        params.connection.address = "127.0.0.1";
        params.connection.port = static_cast<uint16_t>(m_camsim->HttpPort());
        params.connection.streamType = talvex::ipcapture::kStreamTypeMjpeg;
        params.device.channelCount = static_cast<uint32_t>(channels);
        params.device.modelName = channels > 1 ? "HWS-04HD" : "HLC_15AG";
        ASSERT_TRUE(driver.Open(params));
        capture.input.resolution = wftest::CHostResolution(640, 480);
        capture.stream.frameIntervalMs = 40;
        capture.stream.quality = 50;
    }

    void ExpectWholePictures(CHostFrameSink& sink, unsigned int input) {
        ASSERT_TRUE(sink.WaitForFrames(kPicturesWanted, 60s)) << "input " << input << " got " << sink.FrameCount();
        const auto frames = sink.Frames();
        for (const auto& frame : frames) {
            ASSERT_GE(frame.data.size(), 4u);
            EXPECT_EQ(frame.data[0], 0xFF);
            EXPECT_EQ(frame.data[1], 0xD8);
            EXPECT_EQ(frame.data[frame.data.size() - 2], 0xFF);
            EXPECT_EQ(frame.data[frame.data.size() - 1], 0xD9);
            EXPECT_EQ(frame.width, 640u);
            EXPECT_EQ(frame.height, 480u);
            EXPECT_EQ(frame.sizeClass, 4u);
            EXPECT_EQ(frame.fourcc, 0x4745504Au);
            EXPECT_EQ(frame.timeNowCalls, 1);
        }
        if (wftest::CanProbePictures()) {
            int decoded = 0;
            int width = 0;
            int height = 0;
            const std::string errors = wftest::ProbeJpegPictures(frames, decoded, width, height);
            EXPECT_EQ(errors, "") << "input " << input;
            EXPECT_EQ(decoded, static_cast<int>(frames.size()));
            EXPECT_EQ(width, 640);
            EXPECT_EQ(height, 480);
        }
        const auto config = m_control->WaitForRequest(
            [&](const SCamSimRequest& r) {
                return r.path == "/SetMultimedia.cgi" &&
                       r.query == "CH=" + std::to_string(input) +
                                      "&Compression_Type=1&Jpeg_Quality=3&Video_Size=640x480&Fps=25&Mode=mjpeg";
            },
            5s);
        EXPECT_TRUE(config.has_value()) << "input " << input;
    }

    std::unique_ptr<wftest::CCameraUnderTest> m_camsim;
    std::unique_ptr<CCamSimControl> m_control;
    wftest::CLoadedDriver driver;
    wftest::CHostDriverParams params;
    wftest::CHostCaptureParams capture;
};

TEST_F(MjpegHttpIntegrationTest, CameraDeliversWholeDecodablePictures) {
    StartCamera(1);
    CHostFrameSink sink;
    ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
    ExpectWholePictures(sink, 0);
    const auto stream = m_control->WaitForRequest([](const SCamSimRequest& r) { return r.path == "/GetStream.cgi"; }, 1s);
    ASSERT_TRUE(stream.has_value());
    EXPECT_EQ(stream->query, "Video=0");
    int32_t state = -1;
    int32_t reserved = -1;
    EXPECT_TRUE(driver.Video()->GetChannelStatus(0, &state, &reserved, nullptr, 0));
    EXPECT_EQ(state, 0);
    EXPECT_TRUE(driver.Video()->StopChannel(0));
    EXPECT_EQ(driver.sink.Count("Camera 127.0.0.1 is online"), 1u) << Transcript(driver.sink);
    EXPECT_EQ(driver.sink.Count("Camera 127.0.0.1 is offline. Channel was stopped"), 1u) << Transcript(driver.sink);
    EXPECT_EQ(driver.allocator.created.load(), driver.allocator.released.load());
}

TEST_F(MjpegHttpIntegrationTest, VideoServerStreamsEveryInput) {
    StartCamera(4);
    CHostFrameSink sinks[4];
    for (unsigned int input = 0; input < 4; ++input)
        ASSERT_TRUE(driver.Video()->StartChannel(input, &sinks[input], &capture));
    for (unsigned int input = 0; input < 4; ++input) ExpectWholePictures(sinks[input], input);
    for (unsigned int input = 0; input < 4; ++input) {
        const auto stream = m_control->WaitForRequest(
            [&](const SCamSimRequest& r) {
                return r.path == "/GetStream.cgi" && r.query == "CH=" + std::to_string(input) + "&Video=0";
            },
            1s);
        EXPECT_TRUE(stream.has_value()) << input;
    }
    for (unsigned int input = 0; input < 4; ++input) EXPECT_TRUE(driver.Video()->StopChannel(input));
}

TEST_F(MjpegHttpIntegrationTest, SilentCameraIsReportedLostAndComesBack) {
    StartCamera(1);
    CHostFrameSink sink;
    ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
    ASSERT_TRUE(sink.WaitForFrames(5, 30s));
    ASSERT_TRUE(m_control->Pause());
    ASSERT_TRUE(sink.WaitForSignalLost(1, 20s));
    int32_t state = -1;
    int32_t reserved = 0;
    ASSERT_TRUE(driver.Video()->GetChannelStatus(0, &state, &reserved, nullptr, 0));
    EXPECT_EQ(state, 2);
    ASSERT_TRUE(driver.sink.WaitFor("Signal was lost for camera 127.0.0.1", 5s));

    ASSERT_TRUE(m_control->Resume());
    const std::size_t before = sink.FrameCount();
    // Reconnects come every 5 s once the pictures have stopped.
    ASSERT_TRUE(sink.WaitForFrames(before + 5, 30s));
    EXPECT_EQ(driver.sink.Count("Signal was lost for camera 127.0.0.1"), 1u) << Transcript(driver.sink);
    EXPECT_EQ(driver.sink.Count("Camera 127.0.0.1 is online"), 2u) << Transcript(driver.sink);
    EXPECT_TRUE(driver.Video()->StopChannel(0));
}

TEST_F(MjpegHttpIntegrationTest, StopDuringABlockedReadReturnsPromptly) {
    StartCamera(1);
    CHostFrameSink sink;
    ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
    ASSERT_TRUE(sink.WaitForFrames(3, 30s));
    ASSERT_TRUE(m_control->Pause());
    std::this_thread::sleep_for(500ms);  // let the read block on the silent stream
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(driver.Video()->StopChannel(0));
    // Bounded by twice the connect time-out (10 s); a stop breaks the read at once.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_EQ(driver.sink.Count("cannot be stopped"), 0u);
}

TEST_F(MjpegHttpIntegrationTest, StartStopAndReconfigureCyclesLeaveNothingBehind) {
    StartCamera(1);
    CHostFrameSink sink;
    for (int cycle = 0; cycle < 3; ++cycle) {
        ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
        ASSERT_TRUE(sink.WaitForFrames(sink.FrameCount() + 2, 30s));
        wftest::CHostResolution smaller(320, 240);
        ASSERT_TRUE(driver.Video()->ChangeSettings(0, &smaller, 100));
        ASSERT_TRUE(sink.WaitForFrames(sink.FrameCount() + 2, 30s));
        EXPECT_TRUE(driver.Video()->StopChannel(0));
    }
    const auto frames = sink.Frames();
    EXPECT_EQ(frames.back().width, 320u);
    EXPECT_EQ(driver.allocator.created.load(), driver.allocator.released.load());
}

TEST_F(MjpegHttpIntegrationTest, StopAndReconfigureLookTheSameEveryTime) {
    // Each cycle starts the input, reconfigures it while pictures flow and
    // stops it while they flow; the host must see the same calls and lines
    // in every cycle.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(_WIN32)
    constexpr int kCycles = 20;  // the sanitizer and Wine runs repeat the same cycle fewer times
#else
    constexpr int kCycles = 100;
#endif
    StartCamera(1);
    CHostFrameSink sink;
    std::vector<std::string> first;
    int firstLost = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        driver.sink.Clear();
        const int lostBefore = sink.signalLost.load();
        ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
        ASSERT_TRUE(driver.sink.WaitFor("is online", 30s)) << cycle;
        ASSERT_TRUE(sink.WaitForFrames(sink.FrameCount() + 2, 30s)) << cycle;
        const std::size_t framesBefore = sink.FrameCount();
        wftest::CHostResolution resolution(cycle % 2 == 0 ? 320 : 640, cycle % 2 == 0 ? 240 : 480);
        ASSERT_TRUE(driver.Video()->ChangeSettings(0, &resolution, 40));
        ASSERT_TRUE(sink.WaitForFrames(framesBefore + 3, 30s)) << cycle;
        ASSERT_TRUE(driver.sink.WaitFor("Signal was lost", 30s)) << cycle;
        EXPECT_TRUE(driver.Video()->StopChannel(0));

        std::vector<std::string> lines;
        for (const auto& message : driver.sink.Messages())
            lines.push_back(std::to_string(message.level) + " " + message.text);
        const int lost = sink.signalLost.load() - lostBefore;
        if (cycle == 0) {
            first = lines;
            firstLost = lost;
            EXPECT_EQ(lost, 2);  // one for the reconfiguration, one for the stop
            EXPECT_EQ(lines, (std::vector<std::string>{
                                 "3 talvex::CBaseCameraChannel::SetCameraState: Camera 127.0.0.1 is online",
                                 "1 talvex::CBaseCameraChannel::SetCameraState: Signal was lost for camera 127.0.0.1",
                                 "3 talvex::CBaseCameraChannel::SetCameraState: Camera 127.0.0.1 is online",
                                 "3 talvex::CBaseCameraChannel::SetCameraState: Camera 127.0.0.1 is offline. Channel "
                                 "was stopped"}))
                << Transcript(driver.sink);
        } else {
            ASSERT_EQ(lines, first) << "cycle " << cycle << Transcript(driver.sink);
            ASSERT_EQ(lost, firstLost) << "cycle " << cycle;
        }
    }
    EXPECT_EQ(driver.allocator.created.load(), driver.allocator.released.load());
}

TEST_F(MjpegHttpIntegrationTest, ADigestCameraSeesBasicCredentialsAtMostOnce) {
    // Every reconfiguration sends its request on a fresh sender; none of them
    // may start over with the password in Basic form.
    if (wftest::RunningUnderWine()) GTEST_SKIP() << "the shared simulators of the Wine run ask for no login";
    params.connection.userName = "admin";
    params.connection.password = "secret";
    StartCamera(1, {"--http-auth", "digest", "--user", "admin", "--password", "secret"});
    CHostFrameSink sink;
    ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(sink.WaitForFrames(sink.FrameCount() + 2, 30s)) << round << Transcript(driver.sink);
        wftest::CHostResolution resolution(round % 2 == 0 ? 320 : 640, round % 2 == 0 ? 240 : 480);
        ASSERT_TRUE(driver.Video()->ChangeSettings(0, &resolution, 40));
    }
    ASSERT_TRUE(sink.WaitForFrames(sink.FrameCount() + 2, 30s)) << Transcript(driver.sink);
    EXPECT_TRUE(driver.Video()->StopChannel(0));

    std::vector<std::string> schemes;
    for (const SCamSimRequest& request : m_control->Requests())
        if (request.protocol == "http") schemes.push_back(request.authorization.substr(0, request.authorization.find(' ')));
    ASSERT_GE(schemes.size(), 8u);  // four configurations and four streams at least
    EXPECT_EQ(schemes.front(), "Basic");
    for (std::size_t i = 1; i < schemes.size(); ++i) EXPECT_NE(schemes[i], "Basic") << "request " << i;
}

}  // namespace
