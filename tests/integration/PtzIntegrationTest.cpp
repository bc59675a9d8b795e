// PTZ end to end: the host's PTZ controls of a simulated camera or video
// server, the camera requests they cause, and named presets kept in the
// device's preset file beside the host executable.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

#include "CCamSimControl.h"
#include "IntegrationHelpers.h"
#include "platform/PlatformModule.h"
#include "ptz/CXMLSettingsAPI.h"

namespace {

using namespace std::chrono_literals;
using namespace talvex::ipcapture;

class PtzIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A MAC address of this test's own, so that its preset file is its own.
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000000;
        m_mac = "02:E1:" + std::to_string(stamp);
    }
    void TearDown() override {
        m_drivers.clear();
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(talvex::platform::ExecutableDirectory(), ignored))
            if (entry.path().filename().string().rfind(FileName(), 0) == 0) std::filesystem::remove(entry, ignored);
    }

    std::string FileName() const { return "HuntAsoni_02E1" + m_mac.substr(6) + ".preset"; }

    void StartCamera(int channels) {
        m_camsim = std::make_unique<wftest::CCameraUnderTest>(
            std::vector<std::string>{"--codec", "mjpeg", "--size", "320x240", "--fps", "25"}, channels);
        ASSERT_TRUE(m_camsim->Started()) << m_camsim->Error();
        m_control = std::make_unique<CCamSimControl>(m_camsim->ControlPort());
        m_channels = static_cast<uint32_t>(channels);
        OpenDriver();
    }

    // Another driver object for the same device, as after a host restart.
    void OpenDriver() {
        wftest::CHostDriverParams params;
        params.connection.address = "127.0.0.1";
        params.connection.port = static_cast<uint16_t>(m_camsim->HttpPort());
        params.connection.streamType = kStreamTypeMjpeg;
        params.device.channelCount = m_channels;
        params.device.modelName = m_channels > 1 ? "HWS-04HD" : "HLC_15AG";
        params.custom = {{1, "0"}, {2, "0"}, {3, "0"}, {4, "0"}, {5, "4"}, {6, m_mac}};
        m_drivers.push_back(std::make_unique<wftest::CLoadedDriver>());
        ASSERT_TRUE(m_drivers.back()->Open(params));
    }

    IIPPTZApiEx* Ptz(unsigned int channel) {
        IIPPTZDriverEx* ptz = m_drivers.back()->Driver()->GetPTZDriverEx();
        return ptz != nullptr ? ptz->GetPTZApiEx(channel) : nullptr;
    }

    uint64_t LastSeq() {
        const auto requests = m_control->Requests();
        return requests.empty() ? 0 : requests.back().seq;
    }

    // Queries of the PTZ requests after seq.
    std::vector<std::string> PtzQueries(uint64_t since) {
        std::vector<std::string> queries;
        for (const auto& r : m_control->Requests(since))
            if (r.path == "/SetPTZ.cgi") queries.push_back(r.query);
        return queries;
    }

    bool WaitForQuery(const std::string& query, uint64_t since, std::chrono::milliseconds timeout = 20s) {
        return m_control
            ->WaitForRequest([&](const SCamSimRequest& r) { return r.seq > since && r.path == "/SetPTZ.cgi" && r.query == query; },
                             timeout)
            .has_value();
    }

    std::string StoredValue(const std::string& path) {
        CXMLSettingsAPI file;
        if (file.Open(FileName().c_str()) != CXMLSettingsAPI::kOk) return "(no file)";
        std::string value;
        file.GetValue(value, "%s", path.c_str());
        return value;
    }

    void ExpectMoves(unsigned int channel, const std::string& prefix) {
        const struct {
            int32_t direction;
            int32_t speed;
            const char* command;
        } kMoves[] = {{0, 8, "PTZSpeed=5&Dir=Left"},
                      {1, 1, "PTZSpeed=2&Dir=Right"},
                      {2, 16, "PTZSpeed=9&Dir=Up"},
                      {4, 1, "Up860=0&Left860=0&Dir=GoUpLeft"},
                      {5, 16, "Up860=50&Right860=50&Dir=GoUpRight"},
                      {6, 8, "Down860=23&Left860=23&Dir=GoDownLeft"},
                      {7, 16, "Down860=50&Right860=50&Dir=GoDownRight"}};
        IIPPTZApiEx* ptz = Ptz(channel);
        ASSERT_NE(ptz, nullptr);
        for (const auto& move : kMoves) {
            const uint64_t since = LastSeq();
            ASSERT_EQ(ptz->Move(move.direction, move.speed), kPtzOk);
            ASSERT_TRUE(WaitForQuery(prefix + move.command, since)) << move.command;
            EXPECT_EQ(PtzQueries(since), (std::vector<std::string>{prefix + "Dir=FocusAUTO", prefix + move.command}));
        }
        EXPECT_EQ(ptz->Stop(), kPtzOk);
    }

    std::unique_ptr<wftest::CCameraUnderTest> m_camsim;
    std::unique_ptr<CCamSimControl> m_control;
    std::vector<std::unique_ptr<wftest::CLoadedDriver>> m_drivers;
    uint32_t m_channels = 1;
    std::string m_mac;
};

