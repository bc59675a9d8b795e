// The capability query through the library's exports against the simulated
// camera: what reaches the host's sink and callback for each model family,
// and how refused logins, bad addresses, dead and hanging devices end.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "CCamSimControl.h"
#include "CHostCapabilityCallback.h"
#include "CHostCapabilitySink.h"
#include "IntegrationHelpers.h"
#include "RunningUnderWine.h"
#include "platform/PlatformModule.h"
#include "wrenfield/Wrenfield.h"

namespace {

using namespace std::chrono_literals;
using namespace talvex::ipcapture;
using Kind = wftest::SCapabilityOutcome::EKind;

constexpr bool kUnderWine =
#if defined(_WIN32)
    true;
#else
    false;
#endif

// The query exports, looked up by name as a host does.
class CQueryExports {
public:
    CQueryExports() : m_module(talvex::platform::LoadModule(WF_DRIVER_LIBRARY_PATH)) {
        init = Find<int (*)(IHostCapabilityCallback*, uint32_t)>("InitCapabilityQuery");
        start = Find<int (*)(const char*, int, const char*, const char*, IHostCapabilitySink*)>("StartCapabilityQuery");
        uninit = Find<int (*)()>("UninitCapabilityQuery");
    }
    ~CQueryExports() { talvex::platform::FreeModule(m_module); }
    bool Loaded() const { return init && start && uninit; }

