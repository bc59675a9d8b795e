// Loads the built driver library the way a host does and drives it through
// its exports only.
#include <gtest/gtest.h>

#include "CHostDebugSink.h"
#include "CHostDriverParams.h"
#include "CHostSampleAllocator.h"
#include "platform/PlatformModule.h"
#include "wrenfield/Wrenfield.h"

namespace {

using namespace talvex::ipcapture;

using CreateFn = IIPCaptureDriverEx3* (*)();
using DeleteFn = void (*)(IIPCaptureDriver*);

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_module = talvex::platform::LoadModule(WF_DRIVER_LIBRARY_PATH);
        ASSERT_NE(m_module, nullptr) << WF_DRIVER_LIBRARY_PATH;
    }
    void TearDown() override { talvex::platform::FreeModule(m_module); }

    template <typename T>
    T Find(const char* name) {
        return reinterpret_cast<T>(talvex::platform::FindSymbol(m_module, name));
    }

    talvex::platform::ModuleHandle m_module = nullptr;
};

TEST_F(ExportsTest, EveryCreateAndDeleteNameIsExported) {
    for (const char* name : {"CreateIPCapture", "CreateIPCaptureEx", "CreateIPCaptureEx2", "CreateIPCaptureEx3"}) {
        auto create = Find<CreateFn>(name);
        ASSERT_NE(create, nullptr) << name;
        IIPCaptureDriverEx3* driver = create();
        ASSERT_NE(driver, nullptr) << name;
        Find<DeleteFn>("DeleteIPCapture")(driver);
    }
    for (const char* name : {"DeleteIPCapture", "DeleteIPCaptureEx", "DeleteIPCaptureEx2", "DeleteIPCaptureEx3"}) {
        auto destroy = Find<DeleteFn>(name);
        ASSERT_NE(destroy, nullptr) << name;
        destroy(nullptr);  // ignored
        destroy(Find<CreateFn>("CreateIPCapture")());
    }
}

TEST_F(ExportsTest, HostOpensClosesTwiceAndDeletes) {
    wftest::CHostDebugSink sink;
    wftest::CHostSampleAllocator allocator;
    wftest::CHostDriverParams params;
    params.connection.address = "192.0.2.10";
    params.connection.port = 80;
    params.device.modelName = "HLC_15AG";
    params.custom = {{1, "1"}, {2, "1"}, {4, "x"}, {7, "3.2.1"}};

    IIPCaptureDriverEx3* driver = Find<CreateFn>("CreateIPCapture")();
    ASSERT_NE(driver, nullptr);
    ASSERT_TRUE(driver->Open(&sink, &allocator, &params));
    const auto lines = sink.Containing("DRIVER IS OPENED");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 3);
    // Parameter 3 is missing, so 4 and 7 were never read.
    EXPECT_EQ(lines[0].text, "DRIVER IS OPENED (name: Wrenfield, device model: HLC_15AG, address: 192.0.2.10:80)");
    EXPECT_NE(driver->GetVideoCapture(), nullptr);
    EXPECT_EQ(driver->GetVideoCapture(), driver->GetVideoCaptureEx());
    ASSERT_NE(driver->GetIOApi(), nullptr);
    EXPECT_EQ(driver->GetIOApi()->GetInputCount(), params.device.inputCount);
    driver->Close();
    EXPECT_EQ(driver->GetIOApi(), nullptr);
    driver->Close();
    Find<DeleteFn>("DeleteIPCapture")(driver);
}

}  // namespace
