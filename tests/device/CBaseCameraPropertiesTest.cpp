#include "device/CBaseCameraProperties.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CHostCapabilitySink.h"
#include "device/CHuntCameraProperties.h"

namespace {

using namespace talvex;
namespace cap = talvex::ipcapture;

DEVICE_INFO Device() {
    DEVICE_INFO device;
    device.Address = "192.0.2.7";
    device.Port = 8080;
    device.UserName = "admin";
    device.Password = "";
    return device;
}

// A Hunt record as a successful query of a four-input server leaves it.
void FillServer(CHuntCameraProperties& record) {
    record.Vendor = "Hunt / Asoni";
    record.Model = "HWS-04AD";
    record.VideoStandard = 0;
    record.ChannelCount = 4;
    record.Codecs = {kCodecH264, kCodecMjpeg};
    record.FrameRates = {3, 5, 7, 10, 12, 15, 18, 21, 25};
    record.MaxFrameRate = 25;
    record.Resolutions = {{704, 576, 40}, {352, 288, 0}};
    record.InputCount = 4;
    record.PtzSupported = true;
    record.RtspSupported = true;
    record.RtspPath = "/live1";
    record.PresetCount = 16;
}

TEST(CBaseCameraPropertiesTest, ExportsTheWholeRecord) {
    CHuntCameraProperties record(Device(), 0);
    FillServer(record);
    record.AudioIn.ChannelCount = 1;
    wftest::CHostCapabilitySink sink;
    ASSERT_TRUE(record.ExportCapabilities(sink));

    EXPECT_EQ(sink.deviceName, "Hunt / Asoni HWS-04AD");
    EXPECT_EQ(sink.connection, (std::map<uint32_t, std::string>{{1, "192.0.2.7"}, {2, "8080"}, {3, "admin"}, {4, ""}}));
    EXPECT_EQ(sink.capabilities, (std::map<uint32_t, int32_t>{{cap::kCapH264, 1}, {cap::kCapMjpeg, 1},
                                                               {cap::kCapChannelCount, 4}, {cap::kCapPtz, 1},
                                                               {cap::kCapThirdFlag, 0}, {cap::kCapFourthFlag, 0},
                                                               {cap::kCapInputCount, 4},
                                                               {cap::kCapAudioInputCount, 1}}));
    const auto resolutions = sink.Resolutions();
    ASSERT_EQ(resolutions.size(), 2u);
    EXPECT_EQ(resolutions[0].text, "704x576");
    EXPECT_EQ(resolutions[0].intervalMs, 40u);
    EXPECT_EQ(resolutions[1].text, "352x288");
    EXPECT_EQ(resolutions[1].intervalMs, 40u);  // none of its own: the largest rate's
    EXPECT_EQ(sink.FrameIntervals(), (std::vector<uint32_t>{333, 200, 143, 100, 83, 67, 56, 48, 40}));
    EXPECT_EQ(sink.DefaultInterval(), 40u);
    EXPECT_EQ(sink.frameRateListIndexes, (std::vector<uint32_t>{1}));

    std::vector<std::string> properties;
    for (const auto& property : sink.Properties()) {
        properties.push_back(std::to_string(property.index) + " " + property.name + "=" + property.value + " " +
                             std::to_string(property.firstAttribute) + "," + std::to_string(property.secondAttribute));
    }
    EXPECT_EQ(properties, (std::vector<std::string>{
                              "101 Audio Input Parameters=Count=1; IsStereo=0 0,1",
                              "1 Video standard=0 0,0",
                              "2 RTSP support=1 0,0",
                              "3 RTSP port=554 0,0",
                              "4 RTSP path=/live1 0,0",
                              "5 Preset count=16 0,0",
                              "6 Mac address=(none) 0,0",
                              "7 Firmware=(none) 0,0",
                          }));
}

TEST(CBaseCameraPropertiesTest, RefusesARecordTheHostCouldNotUseAndSkipsWhatItHasNoRoomFor) {
    struct SCase {
        const char* name;
        void (*spoil)(CHuntCameraProperties&);
        bool refuseLists;
        bool refuseProperties;
        bool exported;
    };
    const auto keep = [](CHuntCameraProperties&) {};
    const SCase cases[] = {
        {"no model", [](CHuntCameraProperties& r) { r.Model.clear(); }, false, false, false},
        {"unknown codec number only", [](CHuntCameraProperties& r) { r.Codecs = {9}; }, false, false, false},
        {"no channel", [](CHuntCameraProperties& r) { r.ChannelCount = 0; }, false, false, false},
        {"no picture size", [](CHuntCameraProperties& r) { r.Resolutions.clear(); }, false, false, false},
        {"no frame rate", [](CHuntCameraProperties& r) { r.FrameRates.clear(); }, false, false, false},
        {"the host hands out no lists", keep, true, false, false},
        {"the host has no property entries", keep, false, true, true},
    };
    for (const auto& c : cases) {
        CHuntCameraProperties record(Device(), 0);
        FillServer(record);
        c.spoil(record);
        wftest::CHostCapabilitySink sink;
        sink.refuseLists = c.refuseLists;
        sink.refuseProperties = c.refuseProperties;
        EXPECT_EQ(record.ExportCapabilities(sink), c.exported) << c.name;
    }
}

}  // namespace
