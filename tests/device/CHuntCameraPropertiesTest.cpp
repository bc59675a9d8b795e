#include "device/CHuntCameraProperties.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "CHostCapabilitySink.h"
#include "CLoopbackHttpServer.h"

namespace {

using namespace talvex;

DEVICE_INFO Device(uint16_t port) {
    DEVICE_INFO device;
    device.Address = "127.0.0.1";
    device.Port = port;
    device.ConnectTimeout = 3000;
    return device;
}

CHuntCameraProperties Reader(uint32_t videoStandard = 0) { return CHuntCameraProperties(Device(1), videoStandard); }

TEST(CHuntCameraPropertiesTest, IdentifiesEachModelFamily) {
    struct SCase {
        const char* page;
        const char* model;  // null: the step fails
    };
    const SCase cases[] = {
        {"CameraType=58<br>Device=7<br>", "HWS-04HD"},
        {"CameraType=314<br>Device=0<br>", "HWS-04HD"},   // only the low byte counts
        {"CameraType=388<br>Device=1<br>", "HLC_79M"},    // 0x184
        {"CameraType=171<br>Device=43777<br>", "HLC_15AG"},
        {"CameraType=186<br>Device=47618<br>", "HWS-04AD"},
        {"CameraType=171<br>Device=58<br>", nullptr},     // not a device number of the family
        {"CameraType=171<br>Device=0<br>", nullptr},
        {"CameraType=59<br>Device=1<br>", nullptr},       // unknown type
        {"CameraType=0<br>Device=1<br>", nullptr},
        {"CameraType=abc<br>Device=1<br>", nullptr},
        {"CameraType=99999999999<br>Device=1<br>", nullptr},
        {"CameraType=58<br>", nullptr},                   // no Device
        {"Device=1<br>", nullptr},
    };
    for (const auto& c : cases) {
        CHuntCameraProperties reader = Reader();
        EXPECT_EQ(reader.Identify(c.page), c.model != nullptr) << c.page;
        EXPECT_EQ(reader.Model, c.model != nullptr ? c.model : "") << c.page;
        EXPECT_EQ(reader.Vendor, c.model != nullptr ? "Hunt / Asoni" : "") << c.page;
    }
}

TEST(CHuntCameraPropertiesTest, ListsTheFrameRatesOfEachStandardAndRange) {
    struct SCase {
        const char* name;
        uint32_t standard;
        const char* page;
        std::set<uint32_t> rates;
    };
    const SCase cases[] = {
        {"3 to 15", 0, "FpsMin=3<br>FpsMax=15<br>", {3, 4, 5, 6, 7, 8, 9, 10, 15}},
        {"PAL up to 25", 0, "FpsMax=25<br>", {5, 10, 15, 20, 25}},
        // The rule for 25 frames on another standard wins over the plain list
        // (which would add 30): 30 is never offered here.
        {"other standard up to 25", 1, "FpsMax=25<br>", {3, 5, 7, 10, 12, 15, 18, 21, 25}},
        {"other standard up to 30", 1, "FpsMax=30<br>", {5, 10, 15, 20, 25, 30}},
        {"from 3 on PAL", 0, "FpsMin=3<br>FpsMax=25<br>", {3, 5, 7, 10, 12, 15, 18, 21, 25}},
        {"up to 21", 0, "FpsMin=1<br>FpsMax=21<br>", {1, 3, 5, 7, 10, 12, 15, 18, 21}},
        {"nothing given", 0, "Format=PAL<br>", {5, 10, 15, 20, 25}},
        {"garbage and negatives count as missing", 0, "FpsMin=-3<br>FpsMax=x<br>", {5, 10, 15, 20, 25}},
    };
    for (const auto& c : cases) {
        CHuntCameraProperties reader = Reader(c.standard);
        reader.ReadFrameRates(c.page);
        EXPECT_EQ(reader.FrameRates, c.rates) << c.name;
        EXPECT_EQ(reader.MaxFrameRate, *c.rates.rbegin()) << c.name;
    }
}

TEST(CHuntCameraPropertiesTest, CountsTheChannels) {
    struct SCase {
        const char* model;
        const char* page;
        uint32_t channels;  // 0: the step fails
    };
    const SCase cases[] = {
        {"HWS-04AD", "VideoNum=4<br>AudioNum=1<br>", 1},
        {"HWS-04AD", "VideoNum=4<br>", 1},
        {"HWS-04AD", "VideoNum=4<br>AudioNum=0<br>", 4},
        {"HWS-04AD", "VideoNum=4<br>AudioNum=2<br>", 2},
        {"HWS-04AD", "VideoNum=4<br>AudioNum=-1<br>", 4},
        {"HWS-04AD", "VideoNum=0<br>AudioNum=1<br>", 0},
        {"HWS-04AD", "VideoNum=-2<br>AudioNum=1<br>", 0},
        {"HWS-04AD", "AudioNum=1<br>", 0},
        {"HLC_79M", "Other=1<br>", 1},
    };
    for (const auto& c : cases) {
        CHuntCameraProperties reader = Reader();
        reader.Model = c.model;
        EXPECT_EQ(reader.ReadChannelCount(c.page), c.channels != 0) << c.page;
        if (c.channels != 0) {
            EXPECT_EQ(reader.ChannelCount, c.channels) << c.page;
        }
    }
}

TEST(CHuntCameraPropertiesTest, ReadsCodecsAndPictureSizes) {
    struct SCase {
        const char* page;
        std::set<uint32_t> codecs;
        std::vector<std::pair<uint16_t, uint16_t>> sizes;
    };
    const SCase cases[] = {
        {"CodecType=H264,MJPEG,foo<br>Resolution=640x480,320x240,640x480<br>", {kCodecH264, kCodecMjpeg},
         {{640, 480}, {320, 240}}},
        {"CodecType1=mpeg4<br>CodecType=h264<br>Resolution1=1280x720<br>Resolution=640x480<br>", {kCodecMpeg4},
         {{1280, 720}}},
        {"CodecType=foo,bar<br>Resolution=0x480,70000x480,-640x480,axb,640x<br>", {}, {}},
        {"CodecType=<br>Resolution=<br>", {}, {}},
        {"Resolution= 704x576p<br>", {}, {{704, 576}}},
    };
    for (const auto& c : cases) {
        CHuntCameraProperties reader = Reader();
        reader.FrameRates = {3, 15};
        EXPECT_EQ(reader.ReadCodecs(c.page), !c.codecs.empty()) << c.page;
        EXPECT_EQ(reader.Codecs, c.codecs) << c.page;
        EXPECT_EQ(reader.ReadResolutions(c.page), !c.sizes.empty()) << c.page;
        std::vector<std::pair<uint16_t, uint16_t>> sizes;
        for (const auto& entry : reader.Resolutions) {
            sizes.emplace_back(entry.Width, entry.Height);
            EXPECT_EQ(entry.FrameIntervalMs, 67u) << c.page;  // the largest rate, 15
        }
        EXPECT_EQ(sizes, c.sizes) << c.page;
    }
}

TEST(CHuntCameraPropertiesTest, CountsPresetNamesUpToTheFirstGap) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"PTZModel=1<br>PName00=a<br>PName01=<br>PName03=c<br>", 2},
        {"PTZModel=1<br>PName01=a<br>", 0},
        {"PName00=<br>PName01=<br>PName02=<br>PName03=<br>PName04=<br>PName05=<br>PName06=<br>PName07=<br>"
         "PName08=<br>PName09=<br>PName10=<br>PName11=<br>",
         12},
        {"", 0},
    };
    for (const auto& [page, count] : cases) EXPECT_EQ(CHuntCameraProperties::CountPresets(page), count) << page;
}

