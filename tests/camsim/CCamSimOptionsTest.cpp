#include "CCamSimOptions.h"

#include <gtest/gtest.h>

namespace camsim {
namespace {

std::optional<SCamSimOptions> Parse(std::vector<std::string> args, std::string* errorOut = nullptr) {
    std::string error;
    auto options = CCamSimOptions::Parse(args, error);
    if (errorOut) *errorOut = error;
    return options;
}

TEST(CCamSimOptionsTest, DefaultsAreAnOpenSingleChannelH264Camera) {
    const auto o = Parse({});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->httpPort, 0);
    EXPECT_EQ(o->channels, 1);
    EXPECT_EQ(o->httpAuth, EAuthMode::None);
    EXPECT_EQ(o->rtspAuth, EAuthMode::None);
    EXPECT_EQ(o->video.codec, ECodec::H264);
    EXPECT_EQ(o->video.width, 640);
    EXPECT_EQ(o->video.height, 480);
    EXPECT_EQ(o->video.fps, 25);
    EXPECT_EQ(o->audioNum, 1) << "follows the channel count";
    EXPECT_EQ(o->codecs.size(), 3u);
}

TEST(CCamSimOptionsTest, AuthOptionsSetBothServersOrOne) {
    const auto both = Parse({"--auth", "digest", "--rtsp-auth=basic"});
    ASSERT_TRUE(both);
    EXPECT_EQ(both->httpAuth, EAuthMode::Digest);
    EXPECT_EQ(both->rtspAuth, EAuthMode::Basic);
}

TEST(CCamSimOptionsTest, IdentityNumbersAcceptDecimalAndHexadecimal) {
    const auto o = Parse({"--camera-type", "0xAB", "--device", "43777", "--channels", "4"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->cameraType, 171);
    EXPECT_EQ(o->device, 0xAB01);
    EXPECT_EQ(o->audioNum, 4);
}

TEST(CCamSimOptionsTest, NtscRaisesTheRateCeilingUnlessOneIsGiven) {
    EXPECT_EQ(Parse({"--video-standard", "ntsc"})->fpsMax, 30);
    EXPECT_EQ(Parse({"--fps-max", "15", "--fps", "10", "--video-standard", "ntsc"})->fpsMax, 15);
    EXPECT_FALSE(Parse({"--video-standard", "ntsc"})->pal);
}

TEST(CCamSimOptionsTest, RefusesWhatTheCameraCannotRun) {
    const std::vector<std::vector<std::string>> bad = {
        {"--channels", "0"},        {"--channels", "65"},     {"--http-port", "70000"},
        {"--codec", "hevc"},        {"--size", "641x480"},    {"--size", "640"},
        {"--auth", "ntlm"},         {"--fps", "0"},           {"--resolutions", "640x480,1x1"},
        {"--fps-min", "20", "--fps-max", "10"},               {"--user", "a:b"},
        {"--frobnicate"},           {"--channels"},           {"positional"},
        {"--h264-file", "a.h264", "--codec", "mjpeg"},        {"--h264-file="}, {"--h264-lockstep"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(Parse(args, &error)) << args.front();
        EXPECT_FALSE(error.empty()) << args.front();
    }
}

TEST(CCamSimOptionsTest, HelpIsNotAnError) {
    std::string error = "unset";
    EXPECT_FALSE(Parse({"--help"}, &error));
    EXPECT_TRUE(error.empty());
}

}  // namespace
}  // namespace camsim
