#include "driver/CWrenfieldDriver.h"

#include <gtest/gtest.h>

#include "CHostDebugSink.h"
#include "CHostDriverParams.h"
#include "CHostSampleAllocator.h"
#include "driver/CIPVideoCapture.h"

namespace {

using talvex::CWrenfieldDriver;
using talvex::kCustomParamAbsent;

class CWrenfieldDriverTest : public ::testing::Test {
protected:
    CWrenfieldDriverTest() {
        params.connection.address = "10.1.2.3";
        params.connection.port = 8080;
        params.connection.userName = "admin";
        params.connection.password = "secret";
        params.device.modelName = "HLC_15AG";
        params.device.channelCount = 4;
        params.device.inputCount = 2;
        params.device.outputCount = 1;
    }

    bool Open() { return driver.Open(&sink, &allocator, &params); }

    wftest::CHostDebugSink sink;
    wftest::CHostSampleAllocator allocator;
    wftest::CHostDriverParams params;
    CWrenfieldDriver driver;
};

TEST_F(CWrenfieldDriverTest, OpenCopiesTheDeviceDescription) {
    ASSERT_TRUE(Open());
    const talvex::DEVICE_INFO& device = driver.GetDeviceInfo();
    EXPECT_EQ(device.Address, "10.1.2.3");
    EXPECT_EQ(device.Port, 8080);
    EXPECT_EQ(device.UserName, "admin");
    EXPECT_EQ(device.Password, "secret");
    EXPECT_EQ(device.ModelName, "HLC_15AG");
    EXPECT_EQ(device.ConnectTimeout, 5000u);
    EXPECT_EQ(device.ReceiveTimeout, 5000u);
    EXPECT_EQ(driver.GetChannelCount(), 4u);
    EXPECT_EQ(driver.GetIOCounts(), std::make_pair(2u, 1u));
    EXPECT_EQ(driver.GetStreamType(), talvex::ipcapture::kStreamTypeH264);
    EXPECT_EQ(driver.GetSampleAllocator(), &allocator);
    EXPECT_EQ(driver.GetDriverName(), "Wrenfield");
    EXPECT_EQ(driver.GetAddressWithPort(), "10.1.2.3:8080");
    ASSERT_NE(driver.GetVideoCapture(), nullptr);
    EXPECT_EQ(driver.GetVideoCapture(), driver.GetVideoCaptureEx());
    EXPECT_EQ(driver.GetVideoCapture()->GetChannelCount(), 4u);
    // The I/O object counts the lines of the device it was opened for.
    ASSERT_NE(driver.GetIOApi(), nullptr);
    EXPECT_EQ(driver.GetIOApi()->GetInputCount(), 2u);
    EXPECT_EQ(driver.GetIOApi()->GetOutputCount(), 1u);
}

TEST_F(CWrenfieldDriverTest, CustomParametersEndAtTheFirstMissingIndex) {
    params.custom = {{1, "1"}, {2, "0"}, {4, "four"}, {7, "(none)"}};
    ASSERT_TRUE(Open());
    EXPECT_EQ(driver.GetCustomParamInt(1), 1);
    EXPECT_EQ(driver.GetCustomParamInt(2), 0);
    EXPECT_EQ(driver.GetCustomParam(4), "");
    EXPECT_EQ(driver.GetCustomParamInt(4), kCustomParamAbsent);
    EXPECT_EQ(driver.GetCustomParam(7), "");
}

TEST_F(CWrenfieldDriverTest, CustomParameterIntegersAcceptOneSignAndDigitsOnly) {
    struct SCase {
        const char* text;
        int32_t expected;
    };
    const SCase cases[] = {
        {"0", 0},           {"-0", 0},          {"+7", 7},         {"-12", -12},
        {"2147483647", INT32_MAX},              {"-2147483648", INT32_MIN},
        {"2147483648", kCustomParamAbsent},     {"", kCustomParamAbsent},
        {"+", kCustomParamAbsent},              {"-", kCustomParamAbsent},
        {"abc", kCustomParamAbsent},            {" 5", kCustomParamAbsent},
        {"5 ", kCustomParamAbsent},             {"1e3", kCustomParamAbsent},
        {"+-1", kCustomParamAbsent},            {"99999999999999999999", kCustomParamAbsent},
    };
    for (const auto& c : cases) {
        params.custom = {{1, c.text}};
        CWrenfieldDriver fresh;
        ASSERT_TRUE(fresh.Open(nullptr, nullptr, &params));
        EXPECT_EQ(fresh.GetCustomParamInt(1), c.expected) << '"' << c.text << '"';
    }
}

TEST_F(CWrenfieldDriverTest, FlagParameterFollowsCustomParameterOne) {
    struct SCase {
        const char* text;
        int32_t flag;
    };
    // Each open starts from the flag the previous one left.
    const SCase sequence[] = {{"+7", 1}, {"abc", 1}, {"-0", 0}, {"abc", 0}, {"-3", 1}, {"0", 0}};
    for (const auto& step : sequence) {
        params.custom = {{1, step.text}};
        ASSERT_TRUE(Open());
        EXPECT_EQ(driver.GetFlagParam(), step.flag) << step.text;
        driver.Close();
    }
}

TEST_F(CWrenfieldDriverTest, OpenLineNamesModelFirmwareAndAddress) {
    params.custom = {{1, "1"}, {2, "0"}, {3, "x"}, {4, "y"}, {5, "0"}, {6, "00:11"}, {7, "V2.1 100%"}};
    ASSERT_TRUE(Open());
    const auto lines = sink.Containing("DRIVER IS OPENED");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text,
              "DRIVER IS OPENED (name: Wrenfield, device model: HLC_15AG, FW: V2.1 100%, address: 10.1.2.3:8080)");
    // The default host version (5.12) shows the summary line as information.
    EXPECT_EQ(lines[0].level, 3);
}