// A camera's pages as the loopback server serves them.
class CPagedCamera {
public:
    explicit CPagedCamera(std::map<std::string, std::string> pages) : m_pages(std::move(pages)) {
        m_server.SetHandler([this](const SLoopbackRequest& request) {
            SLoopbackReply reply;
            auto page = m_pages.find(request.target);
            if (page == m_pages.end()) {
                reply.status = 404;
                reply.reason = "Not Found";
            } else {
                reply.body = page->second;
            }
            return reply;
        });
    }
    uint16_t Port() const { return m_server.Port(); }
    CLoopbackHttpServer& Server() { return m_server; }

private:
    std::map<std::string, std::string> m_pages;
    CLoopbackHttpServer m_server;
};

std::map<std::string, std::string> VideoServerPages() {
    return {
        {"/GetMultimedia.cgi?CH=0", "Format=NTSC<br>FpsMax=30<br>FpsMin=1<br>"},
        {"/GetCameraType.cgi",
         "CameraType=186<br>Device=47618<br>VideoNum=2<br>AudioNum=2<br>IO_InputNum=4<br>IO_OutputNum=-1<br>"
         "CodecType=h264,mjpeg<br>Resolution=704x480,352x240<br>Rtsp=1<br>"},
        {"/GetPTZ.cgi?CH=0", "PTZModel=1<br>PName00=a<br>PName01=b<br>PName02=c<br>"},
        {"/GetPTZ.cgi?CH=1", "PTZModel=1<br>PName00=a<br>"},
        {"/GetNetwork.cgi", "Rtsp_Port=8554<br>Path_Live1=<br>Path_Live=/live<br>"},
        {"/GetMAC.cgi", "LMAC_address=00:0E:53:01:02:03<br>"},
    };
}