    int (*init)(IHostCapabilityCallback*, uint32_t) = nullptr;
    int (*start)(const char*, int, const char*, const char*, IHostCapabilitySink*) = nullptr;
    int (*uninit)() = nullptr;

private:
    template <typename T>
    T Find(const char* name) {
        return m_module == nullptr ? nullptr : reinterpret_cast<T>(talvex::platform::FindSymbol(m_module, name));
    }
    talvex::platform::ModuleHandle m_module;
};

struct SQueryRun {
    wftest::CHostCapabilityCallback callback;
    wftest::CHostCapabilitySink sink;
};

// One query of the process module to 127.0.0.1:port, waited for.
void RunQuery(CQueryExports& exports, SQueryRun& run, const std::string& address, int port,
              const std::string& password = "admin") {
    ASSERT_EQ(exports.init(&run.callback, 0), 1);
    ASSERT_EQ(exports.start(address.c_str(), port, "admin", password.c_str(), &run.sink), 1);
    EXPECT_TRUE(run.callback.WaitFor(1, 20s));
    EXPECT_EQ(exports.uninit(), 1);
}

struct SModelRow {
    const char* name;
    std::vector<std::string> options;
    int channels;              // of the simulator
    const char* deviceName;    // null: the query fails
    int32_t reportedChannels;
    std::vector<uint32_t> intervals;
    uint32_t sizeIntervalMs;
    std::map<uint32_t, int32_t> capabilities;  // besides codecs and channels
    std::string presets;
    std::string rtsp;
};

const std::map<uint32_t, int32_t> kCameraFeatures = {{kCapPtz, 1}, {kCapInputCount, 1}, {kCapOutputCount, 1}};
// The simulators the Windows build's wrapper starts have two inputs and two
// outputs; a simulator started with no options has one of each.
constexpr int32_t kPlainIoCount = kUnderWine ? 2 : 1;
const std::map<uint32_t, int32_t> kPlainFeatures = {
    {kCapPtz, 1}, {kCapInputCount, kPlainIoCount}, {kCapOutputCount, kPlainIoCount}};

TEST(CapabilityQueryIntegrationTest, EachModelFamilyReachesTheSinkAsTheCameraDescribesIt) {
    const SModelRow rows[] = {
        {"plain low byte", {}, 1, "Hunt / Asoni HWS-04HD", 1, {1000, 200, 100, 67, 50, 40}, 40, kPlainFeatures,
         "16", "1"},
        {"video server of the plain family", {}, 4, "Hunt / Asoni HWS-04HD", 4, {1000, 200, 100, 67, 50, 40}, 40,
         kPlainFeatures, "16", "1"},
        {"0xAB family, 3 to 15 frames",
         {"--camera-type", "171", "--device", "43777", "--fps-min", "3", "--fps-max", "15", "--fps", "15", "--presets", "4"}, 1,
         "Hunt / Asoni HLC_15AG", 1, {333, 250, 200, 167, 143, 125, 111, 100, 67}, 67, kCameraFeatures, "4", "1"},
        {"0xBA family on another standard",
         {"--camera-type", "0xBA", "--device", "0xBA02", "--video-standard", "ntsc", "--inputs", "4", "--outputs",
          "0", "--ptz-model", "0"},
         4, "Hunt / Asoni HWS-04AD", 4, {1000, 200, 100, 67, 50, 40, 33}, 33, {{kCapInputCount, 4}}, "0", "1"},
        {"camera type above 255 without RTSP", {"--camera-type", "314", "--rtsp", "0"}, 1, "Hunt / Asoni HWS-04HD", 1,
         {1000, 200, 100, 67, 50, 40}, 40, kCameraFeatures, "16", "0"},
        {"hlc_79m counts one channel", {"--camera-type", "0x84"}, 4, "Hunt / Asoni HLC_79M", 1,
         {1000, 200, 100, 67, 50, 40}, 40, {{kCapPtz, 1}, {kCapInputCount, 1}, {kCapOutputCount, 1}}, "16", "1"},
        {"unknown camera type", {"--camera-type", "0x3B"}, 1, nullptr, 0, {}, 0, {}, "", ""},
    };
    CQueryExports exports;
    ASSERT_TRUE(exports.Loaded());
    for (const auto& row : rows) {
        // The Windows build drives the two simulators its wrapper started,
        // which are of the plain family.
        if (kUnderWine && !row.options.empty()) continue;
        wftest::CCameraUnderTest camera(row.options, row.channels);
        ASSERT_TRUE(camera.Started()) << row.name << ": " << camera.Error();
        SQueryRun run;
        RunQuery(exports, run, "127.0.0.1", camera.HttpPort());
        const auto outcomes = run.callback.Outcomes();
        ASSERT_EQ(outcomes.size(), 1u) << row.name;
        if (row.deviceName == nullptr) {
            EXPECT_EQ(outcomes[0].kind, Kind::Failed) << row.name;
            EXPECT_EQ(outcomes[0].reason, 3u) << row.name;
            EXPECT_EQ(outcomes[0].text, "Failed to get camera properties") << row.name;
            continue;
        }
        ASSERT_EQ(outcomes[0].kind, Kind::Ready) << row.name << ": " << outcomes[0].text;
        EXPECT_EQ(run.sink.deviceName, row.deviceName) << row.name;
        EXPECT_EQ(run.sink.connection[2], std::to_string(camera.HttpPort())) << row.name;
        std::map<uint32_t, int32_t> expected = row.capabilities;
        expected[kCapH264] = expected[kCapMpeg4] = expected[kCapMjpeg] = 1;
        expected[kCapChannelCount] = row.reportedChannels;
        expected[kCapThirdFlag] = expected[kCapFourthFlag] = 0;
        EXPECT_EQ(run.sink.capabilities, expected) << row.name;
        std::vector<std::string> sizes;
        for (const auto& size : run.sink.Resolutions()) {
            sizes.push_back(size.text);
            EXPECT_EQ(size.intervalMs, row.sizeIntervalMs) << row.name;
        }
        EXPECT_EQ(sizes, (std::vector<std::string>{"1280x720", "640x480", "320x240", "160x120"})) << row.name;
        EXPECT_EQ(run.sink.FrameIntervals(), row.intervals) << row.name;
        EXPECT_EQ(run.sink.DefaultInterval(), row.intervals.back()) << row.name;
        EXPECT_EQ(run.sink.PropertyValue("Preset count"), row.presets) << row.name;
        EXPECT_EQ(run.sink.PropertyValue("RTSP support"), row.rtsp) << row.name;
        EXPECT_EQ(run.sink.PropertyValue("RTSP path"), row.rtsp == "1" ? "/live1" : "(none)") << row.name;
        EXPECT_EQ(run.sink.PropertyValue("Mac address"), "00:0E:53:2A:4C:01") << row.name;
        EXPECT_EQ(run.sink.PropertyValue("Firmware"), "V3.2.1 build 20230915") << row.name;
    }
}

TEST(CapabilityQueryIntegrationTest, ARefusedLoginFailsWithItsReason) {
    CQueryExports exports;
    ASSERT_TRUE(exports.Loaded());
    const std::vector<std::string> digest = {"--auth", "digest"};
    wftest::CCameraUnderTest camera(kUnderWine ? std::vector<std::string>{} : digest, 1);
    ASSERT_TRUE(camera.Started()) << camera.Error();
    // The Windows build's simulator asks for no login; it refuses on request.
    if (kUnderWine) {
        ASSERT_TRUE(CCamSimControl(camera.ControlPort()).FailNext(401, 20));
    }
    SQueryRun run;
    RunQuery(exports, run, "127.0.0.1", camera.HttpPort(), "wrong");
    const auto outcomes = run.callback.Outcomes();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, Kind::Failed);
    EXPECT_EQ(outcomes[0].reason, 1u);
    EXPECT_EQ(outcomes[0].text, "Failed to get camera properties, login failed (invalid credentials)");
}