TEST_F(PtzIntegrationTest, MovesBecomeCameraRequestsWithAutoFocusFirst) {
    StartCamera(1);
    ExpectMoves(0, "");
}

TEST_F(PtzIntegrationTest, VideoServerMovesNameTheirChannel) {
    StartCamera(4);
    ExpectMoves(2, "CH=2&");
    EXPECT_EQ(Ptz(2)->CheckPTZ(), 1);
    EXPECT_EQ(Ptz(4), nullptr);
}

TEST_F(PtzIntegrationTest, MovesPostedWhileTheCameraIsBusyLeaveOnlyTheLast) {
    StartCamera(1);
    IIPPTZApiEx* ptz = Ptz(0);
    ASSERT_NE(ptz, nullptr);
    const uint64_t since = LastSeq();
    ASSERT_TRUE(m_control->DelayNext(2000));
    ASSERT_EQ(ptz->Move(0, 1), kPtzOk);
    // The worker is inside its first request once the simulator took the delay.
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (m_control->PendingDelays() != 0 && std::chrono::steady_clock::now() < deadline) {
    }
    ASSERT_EQ(m_control->PendingDelays(), 0);
    ASSERT_EQ(ptz->Move(1, 4), kPtzOk);
    ASSERT_EQ(ptz->Move(2, 8), kPtzOk);
    ASSERT_EQ(ptz->Move(3, 16), kPtzOk);
    ASSERT_TRUE(WaitForQuery("PTZSpeed=9&Dir=Down", since));
    EXPECT_EQ(PtzQueries(since), (std::vector<std::string>{"Dir=FocusAUTO", "PTZSpeed=2&Dir=Left", "Dir=FocusAUTO",
                                                            "PTZSpeed=9&Dir=Down"}));
}

TEST_F(PtzIntegrationTest, AZoomIsSentAgainUntilStop) {
    StartCamera(1);
    IIPPTZApiEx* ptz = Ptz(0);
    ASSERT_NE(ptz, nullptr);
    const uint64_t since = LastSeq();
    ASSERT_EQ(ptz->ZoomIn(16), kPtzOk);
    ASSERT_TRUE(m_control->WaitForRequest(
        [&](const SCamSimRequest&) {
            const auto queries = PtzQueries(since);
            return std::count(queries.begin(), queries.end(), "PTZSpeed=9&Dir=ZoomIn") >= 3;
        },
        20s));
    EXPECT_EQ(ptz->Stop(), kPtzOk);
    // A zoom the worker had already taken may still go out; after it, none.
    uint64_t after = LastSeq();
    if (m_control->WaitForRequest([&](const SCamSimRequest& r) { return r.seq > after; }, 1s)) after = LastSeq();
    EXPECT_FALSE(WaitForQuery("PTZSpeed=9&Dir=ZoomIn", after, 1500ms));
}

