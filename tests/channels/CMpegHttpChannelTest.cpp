#include "channels/CMpegHttpChannel.h"

#include <gtest/gtest.h>

#include "channels/StreamQuality.h"

namespace {

TEST(StreamQualityTest, QualityMapsToTheCamerasVbrClass) {
    struct SCase {
        uint32_t quality;
        int level;
        int vbr;
    };
    const SCase cases[] = {
        {0, 1, 28},  {5, 1, 28},   {9, 1, 28},   {10, 1, 28},  {20, 2, 24},  {57, 5, 17},
        {95, 9, 5},  {100, 10, 4}, {109, 10, 4}, {110, 11, 1}, {255, 25, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(talvex::VbrLevel(c.quality), c.level) << c.quality;
        EXPECT_EQ(talvex::VbrValue(c.quality), c.vbr) << c.quality;
    }
}

TEST(CMpegHttpChannelTest, AsksTheCameraForMpeg4WithTheSettingsOfTheInput) {
    talvex::CaptureSettings settings;
    settings.FrameIntervalMs = 40;
    settings.Quality = 95;
    settings.Width = 640;
    settings.Height = 480;
    EXPECT_EQ(talvex::CMpegHttpChannel::ConfigurePath(2, settings),
              "/SetMultimedia.cgi?CH=2&Compression_Type=1&VBR=5&Video_Size=640x480&Fps=25&Mode=mpeg4");
    settings.FrameIntervalMs = 0;
    settings.Quality = 0;
    EXPECT_EQ(talvex::CMpegHttpChannel::ConfigurePath(0, settings),
              "/SetMultimedia.cgi?CH=0&Compression_Type=1&VBR=28&Video_Size=640x480&Fps=1&Mode=mpeg4");
}

}  // namespace
