#include "ptz/CHuntPTZControl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "CFakeDriver.h"

namespace {

using namespace std::chrono_literals;
using namespace talvex::ipcapture;
using talvex::CBasePTZComm;

struct SPosted {
    int32_t code, subCode, value, first;
    bool operator==(const SPosted& o) const {
        return code == o.code && subCode == o.subCode && value == o.value && first == o.first;
    }
};

// Records every command that reaches the worker.
class CRecordingComm final : public CBasePTZComm {
public:
    explicit CRecordingComm(talvex::IDriver* driver) : CBasePTZComm(driver, 0) { SetPresetCapacity(6); }
    ~CRecordingComm() override { Shutdown(); }
    void GetCapabilities(uint8_t flags[8]) override {
        for (int i = 0; i < 8; ++i) flags[i] = i < 5 ? 1 : 0;
    }
    int32_t CheckPTZ(IIPParams*) override { return 1; }
    bool SavePreset(uint32_t, const std::string&) override { return true; }
    bool GotoPreset(uint32_t, const std::string&, int32_t) override { return true; }
    void ProcessItem(IWorkItem* item) override {
        auto* work = static_cast<CWorkItem*>(item);
        std::lock_guard<std::mutex> lock(mutex);
        posted.push_back({work->code, work->subCode, work->value, work->first});
        changed.notify_all();
    }

    std::mutex mutex;  // guards posted
    std::condition_variable changed;
    std::vector<SPosted> posted;
};

class CTestControl final : public talvex::CHuntPTZControl {
public:
    explicit CTestControl(talvex::IDriver* driver) : CHuntPTZControl(driver, 0) {}
    CBasePTZComm* CreateComm() override {
        comm = new CRecordingComm(Driver());
        return comm;
    }
    std::vector<SPosted> Posted() {
        std::lock_guard<std::mutex> lock(comm->mutex);
        return comm->posted;
    }
    bool WaitFor(const std::function<bool(const std::vector<SPosted>&)>& condition) {
        std::unique_lock<std::mutex> lock(comm->mutex);
        return comm->changed.wait_for(lock, 10s, [&] { return condition(comm->posted); });
    }
    std::size_t Count(const SPosted& wanted) {
        const auto posted = Posted();
        return static_cast<std::size_t>(std::count(posted.begin(), posted.end(), wanted));
    }

    CRecordingComm* comm = nullptr;
};

class CHuntPTZControlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(control.Initialize({})); }

    wftest::CFakeDriver driver;
    CTestControl control{&driver};
};

TEST_F(CHuntPTZControlTest, StopEndsEveryRunningActionOnce) {
    EXPECT_EQ(control.Move(10, 1), kPtzBadArgument);
    EXPECT_EQ(control.Stop(), kPtzOk);
    EXPECT_EQ(control.Move(8, 3), kPtzOk);
    EXPECT_TRUE(control.IsZooming());
    EXPECT_FALSE(control.IsMoving());
    EXPECT_EQ(control.Move(0, 3), kPtzOk);
    EXPECT_EQ(control.Stop(), kPtzOk);
    EXPECT_FALSE(control.IsZooming());
    EXPECT_FALSE(control.IsMoving());
    // Moving is stopped before zooming; with one waiting command at most,
    // the zoom stop is what the worker is left with.
    const SPosted stopZoom{CBasePTZComm::kStop, CBasePTZComm::kStopZooming, 0, 0};
    ASSERT_TRUE(control.WaitFor([&](const auto& p) { return !p.empty() && p.back() == stopZoom; }));
    EXPECT_EQ(control.Count(stopZoom), 1u);
    EXPECT_EQ(control.Stop(), kPtzOk);
    EXPECT_EQ(control.Count(stopZoom), 1u) << "nothing left to stop";
    EXPECT_EQ(control.Count({CBasePTZComm::kMove, 0, 3, 10}), 0u) << "direction 10 posts nothing";
}