TEST_F(PtzIntegrationTest, PresetsAreStoredRenamedRemovedAndReloaded) {
    StartCamera(1);
    IIPPTZApiEx* ptz = Ptz(0);
    ASSERT_NE(ptz, nullptr);
    uint64_t since = LastSeq();
    ASSERT_EQ(ptz->AddPreset("Gate"), kPtzOk);
    EXPECT_EQ(PtzQueries(since), std::vector<std::string>{"PointName=1:preset1&Dir=Preset1"});
    EXPECT_EQ(m_control->Ptz(0)->presets[1], "preset1");
    EXPECT_EQ(StoredValue("root/PtzChannel01/Preposition000/Name"), "Gate");
    EXPECT_EQ(StoredValue("root/PtzChannel01/Preposition000/Slot"), "0");

    since = LastSeq();
    const std::string renamed = "Tor S\xC3\xBC" "d";
    ASSERT_EQ(ptz->AddPreset(renamed.c_str()), kPtzOk);
    EXPECT_EQ(ptz->GetPresetCount(), 1);
    EXPECT_TRUE(PtzQueries(since).empty()) << "a rename sends nothing to the camera";
    EXPECT_EQ(StoredValue("root/PtzChannel01/Preposition000/Name"), renamed);

    for (const char* name : {"B", "C"}) {
        const uint64_t beforeMove = LastSeq();
        ASSERT_EQ(ptz->Move(0, 1), kPtzOk);
        // The move's requests run on the worker: let them finish first.
        ASSERT_TRUE(WaitForQuery("PTZSpeed=2&Dir=Left", beforeMove));
        ASSERT_EQ(ptz->AddPreset(name), kPtzOk) << name;
    }
    since = LastSeq();
    ASSERT_EQ(ptz->RemovePreset("B"), kPtzOk);
    EXPECT_EQ(PtzQueries(since), std::vector<std::string>{"RemoveName=2&Dir=Remove2"});
    EXPECT_EQ(StoredValue("root/PtzChannel01/Preposition001/Name"), "C");
    EXPECT_EQ(StoredValue("root/PtzChannel01/Preposition002/Name"), "");
    since = LastSeq();
    ASSERT_EQ(ptz->GotoPreset(0, renamed.c_str()), kPtzOk);
    EXPECT_EQ(PtzQueries(since), std::vector<std::string>{"Dir=Point1"});

    OpenDriver();
    IIPPTZApiEx* restarted = Ptz(0);
    ASSERT_NE(restarted, nullptr);
    ASSERT_EQ(restarted->GetPresetCount(), 2);
    char name[32];
    ASSERT_EQ(restarted->GetPresetName(0, name, sizeof(name)), kPtzOk);
    EXPECT_EQ(name, renamed);
    ASSERT_EQ(restarted->GetPresetName(1, name, sizeof(name)), kPtzOk);
    EXPECT_STREQ(name, "C");
}

TEST_F(PtzIntegrationTest, ChannelsOfAVideoServerShareOneFile) {
    StartCamera(4);
    ASSERT_NE(Ptz(0), nullptr);
    ASSERT_NE(Ptz(1), nullptr);
    const uint64_t since = LastSeq();
    ASSERT_EQ(Ptz(0)->AddPreset("Yard"), kPtzOk);
    ASSERT_EQ(Ptz(1)->AddPreset("Door"), kPtzOk);
    EXPECT_EQ(PtzQueries(since), (std::vector<std::string>{"CH=0&PointName=1:preset1&Dir=Preset1",
                                                            "CH=1&PointName=1:preset1&Dir=Preset1"}));
    EXPECT_EQ(StoredValue("root/PtzChannel01/Preposition000/Name"), "Yard");
    EXPECT_EQ(StoredValue("root/PtzChannel02/Preposition000/Name"), "Door");
}

}  // namespace