TEST_F(CWrenfieldDriverTest, OpenLineLeavesOutAnUnsetFirmware) {
    params.custom = {{1, "0"}, {2, "0"}, {3, ""}, {4, ""}, {5, ""}, {6, ""}, {7, "(none)"}};
    ASSERT_TRUE(Open());
    EXPECT_EQ(sink.Containing("DRIVER IS OPENED").at(0).text,
              "DRIVER IS OPENED (name: Wrenfield, device model: HLC_15AG, address: 10.1.2.3:8080)");
}

TEST_F(CWrenfieldDriverTest, EmptyModelNameOpensSilently) {
    params.device.modelName = "";
    ASSERT_TRUE(Open());
    EXPECT_TRUE(sink.Messages().empty());
}

TEST_F(CWrenfieldDriverTest, ModelNameWithPercentSignsArrivesUnchanged) {
    params.device.modelName = "%s%n%d%%";
    ASSERT_TRUE(Open());
    EXPECT_EQ(sink.Containing("DRIVER IS OPENED").at(0).text,
              "DRIVER IS OPENED (name: Wrenfield, device model: %s%n%d%%, address: 10.1.2.3:8080)");
}

TEST_F(CWrenfieldDriverTest, MessageLevelsFollowTheHostVersion) {
    struct SCase {
        std::array<uint16_t, 4> version;
        int in;
        int out;  // -1: not delivered
    };
    const SCase cases[] = {
        {{5, 11, 0, 0}, 100, 2}, {{5, 11, 0, 0}, 3, 2},  {{5, 11, 0, 0}, 1, 1},  {{5, 11, 0, 0}, 4, -1},
        {{5, 12, 0, 0}, 100, 3}, {{5, 12, 0, 0}, 3, 3},  {{6, 2, 9, 9}, 100, 3}, {{6, 2, 0, 0}, 3, 3},
        {{6, 3, 0, 0}, 100, 100}, {{6, 3, 0, 0}, 4, -1}, {{4, 99, 0, 0}, 3, 2},  {{7, 0, 0, 0}, 2, 2},
    };
    ASSERT_TRUE(Open());
    for (const auto& c : cases) {
        sink.Clear();
        driver.SetHostVersionForTesting(c.version);
        driver.DebugMessage(c.in, "%s: level probe", "test");
        const auto messages = sink.Messages();
        if (c.out < 0) {
            EXPECT_TRUE(messages.empty()) << c.version[0] << "." << c.version[1] << " level " << c.in;
        } else {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].level, c.out) << c.version[0] << "." << c.version[1] << " level " << c.in;
            EXPECT_EQ(messages[0].text, "test: level probe");
        }
    }
}

