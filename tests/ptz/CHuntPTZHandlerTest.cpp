#include "ptz/CHuntPTZHandler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "CFakeDriver.h"
#include "platform/PlatformModule.h"

namespace {

using talvex::CHuntPTZHandler;

// The preset file lies beside the executable: each test names its own (a
// MAC address of its own) and removes it again.
class CHuntPTZHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000000;
        mac = "02:F0:" + std::to_string(stamp);
        driver.custom[6] = mac;
        driver.channelCount = 4;
        driver.custom[5] = "4";
    }
    void TearDown() override {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(talvex::platform::ExecutableDirectory(), ignored))
            if (entry.path().filename().string().rfind(FileName(), 0) == 0) std::filesystem::remove_all(entry, ignored);
    }
    std::string FileName() const { return "HuntAsoni_02F0" + mac.substr(6) + ".preset"; }
    std::filesystem::path FilePath() const { return talvex::platform::ExecutableDirectory() + FileName(); }

    std::string mac;
    wftest::CFakeDriver driver;
};

TEST_F(CHuntPTZHandlerTest, NamesThePresetFileAfterTheMacAddress) {
    const struct {
        const char* mac;
        const char* file;
    } kCases[] = {{"00:1A:2B:3C:4D:5E", "HuntAsoni_001A2B3C4D5E.preset"},
                  {"00-1A-2B-3C-4D-5E", "HuntAsoni_001A2B3C4D5E.preset"},
                  {" 00/1a\\2b*3c?4d\"5e<>!'", "HuntAsoni_001a2b3c4d5e.preset"},
                  {"--::", ""}};
    for (const auto& c : kCases) {
        driver.custom[6] = c.mac;
        CHuntPTZHandler handler(&driver, 1);
        EXPECT_EQ(handler.GetXMLStorageFileName(), c.file) << c.mac;
    }
    CHuntPTZHandler noDriver(nullptr, 1);
    EXPECT_EQ(noDriver.GetXMLStorageFileName(), "");
}

TEST_F(CHuntPTZHandlerTest, GivesNoControlWithoutMacAddressOrBeyondTheChannels) {
    CHuntPTZHandler handler(&driver, 4);
    EXPECT_EQ(handler.GetPTZApiEx(4), nullptr);
    EXPECT_FALSE(handler.HasStorage()) << "nothing is made for a channel out of range";
    driver.custom.erase(6);
    CHuntPTZHandler noMac(&driver, 4);
    EXPECT_EQ(noMac.GetPTZApiEx(0), nullptr);
    EXPECT_EQ(driver.Count("talvex::CHuntPTZHandler::GetXMLStorageFileName: Cannot generate filename for preset XML "
                           "storage for device 127.0.0.1:80. Required custom parameter is empty"),
              1u);
    EXPECT_EQ(driver.Count("talvex::CBasePTZHandler::InitializeXMLStorage: PTZ module cannot be initialized! Name of "
                           "file for preset storing was not defined"),
              1u);
}

TEST_F(CHuntPTZHandlerTest, SharesOneFileAndOneControlPerChannelBetweenHostThreads) {
    for (int round = 0; round < 10; ++round) {
        CHuntPTZHandler handler(&driver, 4);
        std::atomic<talvex::ipcapture::IIPPTZApiEx*> seen[2] = {nullptr, nullptr};
        std::thread first([&] { seen[0] = handler.GetPTZApiEx(1); });
        std::thread second([&] { seen[1] = handler.GetPTZApiEx(1); });
        first.join();
        second.join();
        ASSERT_NE(seen[0].load(), nullptr);
        EXPECT_EQ(seen[0].load(), seen[1].load());
        EXPECT_EQ(handler.GetPTZApi(1), seen[0].load());
        EXPECT_NE(handler.GetPTZApiEx(2), seen[0].load());
        EXPECT_TRUE(std::filesystem::is_regular_file(FilePath()));
    }
}

TEST_F(CHuntPTZHandlerTest, WorksWithoutStorageUntilTheFileCanBeRead) {
    // A directory in the file's place: the file cannot be read (or replaced).
    std::filesystem::create_directory(FilePath());
    CHuntPTZHandler handler(&driver, 4);
    auto* control = handler.GetPTZApiEx(0);
    ASSERT_NE(control, nullptr) << "PTZ works without presets storage";
    EXPECT_FALSE(handler.HasStorage());
    EXPECT_EQ(driver.Count("cannot initialize CXMLPrepositionReader object with parameter \"" + FileName() + "\""), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(FilePath())) << "never written over";

    std::filesystem::remove(FilePath());
    {
        std::ofstream file(FilePath(), std::ios::binary);
        file << "<?xml version=\"1.0\"?><root><PtzChannel01><Preposition000><Name value=\"Gate\"/>"
                "<Slot value=\"1\"/></Preposition000></PtzChannel01></root>";
    }
    EXPECT_EQ(handler.GetPTZApiEx(0), control);
    EXPECT_TRUE(handler.HasStorage());
    EXPECT_EQ(control->GetPresetCount(), 1) << "the control loads the file once it can be read";
}

}  // namespace