TEST_F(CHuntPTZControlTest, RepeatsAContinuousZoomUntilStop) {
    EXPECT_EQ(control.ZoomOut(5), kPtzOk);
    EXPECT_EQ(control.ContinuousSpeed(), -5);
    const SPosted zoomOut{CBasePTZComm::kMove, 0, 5, CBasePTZComm::kZoomOut};
    ASSERT_TRUE(control.WaitFor([&](const auto& p) { return std::count(p.begin(), p.end(), zoomOut) >= 3; }));
    EXPECT_EQ(control.Stop(), kPtzOk);
    EXPECT_EQ(control.ContinuousSpeed(), 0);
    EXPECT_FALSE(control.TickerRunning());
    // Nothing is posted after the stop has reached the worker.
    const SPosted stopZoom{CBasePTZComm::kStop, CBasePTZComm::kStopZooming, 0, 0};
    ASSERT_TRUE(control.WaitFor([&](const auto& p) { return !p.empty() && p.back() == stopZoom; }));

    EXPECT_EQ(control.IrisClose(4), kPtzOk);
    EXPECT_EQ(control.ContinuousSpeed(), -4);
    const SPosted irisClose{CBasePTZComm::kIris, CBasePTZComm::kIrisClose, 4, 0};
    ASSERT_TRUE(control.WaitFor([&](const auto& p) { return std::count(p.begin(), p.end(), irisClose) >= 2; }));
    EXPECT_EQ(control.Stop(), kPtzOk);
    EXPECT_FALSE(control.IsIrisChanging());
}

TEST_F(CHuntPTZControlTest, HostThreadsStartingZoomsTogetherLeaveOneTickerThatStopEnds) {
    for (int round = 0; round < 50; ++round) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) threads.emplace_back([&, t] { control.ZoomIn(t + 1); });
        for (auto& thread : threads) thread.join();
        EXPECT_TRUE(control.TickerRunning());
        EXPECT_EQ(control.Stop(), kPtzOk);
        EXPECT_FALSE(control.TickerRunning());
        EXPECT_FALSE(control.IsZooming());
    }
}

TEST_F(CHuntPTZControlTest, FillsCapabilitiesAndCopiesNamesOnlyIntoRoom) {
    PTZ_CAPABILITIES record;
    std::memset(&record, 0xAB, sizeof(record));
    ASSERT_EQ(control.GetCapabilities(&record), kPtzOk);
    const uint32_t expected[14] = {0xABABABABu, 1, 1, 1, 1, 1, 0, 6, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 14; ++i) EXPECT_EQ(record.Field[i], expected[i]) << i;
    EXPECT_EQ(control.GetCapabilities(nullptr), kPtzBadArgument);

    char buffer[8] = {};
    EXPECT_EQ(control.GetPresetName(0, buffer, sizeof(buffer)), kPtzPresetRefused);
    EXPECT_EQ(control.GetCurrentPresetName(buffer, sizeof(buffer)), kPtzPresetRefused);
    EXPECT_EQ(control.AddPreset("Gate"), kPtzNotPosted) << "no storage: the camera stored it, no file did";
    EXPECT_EQ(control.GetPresetName(0, buffer, 4), kPtzBadArgument);
    EXPECT_EQ(control.GetPresetName(0, nullptr, 8), kPtzBadArgument);
    EXPECT_EQ(control.GetPresetName(0, buffer, 5), kPtzOk);
    EXPECT_STREQ(buffer, "Gate");
    EXPECT_EQ(control.GetCurrentPresetName(buffer, sizeof(buffer)), kPtzOk);
    EXPECT_EQ(control.Move(2, 1), kPtzOk);
    EXPECT_EQ(control.GetCurrentPresetName(buffer, sizeof(buffer)), kPtzPresetRefused) << "a move leaves the preset";
    EXPECT_EQ(control.GotoPreset(0, "Gate"), kPtzOk);
    EXPECT_EQ(control.GotoPreset(0, nullptr), kPtzBadArgument);
    EXPECT_EQ(control.RemovePreset("Nope"), kPtzPresetRefused);
    EXPECT_EQ(control.GetPresetCount(), 1);
    EXPECT_EQ(control.EchoArgument(7), 7);
    control.SetSecondProperty(true);
    EXPECT_TRUE(control.GetSecondProperty());
    EXPECT_FALSE(control.GetFirstProperty());
    control.Stop();
}

}  // namespace
