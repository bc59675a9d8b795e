#include "device/CCapabilityQueryModule.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "CHostCapabilityCallback.h"
#include "CHostCapabilitySink.h"
#include "CLoopbackHttpServer.h"
#include "device/CHuntCapabilityQueryModule.h"
#include "driver/CapabilityQueryFactory.h"
#include "platform/PlatformThread.h"
#include "wrenfield/Exports.h"

namespace {

using namespace talvex;
using namespace std::chrono_literals;
using Kind = wftest::SCapabilityOutcome::EKind;

// A description whose reading ignores every stop and abort for a while, as a
// fetching step stuck where no abort reaches it would.
class CStubbornProperties final : public CBaseCameraProperties {
public:
    static inline std::atomic<bool> finished{false};
    static constexpr uint32_t kStuckMs = 13000;

    CStubbornProperties(const DEVICE_INFO& device, uint32_t context) : CBaseCameraProperties(device, context) {
        finished = false;
    }
    ~CStubbornProperties() override { finished = true; }
    bool AddCustomProperties(ipcapture::IHostCapabilitySink&) override { return true; }
    bool Query(uint32_t&) override {
        platform::SleepMs(kStuckMs);
        Model = "stubborn";
        Codecs = {kCodecH264};
        ChannelCount = 1;
        Resolutions = {{640, 480, 40}};
        FrameRates = {25};
        return true;
    }
};

class CStubbornModule final : public CCapabilityQueryModule {
public:
    using CCapabilityQueryModule::CCapabilityQueryModule;

protected:
    CBaseCameraProperties* CreateProperties() override { return new CStubbornProperties(Device, Context); }
};

CCapabilityQueryModule* MakeStubborn(ipcapture::IHostCapabilityCallback* callback, uint32_t flag) {
    return new CStubbornModule(callback, flag);
}

CCapabilityQueryModule* MakeNone(ipcapture::IHostCapabilityCallback*, uint32_t) { return nullptr; }

// Puts the exports' own module back whatever a test did.
struct SFactoryGuard {
    explicit SFactoryGuard(CapabilityQueryFactory factory) { SetCapabilityQueryFactory(factory); }
    ~SFactoryGuard() {
        UninitCapabilityQuery();
        SetCapabilityQueryFactory(nullptr);
    }
};

TEST(CCapabilityQueryModuleTest, RefusesAStartWithoutConnectionTextsAndASecondStart) {
    wftest::CHostCapabilityCallback callback;
    wftest::CHostCapabilitySink sink;
    CHuntCapabilityQueryModule module(&callback, 0);
    EXPECT_FALSE(module.Start(nullptr, 80, "u", "p", &sink));
    EXPECT_FALSE(module.Start("a", 80, nullptr, "p", &sink));
    EXPECT_FALSE(module.Start("a", 80, "u", nullptr, &sink));
    // An empty password is a password; the address is refused by the thread.
    ASSERT_TRUE(module.Start("bad:address", 80, "u", "", &sink));
    ASSERT_TRUE(callback.WaitFor(1, 5s));
    EXPECT_FALSE(module.Start("127.0.0.1", 80, "u", "p", &sink));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(callback.Outcomes().size(), 1u);
}

TEST(CCapabilityQueryModuleTest, RefusesEveryInvalidAddressCharacterWithoutARequest) {
    CLoopbackHttpServer camera;
    const std::string invalid = "@#$%^&*(){}[]/\\+=|:;,~'\"!?";
    ASSERT_EQ(invalid.size(), 26u);
    for (char character : invalid) {
        const std::string address = std::string("127.0.0.1") + character;
        wftest::CHostCapabilityCallback callback;
        wftest::CHostCapabilitySink sink;
        {
            CHuntCapabilityQueryModule module(&callback, 0);
            ASSERT_TRUE(module.Start(address.c_str(), camera.Port(), "u", "p", &sink));
            ASSERT_TRUE(callback.WaitFor(1, 5s)) << address;
        }
        const auto outcomes = callback.Outcomes();
        ASSERT_EQ(outcomes.size(), 1u) << address;
        EXPECT_EQ(outcomes[0].kind, Kind::Failed) << address;
        EXPECT_EQ(outcomes[0].reason, 0u) << address;
        EXPECT_EQ(outcomes[0].text, "Failed to start capability fetching thread. Device address is invalid!");
    }
    for (const char* fine : {"127.0.0.1", "camera-7.example.org", "Cam_7"})
        EXPECT_FALSE(CCapabilityQueryModule::HasInvalidAddressCharacter(fine)) << fine;
    EXPECT_TRUE(camera.Requests().empty());
}

TEST(CCapabilityQueryModuleTest, UninitGivesUpAFetchThatIgnoresTheAbortAndStaysSilentAfter) {
    SFactoryGuard factory(&MakeStubborn);
    wftest::CHostCapabilityCallback callback;
    wftest::CHostCapabilitySink sink;
    ASSERT_EQ(InitCapabilityQuery(&callback, 0), 1);
    ASSERT_EQ(StartCapabilityQuery("127.0.0.1", 80, "u", "p", &sink), 1);
    std::this_thread::sleep_for(200ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(UninitCapabilityQuery(), 1);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GT(waited, 9s);
    EXPECT_LT(waited, 12s);
    ASSERT_EQ(callback.Outcomes().size(), 1u);
    EXPECT_EQ(callback.Outcomes()[0].kind, Kind::Killed);
    // The given-up thread finishes its reading later; neither its results nor
    // its report reach the host.
    for (int i = 0; i < 100 && !CStubbornProperties::finished; ++i) std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(CStubbornProperties::finished);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(callback.Outcomes().size(), 1u);
    EXPECT_TRUE(sink.deviceName.empty());
    EXPECT_TRUE(sink.capabilities.empty());
}

TEST(CCapabilityQueryModuleTest, TheProcessModuleExistsOnceAndOnlyWhenItWasMade) {
    {
        SFactoryGuard factory(&MakeNone);
        wftest::CHostCapabilityCallback callback;
        EXPECT_EQ(InitCapabilityQuery(&callback, 0), 0);
        EXPECT_EQ(StartCapabilityQuery("127.0.0.1", 80, "u", "p", nullptr), 0);
        EXPECT_EQ(TerminateCapabilityQuery(), 1);
    }
    SFactoryGuard factory(nullptr);
    wftest::CHostCapabilityCallback first;
    wftest::CHostCapabilityCallback second;
    wftest::CHostCapabilitySink sink;
    ASSERT_EQ(InitCapabilityQuery(&first, 0), 1);
    EXPECT_EQ(InitCapabilityQuery(&second, 0), 0);
    EXPECT_EQ(StartCapabilityQuery("127.0.0.1", 80, "u", nullptr, &sink), 0);
    ASSERT_EQ(StartCapabilityQuery("bad/address", 80, "u", "p", &sink), 1);
    ASSERT_TRUE(first.WaitFor(1, 5s));  // the first module, with its callback, kept
    EXPECT_TRUE(second.Outcomes().empty());
    EXPECT_EQ(UninitCapabilityQuery(), 1);
    EXPECT_EQ(UninitCapabilityQuery(), 1);
}

TEST(CCapabilityQueryModuleTest, OneDeleteRoutineDestroysModulesAndDriversAlike) {
    wftest::CHostCapabilityCallback callback;
    DeleteCapabilityQueryModule(CreateCapabilityQueryModule(&callback, 1));
    DeleteIPCapture(CreateCapabilityQueryModule(&callback, 0));
    DeleteCapabilityQueryModule(CreateIPCapture());
    DeleteCapabilityQueryModule(nullptr);
    EXPECT_TRUE(callback.Outcomes().empty());  // a module never started reports nothing
}

}  // namespace
