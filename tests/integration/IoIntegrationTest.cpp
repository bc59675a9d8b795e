// Digital I/O end to end: the host's I/O object of a simulated camera with
// two inputs and two outputs, the GPIO requests it sends and what the host
// hears back.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "CCamSimControl.h"
#include "CHostIOSink.h"
#include "IntegrationHelpers.h"

namespace {

using namespace std::chrono_literals;
using Change = std::pair<unsigned int, int32_t>;

// One poll period and a generous margin for a busy machine.
constexpr auto kPollDeadline = 2000ms + 2500ms;

class IoIntegrationTest : public ::testing::Test {
protected:
    void StartCamera() {
        m_camsim = std::make_unique<wftest::CCameraUnderTest>(
            std::vector<std::string>{"--codec", "mjpeg", "--inputs", "2", "--outputs", "2"}, 1);
        ASSERT_TRUE(m_camsim->Started()) << m_camsim->Error();
        m_control = std::make_unique<CCamSimControl>(m_camsim->ControlPort());
    }

    talvex::ICaptureIOApi* OpenDriver(uint32_t inputs, uint32_t outputs) {
        wftest::CHostDriverParams params;
        params.connection.address = "127.0.0.1";
        params.connection.port = static_cast<uint16_t>(m_camsim->HttpPort());
        params.connection.streamType = talvex::ipcapture::kStreamTypeMjpeg;
        params.device.inputCount = inputs;
        params.device.outputCount = outputs;
        m_driver = std::make_unique<wftest::CLoadedDriver>();
        if (!m_driver->Open(params)) return nullptr;
        talvex::ICaptureIOApi* io = m_driver->Driver()->GetIOApi();
        if (io != nullptr) io->SetSink(&sink);
        return io;
    }

    std::vector<std::string> Gpio(const std::string& path) {
        std::vector<std::string> queries;
        for (const auto& r : m_control->Requests())
            if (r.path == path) queries.push_back(r.query);
        return queries;
    }

    bool WaitForOutputs(const std::vector<int>& outputs) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (m_control->Outputs() != outputs) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    wftest::CHostIOSink sink;
    std::unique_ptr<wftest::CCameraUnderTest> m_camsim;
    std::unique_ptr<CCamSimControl> m_control;
    std::unique_ptr<wftest::CLoadedDriver> m_driver;
};

TEST_F(IoIntegrationTest, StartSynchronisesThenFollowsInputsAndSendsOnlyOutputChanges) {
    StartCamera();
    // Relays left on by someone else and one input already active.
    ASSERT_EQ(CCamSimControl::HttpGet(m_camsim->HttpPort(), "/SetGPIO.cgi?Out1STA=1&Out2STA=1").status, 200);
    ASSERT_TRUE(m_control->SetInput(2, true));
    ASSERT_TRUE(m_control->ClearRequests());
    talvex::ICaptureIOApi* io = OpenDriver(2, 2);
    ASSERT_NE(io, nullptr);

    ASSERT_TRUE(io->Start());
    EXPECT_EQ(sink.Changes(), (std::vector<Change>{{0, 1}, {1, 2}}));
    EXPECT_EQ(m_control->Outputs(), (std::vector<int>{0, 0}));
    EXPECT_EQ(Gpio("/SetGPIO.cgi"), (std::vector<std::string>{"Out1STA=0", "Out2STA=0"}));

    ASSERT_TRUE(m_control->SetInput(1, true));
    ASSERT_TRUE(sink.WaitForChanges(3, kPollDeadline));
    EXPECT_EQ(sink.Changes().back(), (Change{0, 2}));

    ASSERT_TRUE(io->SetOutput(0, 2));
    ASSERT_TRUE(io->SetOutput(0, 2));
    // Served in order: once output 2 switched, the repeat has been judged.
    ASSERT_TRUE(io->SetOutput(1, 2));
    ASSERT_TRUE(WaitForOutputs({1, 1}));
    EXPECT_EQ(Gpio("/SetGPIO.cgi"), (std::vector<std::string>{"Out1STA=0", "Out2STA=0", "Out1STA=1", "Out2STA=1"}));

    io->Stop();
    EXPECT_FALSE(io->SetOutput(0, 1));
    EXPECT_EQ(sink.failures.load(), 0);
}

TEST_F(IoIntegrationTest, AnUnreachableCameraFailsOncePerPollAndIsReportedAfreshWhenBack) {
    StartCamera();
    talvex::ICaptureIOApi* io = OpenDriver(2, 2);
    ASSERT_NE(io, nullptr);
    ASSERT_TRUE(io->Start());
    ASSERT_EQ(sink.Changes().size(), 2u);

    ASSERT_TRUE(m_control->SetReachable(false));
    const auto lost = std::chrono::steady_clock::now();
    ASSERT_TRUE(sink.WaitForFailures(3, 3 * kPollDeadline));
    const auto elapsed = std::chrono::steady_clock::now() - lost;
    // Three failed polls take at least two poll periods after the first.
    EXPECT_GE(elapsed, 3500ms);
    EXPECT_TRUE(sink.Changes().size() == 2u) << "an input reported while the camera was away";

    ASSERT_TRUE(m_control->SetReachable(true));
    ASSERT_TRUE(sink.WaitForChanges(4, 2 * kPollDeadline));
    const auto changes = sink.Changes();
    EXPECT_EQ(std::vector<Change>(changes.begin() + 2, changes.end()), (std::vector<Change>{{0, 1}, {1, 1}}));
    // The failures forgot the outputs: switching one off again is sent.
    ASSERT_TRUE(m_control->ClearRequests());
    ASSERT_TRUE(io->SetOutput(0, 1));
    ASSERT_TRUE(m_control->WaitForRequest([](const SCamSimRequest& r) { return r.path == "/SetGPIO.cgi"; }, 10s));
    io->Stop();
}

TEST_F(IoIntegrationTest, ADeviceAsksOnlyForTheLinesItHas) {
    const struct {
        uint32_t inputs, outputs;
        const char* polled;
    } kCases[] = {{0, 2, "no inputs"}, {2, 0, "no outputs"}};
    StartCamera();
    for (const auto& c : kCases) {
        ASSERT_TRUE(m_control->ClearRequests());
        talvex::ICaptureIOApi* io = OpenDriver(c.inputs, c.outputs);
        ASSERT_NE(io, nullptr) << c.polled;
        ASSERT_TRUE(io->Start()) << c.polled;
        EXPECT_EQ(io->SetOutput(0, 2), c.outputs > 0) << c.polled;
        if (c.outputs > 0) {
            EXPECT_TRUE(WaitForOutputs({1, 0})) << c.polled;
        }
        io->Stop();
        EXPECT_EQ(Gpio("/GetGPIO.cgi").size(), c.inputs > 0 ? 1u : 0u) << c.polled;
        EXPECT_EQ(Gpio("/SetGPIO.cgi").size(), c.outputs > 0 ? 3u : 0u) << c.polled;
        ASSERT_TRUE(m_control->Reset());
    }
}

}  // namespace