TEST_F(CWrenfieldDriverTest, UnreadableHostVersionCountsAsFiveTwelve) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(driver.HostVersion(), (std::array<uint16_t, 4>{5, 12, 0, 0}));
}

TEST_F(CWrenfieldDriverTest, EmptyTextArrivesAsNullAndLongTextArrivesWhole) {
    ASSERT_TRUE(Open());
    sink.Clear();
    driver.DebugMessage(1, "%s", "");
    const std::string longText(100000, 'x');
    driver.DebugMessage(1, "%s: %s", "source", longText.c_str());
    const auto messages = sink.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].nullText);
    EXPECT_EQ(messages[1].text, "source: " + longText);
}

TEST_F(CWrenfieldDriverTest, WithoutSinkMessagesAreDropped) {
    ASSERT_TRUE(driver.Open(nullptr, nullptr, &params));
    for (int level = 0; level <= 5; ++level) driver.DebugMessage(level, "%s: nobody listens at %d", "test", level);
    driver.Close();
    // Nothing was kept for a sink that comes later.
    ASSERT_TRUE(Open());
    driver.DebugMessage(1, "%s: now somebody listens", "test");
    EXPECT_EQ(sink.Count("nobody listens"), 0u);
    EXPECT_EQ(sink.Count("now somebody listens"), 1u);
}

TEST_F(CWrenfieldDriverTest, OpenReadsTheStreamTypeBeforeTheDeviceDescription) {
    wftest::CallTrace trace;
    params.connection.trace = &trace;
    ASSERT_TRUE(Open());
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(trace.begin(), trace.begin() + 3),
              (std::vector<std::string>{"GetConnectionParams", "GetStreamType", "GetDeviceParams"}));
}

TEST_F(CWrenfieldDriverTest, NullOrIncompleteHostParametersRefuseToOpen) {
    EXPECT_FALSE(driver.Open(&sink, &allocator, nullptr));
    EXPECT_EQ(driver.GetVideoCapture(), nullptr);
}

TEST_F(CWrenfieldDriverTest, CloseTwiceAndReopen) {
    ASSERT_TRUE(Open());
    driver.Close();
    EXPECT_EQ(driver.GetVideoCapture(), nullptr);
    EXPECT_EQ(driver.GetIOApi(), nullptr);
    EXPECT_EQ(driver.GetPTZDriver(), nullptr);
    driver.Close();
    ASSERT_TRUE(Open());
    EXPECT_NE(driver.GetVideoCapture(), nullptr);
    EXPECT_NE(driver.GetIOApi(), nullptr);
    EXPECT_EQ(driver.GetReservedObjectEx(), nullptr);
    EXPECT_EQ(driver.GetReservedObjectEx2(), nullptr);
}

TEST_F(CWrenfieldDriverTest, UnknownStreamTypeMakesNoChannel) {
    params.connection.streamType = 9;
    ASSERT_TRUE(Open());
    EXPECT_EQ(driver.CreateChannel(0, nullptr), nullptr);
    EXPECT_EQ(driver.CreateAuxChannel(0, nullptr), nullptr);
}

}  // namespace
