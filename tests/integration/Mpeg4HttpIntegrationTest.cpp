// MPEG-4 over HTTP end to end: the host starts inputs of a simulated camera or
// video server and receives one sample per plane, key planes with the
// configuration header in front, sized by the driver's own header reader.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "CCamSimControl.h"
#include "CHostCaptureParams.h"
#include "IntegrationHelpers.h"

namespace {

using namespace std::chrono_literals;
using wftest::CHostFrameSink;

constexpr std::size_t kSamplesWanted = 100;
constexpr uint32_t kKeyFourCC = 0x58564944;    // "DIVX"
constexpr uint32_t kDeltaFourCC = 0x49564944;  // "DIVI"

class Mpeg4HttpIntegrationTest : public ::testing::Test {
protected:
    void StartCamera(int channels, uint32_t width, uint32_t height) {
        m_camsim = std::make_unique<wftest::CCameraUnderTest>(
            std::vector<std::string>{"--codec", "mpeg4", "--size", "320x240", "--fps", "25"}, channels);
        ASSERT_TRUE(m_camsim->Started()) << m_camsim->Error();
        m_control = std::make_unique<CCamSimControl>(m_camsim->ControlPort());
        params.connection.address = "127.0.0.1";
        params.connection.port = static_cast<uint16_t>(m_camsim->HttpPort());
        params.connection.streamType = talvex::ipcapture::kStreamTypeMpeg4;
        params.device.channelCount = static_cast<uint32_t>(channels);
        params.device.modelName = channels > 1 ? "HWS-04HD" : "HLC_15AG";
        ASSERT_TRUE(driver.Open(params));
        capture.input.resolution = wftest::CHostResolution(width, height);
        capture.stream.frameIntervalMs = 40;
        capture.stream.quality = 50;
    }

    void ExpectDecodablePlanes(CHostFrameSink& sink, unsigned int input, uint32_t width, uint32_t height) {
        ASSERT_TRUE(sink.WaitForFrames(kSamplesWanted, 60s)) << "input " << input << " got " << sink.FrameCount();
        const auto frames = sink.Frames();
        ASSERT_GE(frames[0].data.size(), 4u);
        // The first sample is a key plane led by the configuration header
        // (the simulator's encoder starts it with the sequence header).
        EXPECT_EQ(frames[0].fourcc, kKeyFourCC) << input;
        EXPECT_EQ(frames[0].data[2], 1);
        EXPECT_EQ(frames[0].data[3], 0xB0);
        for (const auto& frame : frames) {
            EXPECT_TRUE(frame.fourcc == kKeyFourCC || frame.fourcc == kDeltaFourCC);
            EXPECT_EQ(frame.width, width);
            EXPECT_EQ(frame.height, height);
            EXPECT_EQ(frame.timeNowCalls, 1);
        }
        if (wftest::CanProbePictures()) {
            int decoded = 0;
            int probedWidth = 0;
            int probedHeight = 0;
            const std::string errors = wftest::ProbePictures(frames, "m4v", decoded, probedWidth, probedHeight);
            EXPECT_EQ(errors, "") << "input " << input;
            EXPECT_EQ(decoded, static_cast<int>(frames.size()));
            EXPECT_EQ(probedWidth, static_cast<int>(width));
            EXPECT_EQ(probedHeight, static_cast<int>(height));
        }
        const std::string expected = "CH=" + std::to_string(input) + "&Compression_Type=1&VBR=17&Video_Size=" +
                                     std::to_string(width) + "x" + std::to_string(height) + "&Fps=25&Mode=mpeg4";
        const auto config = m_control->WaitForRequest(
            [&](const SCamSimRequest& r) { return r.path == "/SetMultimedia.cgi" && r.query == expected; }, 5s);
        EXPECT_TRUE(config.has_value()) << "input " << input;
    }

    std::unique_ptr<wftest::CCameraUnderTest> m_camsim;
    std::unique_ptr<CCamSimControl> m_control;
    wftest::CLoadedDriver driver;
    wftest::CHostDriverParams params;
    wftest::CHostCaptureParams capture;
};

TEST_F(Mpeg4HttpIntegrationTest, CameraDeliversDecodablePlanesWithTheHeaderInFront) {
    StartCamera(1, 640, 480);
    CHostFrameSink sink;
    ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
    ExpectDecodablePlanes(sink, 0, 640, 480);
    EXPECT_TRUE(driver.Video()->StopChannel(0));
    EXPECT_EQ(driver.sink.Count("Camera 127.0.0.1 is online"), 1u);
    EXPECT_EQ(driver.allocator.created.load(), driver.allocator.released.load());
}

TEST_F(Mpeg4HttpIntegrationTest, VideoServerStreamsEveryInput) {
    StartCamera(4, 320, 240);
    CHostFrameSink sinks[4];
    for (unsigned int input = 0; input < 4; ++input)
        ASSERT_TRUE(driver.Video()->StartChannel(input, &sinks[input], &capture));
    for (unsigned int input = 0; input < 4; ++input) ExpectDecodablePlanes(sinks[input], input, 320, 240);
    for (unsigned int input = 0; input < 4; ++input) EXPECT_TRUE(driver.Video()->StopChannel(input));
    EXPECT_EQ(driver.allocator.created.load(), driver.allocator.released.load());
}

}  // namespace
