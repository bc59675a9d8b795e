#include "ptz/CHuntPTZComm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "CFakeDriver.h"
#include "CLoopbackHttpServer.h"

namespace {

using namespace std::chrono_literals;
using talvex::CBasePTZComm;
using talvex::CHuntPTZComm;

TEST(CHuntPTZCommTest, TurnsDirectionAndSpeedIntoTheCameraCommand) {
    const struct {
        int32_t direction;
        int32_t speed;
        const char* command;
    } kCases[] = {
        {0, 1, "PTZSpeed=2&Dir=Left"},    {1, 3, "PTZSpeed=2&Dir=Right"},   {2, 4, "PTZSpeed=3&Dir=Up"},
        {3, 8, "PTZSpeed=5&Dir=Down"},    {0, 9, "PTZSpeed=5&Dir=Left"},    {0, 13, "PTZSpeed=7&Dir=Left"},
        {0, 15, "PTZSpeed=8&Dir=Left"},   {8, 16, "PTZSpeed=9&Dir=ZoomIn"}, {9, 1, "PTZSpeed=2&Dir=ZoomOut"},
        // Speeds outside 1..16 go through the same formula.
        {0, 0, "PTZSpeed=2&Dir=Left"},    {0, 31, "PTZSpeed=16&Dir=Left"},
        {4, 1, "Up860=0&Left860=0&Dir=GoUpLeft"},
        {5, 16, "Up860=50&Right860=50&Dir=GoUpRight"},
        {6, 8, "Down860=23&Left860=23&Dir=GoDownLeft"},
        {7, 16, "Down860=50&Right860=50&Dir=GoDownRight"},
        {10, 5, ""},                      {11, 5, ""},                      {-1, 5, ""},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(CHuntPTZComm::MoveCommand(c.direction, c.speed), c.command) << c.direction << "/" << c.speed;
}

class CHuntPTZCommRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Listening());
        server.SetHandler([this](const SLoopbackRequest& request) {
            SLoopbackReply reply;
            if (request.target.rfind("/GetPTZ.cgi", 0) == 0) reply.body = ptzPage;
            return reply;
        });
        driver.device.Port = server.Port();
        driver.device.ConnectTimeout = 2000;
        driver.device.ReceiveTimeout = 2000;
    }

    std::vector<std::string> Targets() {
        std::vector<std::string> targets;
        for (const auto& r : server.Requests()) targets.push_back(r.target);
        return targets;
    }

    CLoopbackHttpServer server;
    wftest::CFakeDriver driver;
    std::string ptzPage = "PTZModel=1<br>";
};

TEST_F(CHuntPTZCommRequestTest, SendsAutoFocusFirstAndTheChannelOnVideoServers) {
    driver.channelCount = 4;
    CHuntPTZComm comm(&driver, 2);
    ASSERT_TRUE(comm.Open());
    EXPECT_EQ(comm.StartMove(nullptr, 0, 8), 1);
    ASSERT_TRUE(server.WaitForRequests(2, 10s));
    EXPECT_EQ(comm.StartFocus(nullptr, CBasePTZComm::kFocusFar, 3), 1);
    ASSERT_TRUE(server.WaitForRequests(3, 10s));
    EXPECT_EQ(comm.StartIris(nullptr, CBasePTZComm::kIrisClose, 3), 1);
    ASSERT_TRUE(server.WaitForRequests(4, 10s));
    // Stops and the zoom helpers send nothing to this camera; a focus
    // sub-code it does not know neither.
    EXPECT_TRUE(comm.StopMoving(nullptr));
    EXPECT_EQ(comm.AreaZoom(nullptr, 1, 2, 3, 4), 1);
    EXPECT_EQ(comm.StartFocus(nullptr, 9, 3), 1);
    EXPECT_TRUE(comm.SavePreset(0, "Gate"));
    EXPECT_TRUE(comm.GotoPreset(3, "x", 0));
    EXPECT_TRUE(comm.RemovePreset(1, "x"));
    EXPECT_EQ(Targets(), (std::vector<std::string>{
                             "/SetPTZ.cgi?CH=2&Dir=FocusAUTO", "/SetPTZ.cgi?CH=2&PTZSpeed=5&Dir=Left",
                             "/SetPTZ.cgi?CH=2&Dir=FocusFar", "/SetPTZ.cgi?CH=2&Dir=IRISSmall",
                             "/SetPTZ.cgi?CH=2&PointName=1:preset1&Dir=Preset1", "/SetPTZ.cgi?CH=2&Dir=Point4",
                             "/SetPTZ.cgi?CH=2&RemoveName=2&Dir=Remove2"}));
}

