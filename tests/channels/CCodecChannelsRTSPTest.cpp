// What the RTSP channels ask of the camera and what they read from its
// network page.
#include "channels/CCodecChannelsRTSP.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace talvex;

TEST(CCodecChannelsRTSPTest, EachCodecAsksForItsSettingsWithRoundedRateAndQualityClass) {
    struct SCase {
        uint32_t interval, quality;
        const char* h264;
        const char* mjpeg;
    };
    const SCase cases[] = {
        {40, 5, "CH=1&Compression_Type=1&VBR=28&Video_Size=640x480&Fps=25&Mode=h264",
         "CH=1&Compression_Type=1&Jpeg_Quality=1&Video_Size=640x480&Fps=25&Mode=mjpeg"},
        {33, 57, "CH=1&Compression_Type=1&VBR=17&Video_Size=640x480&Fps=30&Mode=h264",
         "CH=1&Compression_Type=1&Jpeg_Quality=3&Video_Size=640x480&Fps=30&Mode=mjpeg"},
        {0, 100, "CH=1&Compression_Type=1&VBR=4&Video_Size=640x480&Fps=1&Mode=h264",
         "CH=1&Compression_Type=1&Jpeg_Quality=5&Video_Size=640x480&Fps=1&Mode=mjpeg"},
        {67, 74, "CH=1&Compression_Type=1&VBR=10&Video_Size=640x480&Fps=15&Mode=h264",
         "CH=1&Compression_Type=1&Jpeg_Quality=3&Video_Size=640x480&Fps=15&Mode=mjpeg"},
        {40, 110, "CH=1&Compression_Type=1&VBR=1&Video_Size=640x480&Fps=25&Mode=h264",
         "CH=1&Compression_Type=1&Jpeg_Quality=5&Video_Size=640x480&Fps=25&Mode=mjpeg"},
    };
    for (const auto& c : cases) {
        CaptureSettings settings;
        settings.FrameIntervalMs = c.interval;
        settings.Quality = c.quality;
        settings.Width = 640;
        settings.Height = 480;
        const std::string prefix = "/SetMultimedia.cgi?";
        EXPECT_EQ(CH264ChannelRTSP::ConfigurePath(1, settings), prefix + c.h264) << c.interval << "/" << c.quality;
        EXPECT_EQ(CMJPEGChannelRTSP::ConfigurePath(1, settings), prefix + c.mjpeg) << c.interval << "/" << c.quality;
        std::string mpeg4 = prefix + c.h264;
        mpeg4.replace(mpeg4.size() - 4, 4, "mpeg4");
        EXPECT_EQ(CMPEGChannelRTSP::ConfigurePath(1, settings), mpeg4);
    }
}

TEST(CCodecChannelsRTSPTest, TheNetworkPageIsReadByExactRecordNamesWhereverTheyStand) {
    struct SCase {
        const char* name;
        const char* page;
        unsigned int channel;
        bool read;
        uint16_t port;
        const char* path;
    };
    const SCase cases[] = {
        {"port first", "Rtsp_Port=8554<br>Path_Live1=/live1<br>Path_Live=/live<br>", 0, true, 8554, "/live1"},
        {"port last, general path first", "Path_Live=/live<br>Path_Live1=/one<br>Path_Live2=/two<br>Rtsp_Port=554<br>",
         1, true, 554, "/two"},
        {"no own path: the general one", "Rtsp_Port=554<br>Path_Live12=/twelve<br>Path_Live=/live<br>", 0, true, 554,
         "/live"},
        {"a longer name never matches", "My_Rtsp_Port=1<br>Rtsp_Port=2<br>Path_Live10=/ten<br>", 0, true, 2, ""},
        {"port 0 keeps the default", "Rtsp_Port=0<br>Path_Live1=/a<br>", 0, true, 0, "/a"},
        {"a word keeps the default", "Rtsp_Port=none<br>", 0, true, 0, ""},
        {"beyond 65535 is no port", "Rtsp_Port=65536<br>", 0, true, 0, ""},
        {"leading digits count", "Rtsp_Port=7070abc<br>", 0, true, 7070, ""},
        {"an empty port fails", "Rtsp_Port=<br>Path_Live1=/a<br>", 0, false, 0, ""},
        {"no port fails", "Path_Live1=/a<br>", 0, false, 0, ""},
        {"no records fails", "", 0, false, 0, ""},
    };
    for (const auto& c : cases) {
        uint16_t port = 1;
        std::string path = "stale";
        EXPECT_EQ(CCommonChannelRTSP::ReadNetworkPage(c.page, c.channel, port, path), c.read) << c.name;
        if (!c.read) continue;
        EXPECT_EQ(port, c.port) << c.name;
        EXPECT_EQ(path, c.path) << c.name;
    }
}

}  // namespace