TEST(CHuntCameraPropertiesTest, QueryReadsEveryPageIntoTheRecord) {
    CPagedCamera camera(VideoServerPages());
    CHuntCameraProperties reader(Device(camera.Port()), 0);
    uint32_t reason = 0;
    ASSERT_TRUE(reader.Query(reason));
    EXPECT_EQ(reader.Model, "HWS-04AD");
    EXPECT_EQ(reader.VideoStandard, 1u);
    EXPECT_EQ(reader.ChannelCount, 2u);
    EXPECT_EQ(reader.InputCount, 4u);
    EXPECT_EQ(reader.OutputCount, 0u);
    EXPECT_TRUE(reader.PtzSupported);
    EXPECT_EQ(reader.PresetCount, 1u);  // the last channel's
    EXPECT_EQ(reader.RtspPort, 8554u);
    EXPECT_EQ(reader.RtspPath, "/live");
    EXPECT_EQ(reader.MacAddress, "00:0E:53:01:02:03");
    EXPECT_EQ(reader.Firmware, "");  // the version page is missing, which is no failure
    std::vector<std::string> paths;
    for (const auto& request : camera.Server().Requests()) paths.push_back(request.target);
    EXPECT_EQ(paths, (std::vector<std::string>{"/GetMultimedia.cgi?CH=0", "/GetCameraType.cgi", "/GetPTZ.cgi?CH=0",
                                               "/GetPTZ.cgi?CH=1", "/GetNetwork.cgi", "/GetMAC.cgi", "/GetVer.cgi"}));
}

TEST(CHuntCameraPropertiesTest, QueryFailsWithItsReason) {
    struct SCase {
        const char* name;
        std::string page;
        std::string body;  // replaces that page; empty: the page answers 401
        uint32_t reason;
    };
    const SCase cases[] = {
        {"no Rtsp record", "/GetCameraType.cgi",
         "CameraType=58<br>Device=1<br>VideoNum=1<br>CodecType=h264<br>Resolution=640x480<br>", 3},
        {"PTZ page refused", "/GetPTZ.cgi?CH=1", "", 1},
    };
    for (const auto& c : cases) {
        auto pages = VideoServerPages();
        pages.erase(c.page);
        CPagedCamera camera(pages);
        camera.Server().SetHandler([&](const SLoopbackRequest& request) {
            SLoopbackReply reply;
            if (request.target == c.page && c.body.empty()) {
                reply.status = 401;
                reply.reason = "Unauthorized";
            } else if (request.target == c.page) {
                reply.body = c.body;
            } else if (pages.count(request.target) != 0) {
                reply.body = pages.at(request.target);
            } else {
                reply.status = 404;
            }
            return reply;
        });
        CHuntCameraProperties reader(Device(camera.Port()), 0);
        uint32_t reason = 0;
        EXPECT_FALSE(reader.Query(reason)) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
    }
}

}  // namespace
