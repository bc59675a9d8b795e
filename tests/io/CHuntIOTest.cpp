#include "io/CHuntIO.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "CFakeDriver.h"
#include "CHostIOSink.h"
#include "CLoopbackHttpServer.h"
#include "RunningUnderWine.h"

namespace {

using namespace std::chrono_literals;
using talvex::CHuntIO;
using Change = std::pair<unsigned int, int32_t>;

TEST(CHuntIOTest, ReadsAnInputStateFromTheLeadingNumberOfItsValue) {
    const struct {
        const char* value;
        int32_t state;
    } kCases[] = {
        {"0", 1},   {"1", 2},    {"00", 1},   {"10", 2},  {" 1", 2}, {"+0", 1},
        {"-1", 2},  {"1abc", 2}, {"abc", 1},  {"", 1},    {"0x1", 1}, {"- 1", 1},
        {"99999999999999999999999", 2},  // longer than any integer: still just "not 0"
    };
    for (const auto& c : kCases) EXPECT_EQ(CHuntIO::InputStateOf(c.value), c.state) << '"' << c.value << '"';
}

class CHuntIORequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Listening());
        server.SetHandler([this](const SLoopbackRequest& request) {
            SLoopbackReply reply;
            if (request.target == "/GetGPIO.cgi") {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_holdPolls) {
                    m_pollHeld = true;
                    m_changed.notify_all();
                    m_changed.wait_for(lock, 30s, [this] { return !m_holdPolls; });
                }
                return gpioReply;
            }
            reply.body = "OK<br>";
            return reply;
        });
        driver.device.Port = server.Port();
        driver.device.ConnectTimeout = 2000;
        driver.device.ReceiveTimeout = 2000;
        driver.inputs = 2;
        driver.outputs = 2;
    }

    void TearDown() override { ReleasePolls(); }

    void SetGpioReply(SLoopbackReply reply) {
        std::lock_guard<std::mutex> lock(m_mutex);
        gpioReply = std::move(reply);
    }
    // The camera keeps every later poll unanswered until released; true once one hangs.
    bool HoldPolls() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_holdPolls = true;
        m_pollHeld = false;
        return m_changed.wait_for(lock, 10s, [this] { return m_pollHeld; });
    }
    void ReleasePolls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_holdPolls = false;
        m_changed.notify_all();
    }
    static SLoopbackReply Page(const std::string& body, int status = 200) {
        SLoopbackReply reply;
        reply.status = status;
        reply.body = body;
        return reply;
    }

    // Declared before the server, whose threads use them until it is gone.
    std::mutex m_mutex;  // guards gpioReply, m_holdPolls and m_pollHeld
    std::condition_variable m_changed;
    SLoopbackReply gpioReply = Page("Input1Trig=0<br>Input2Trig=1<br>Out1STA=0<br>Out2STA=0<br>");
    bool m_holdPolls = false;
    bool m_pollHeld = false;

    CLoopbackHttpServer server;
    wftest::CFakeDriver driver;
    wftest::CHostIOSink sink;
};

TEST_F(CHuntIORequestTest, ReportsEachInputOnceAndThenOnlyItsChanges) {
    CHuntIO io(&driver);
    ASSERT_TRUE(io.SetSink(&sink));
    ASSERT_TRUE(io.PollInputs(2));
    ASSERT_TRUE(io.PollInputs(2));
    EXPECT_EQ(sink.Changes(), (std::vector<Change>{{0, 1}, {1, 2}}));
    // Names are matched whole after trimming: "Input1Trig" is not "XInput1Trig".
    SetGpioReply(Page("<br> Input1Trig =1<br>XInput2Trig=0<br>"));
    ASSERT_TRUE(io.PollInputs(2));
    EXPECT_EQ(sink.Changes(), (std::vector<Change>{{0, 1}, {1, 2}, {0, 2}, {1, 1}}));
    ASSERT_EQ(server.Requests().size(), 3u);
    EXPECT_EQ(server.Requests()[0].target, "/GetGPIO.cgi");
}

TEST_F(CHuntIORequestTest, AnAnswerThatIsNotTheGpioPageFailsThePoll) {
    const struct {
        const char* name;
        SLoopbackReply reply;
    } kCases[] = {
        {"not found", Page("Input1Trig=1<br>", 404)},
        {"empty body", Page("")},
        {"text without records", Page("camera busy")},
        {"only separators", Page("<br><br>")},
        {"a value without a name", Page("<br>=1<br>")},
    };
    for (const auto& c : kCases) {
        SetGpioReply(c.reply);
        CHuntIO io(&driver);
        ASSERT_TRUE(io.SetSink(&sink));
        EXPECT_FALSE(io.PollInputs(2)) << c.name;
    }
    EXPECT_TRUE(sink.Changes().empty());
}

TEST_F(CHuntIORequestTest, AnOutputIsSentWhileAnInputPollHangs) {
    CHuntIO io(&driver, 20);
    ASSERT_TRUE(io.Start());
    ASSERT_TRUE(HoldPolls());
    const std::size_t before = server.Requests().size();
    const auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(io.SetOutput(1, 2));
    ASSERT_TRUE(server.WaitForRequests(before + 1, 5s));
    // Well inside the poll's receive time-out: the output has a sender of its own.
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1500ms);
    EXPECT_EQ(server.Requests().back().target, "/SetGPIO.cgi?Out2STA=1");
    ReleasePolls();
}

TEST_F(CHuntIORequestTest, StopEndsAHangingRequestWithoutReportingAFailure) {
    driver.outputs = 0;
    CHuntIO io(&driver, 20);
    ASSERT_TRUE(io.SetSink(&sink));
    ASSERT_TRUE(io.Start());
    ASSERT_TRUE(HoldPolls());
    const int failuresBefore = sink.failures.load();
    const auto started = std::chrono::steady_clock::now();
    io.Stop();
    // Wine's WinHTTP cannot break a request it waits on; there the receive
    // time-out ends it.
    const auto bound = wftest::RunningUnderWine() ? 2000ms + 3000ms : 1500ms;
    EXPECT_LT(std::chrono::steady_clock::now() - started, bound);
    EXPECT_EQ(sink.failures.load(), failuresBefore);
    EXPECT_FALSE(io.InputThreadRunning());
}

}  // namespace