TEST_F(CHuntPTZCommRequestTest, ChecksThePtzHeadOnlyOnVideoServers) {
    CHuntPTZComm single(&driver, 0);
    EXPECT_EQ(single.CheckPTZ(nullptr), 1);
    EXPECT_TRUE(server.Requests().empty());
    driver.channelCount = 4;
    CHuntPTZComm comm(&driver, 3);
    EXPECT_EQ(comm.CheckPTZ(nullptr), 1);
    ptzPage = "Pan=0<br>PTZModel=0<br>";
    EXPECT_EQ(comm.CheckPTZ(nullptr), 0);
    ptzPage = "Pan=0<br>";
    EXPECT_EQ(comm.CheckPTZ(nullptr), 0);
    EXPECT_EQ(server.Requests().back().target, "/GetPTZ.cgi?CH=3");
    SLoopbackReply failure;
    failure.status = 500;
    failure.reason = "Internal Server Error";
    server.Enqueue(failure);
    EXPECT_EQ(comm.CheckPTZ(nullptr), 1) << "a failed request does not deny the head";
}

TEST_F(CHuntPTZCommRequestTest, ReadsThePresetCapacityAndRefusesPostsWhenClosed) {
    const struct {
        const char* parameter;
        uint32_t capacity;
    } kCases[] = {{"-1", 0}, {"0", 0}, {"4", 4}, {nullptr, 0}};
    for (const auto& c : kCases) {
        wftest::CFakeDriver caseDriver;
        if (c.parameter != nullptr) caseDriver.custom[5] = c.parameter;
        CHuntPTZComm comm(&caseDriver, 0);
        EXPECT_EQ(comm.StartMove(nullptr, 0, 1), CBasePTZComm::kNotPosted);
        EXPECT_FALSE(comm.StopZooming(nullptr));
        EXPECT_EQ(caseDriver.Count("talvex::CBasePTZComm::StartMove: cannot send message (1) to thread"), 1u);
        EXPECT_EQ(caseDriver.Count("talvex::CBasePTZComm::StopZooming: cannot send message (4) to thread"), 1u);
        ASSERT_TRUE(comm.Open());
        EXPECT_EQ(comm.PresetCapacity(), c.capacity) << (c.parameter ? c.parameter : "absent");
    }
}

// A command object whose first command blocks until the test lets it go.
class CBlockingComm final : public CBasePTZComm {
public:
    explicit CBlockingComm(talvex::IDriver* driver) : CBasePTZComm(driver, 0) {}
    ~CBlockingComm() override {
        Release();
        Shutdown();
    }
    void GetCapabilities(uint8_t*) override {}
    int32_t CheckPTZ(IIPParams*) override { return 1; }
    bool SavePreset(uint32_t, const std::string&) override { return true; }
    bool GotoPreset(uint32_t, const std::string&, int32_t) override { return true; }
    void ProcessItem(IWorkItem* item) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.push_back(static_cast<CWorkItem*>(item)->value);
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_released; });
    }
    bool WaitForDone(std::size_t count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] { return m_done.size() >= count; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    std::vector<int32_t> Done() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_done;
    }

private:
    std::mutex m_mutex;  // guards the fields below
    std::condition_variable m_changed;
    std::vector<int32_t> m_done;
    bool m_released = false;
};

TEST(CBasePTZCommTest, CommandsPostedWhileBusyLeaveOnlyTheNewest) {
    for (int round = 0; round < 20; ++round) {
        wftest::CFakeDriver driver;
        CBlockingComm comm(&driver);
        ASSERT_TRUE(comm.Open());
        ASSERT_EQ(comm.StartMove(nullptr, 0, 1), 1);
        ASSERT_TRUE(comm.WaitForDone(1));
        for (int32_t speed : {2, 3, 4}) ASSERT_EQ(comm.StartMove(nullptr, 0, speed), 1);
        comm.Release();
        ASSERT_TRUE(comm.WaitForDone(2));
        comm.Shutdown();
        EXPECT_EQ(comm.Done(), (std::vector<int32_t>{1, 4}));
    }
}

}  // namespace