TEST(CapabilityQueryIntegrationTest, AnAddressWithAPortOrPathFailsWithoutARequest) {
    CQueryExports exports;
    ASSERT_TRUE(exports.Loaded());
    wftest::CCameraUnderTest camera({}, 1);
    ASSERT_TRUE(camera.Started()) << camera.Error();
    CCamSimControl control(camera.ControlPort());
    for (const std::string& address :
         {"127.0.0.1:" + std::to_string(camera.HttpPort()), std::string("127.0.0.1/GetVer.cgi")}) {
        SQueryRun run;
        RunQuery(exports, run, address, camera.HttpPort());
        const auto outcomes = run.callback.Outcomes();
        ASSERT_EQ(outcomes.size(), 1u) << address;
        EXPECT_EQ(outcomes[0].reason, 0u) << address;
        EXPECT_EQ(outcomes[0].text, "Failed to start capability fetching thread. Device address is invalid!");
    }
    EXPECT_TRUE(control.Requests().empty());
}

TEST(CapabilityQueryIntegrationTest, AnUnreachableDeviceFails) {
    CQueryExports exports;
    ASSERT_TRUE(exports.Loaded());
    wftest::CCameraUnderTest camera({}, 1);
    ASSERT_TRUE(camera.Started()) << camera.Error();
    CCamSimControl control(camera.ControlPort());
    ASSERT_TRUE(control.SetReachable(false));
    SQueryRun run;
    RunQuery(exports, run, "127.0.0.1", camera.HttpPort());
    control.SetReachable(true);
    const auto outcomes = run.callback.Outcomes();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, Kind::Failed);
    EXPECT_EQ(outcomes[0].reason, 3u);
    EXPECT_EQ(outcomes[0].text, "Failed to get camera properties");
}

TEST(CapabilityQueryIntegrationTest, UninitDuringAHeldRequestReturnsPromptlyWithAFailure) {
    CQueryExports exports;
    ASSERT_TRUE(exports.Loaded());
    wftest::CCameraUnderTest camera({}, 1);
    ASSERT_TRUE(camera.Started()) << camera.Error();
    CCamSimControl control(camera.ControlPort());
    ASSERT_TRUE(control.DelayNext(60000, 50));
    SQueryRun run;
    ASSERT_EQ(exports.init(&run.callback, 0), 1);
    ASSERT_EQ(exports.start("127.0.0.1", camera.HttpPort(), "admin", "admin", &run.sink), 1);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (control.PendingDelays() == 50 && std::chrono::steady_clock::now() < deadline) {
    }
    ASSERT_LT(control.PendingDelays(), 50);  // the first page is being held
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(exports.uninit(), 1);
    // Wine's WinHTTP does not cancel a blocked read when its handle is
    // closed; there the read ends at its 5 s time-out, still inside the wait.
    EXPECT_LT(std::chrono::steady_clock::now() - start, wftest::RunningUnderWine() ? 8s : 3s);
    const auto outcomes = run.callback.Outcomes();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, Kind::Failed);
    EXPECT_EQ(outcomes[0].reason, 3u);
    EXPECT_EQ(outcomes[0].text, "Failed to get camera properties");
    control.Reset();
}

}  // namespace
