#include "CCgiPages.h"

#include <gtest/gtest.h>

namespace camsim {
namespace {

SCamSimOptions Options(int channels = 1) {
    std::string error;
    auto options = CCamSimOptions::Parse({"--channels", std::to_string(channels), "--outputs", "2",
                                          "--inputs", "2", "--presets", "4"}, error);
    EXPECT_TRUE(options) << error;
    return *options;
}

struct SFixture {
    explicit SFixture(int channels = 1) : state(Options(channels)), pages(state, [] { return 8554; }) {}
    SCgiReply Get(const std::string& path, CgiParams params = {}) {
        const auto reply = pages.Handle(path, params);
        EXPECT_TRUE(reply) << path;
        return reply.value_or(SCgiReply{0, {}});
    }
    CCameraState state;
    CCgiPages pages;
};

// The value of the first record named exactly name.
std::string Record(const std::string& body, const std::string& name) {
    const std::string key = name + "=";
    std::size_t at = body.rfind(key, 0) == 0 ? 0 : body.find("<br>" + key);
    if (at == std::string::npos) return "(missing)";
    if (at != 0) at += 4;
    const auto end = body.find("<br>", at);
    return body.substr(at + key.size(), end - at - key.size());
}

TEST(CCgiPagesTest, ReportsTheCameraDescriptionWithRtspLastSoNoTailLookupHitsIt) {
    SFixture f(4);
    const std::string body = f.Get("/GetCameraType.cgi").body;
    EXPECT_EQ(Record(body, "CameraType"), "58");
    EXPECT_EQ(Record(body, "VideoNum"), "4");
    EXPECT_EQ(Record(body, "AudioNum"), "4");  // keeps the channel count whole
    EXPECT_EQ(Record(body, "CodecType"), "h264,mpeg4,mjpeg,");
    EXPECT_EQ(Record(body, "Resolution1"), "1280x720,640x480,320x240,160x120");
    EXPECT_TRUE(body.ends_with("<br>Rtsp=1<br>"));
    EXPECT_EQ(body.find("Rtsp"), body.size() - std::string("Rtsp=1<br>").size());
}

TEST(CCgiPagesTest, NetworkPageNamesTheRtspPortAndOnePathPerChannel) {
    SFixture f(2);
    const std::string body = f.Get("/GetNetwork.cgi").body;
    EXPECT_EQ(Record(body, "Rtsp_Port"), "8554");
    EXPECT_EQ(Record(body, "Path_Live1"), "/live1");
    EXPECT_EQ(Record(body, "Path_Live2"), "/live2");
    EXPECT_EQ(Record(body, "Path_Live"), "/live1");
}

TEST(CCgiPagesTest, PtzPageListsEverySlotSoTheRecordCountIsTheCapacity) {
    SFixture f;
    EXPECT_EQ(f.Get("/SetPTZ.cgi", {{"PointName", "2:gate"}, {"Dir", "Preset2"}}).status, 200);
    const std::string body = f.Get("/GetPTZ.cgi").body;
    EXPECT_EQ(Record(body, "PTZModel"), "1");
    EXPECT_EQ(Record(body, "PName00"), "");
    EXPECT_EQ(Record(body, "PName01"), "gate");
    EXPECT_EQ(Record(body, "PName03"), "");
    EXPECT_EQ(Record(body, "PName04"), "(missing)");
}

TEST(CCgiPagesTest, SetMultimediaChangesTheChannelOnlyWhenEveryValueIsUsable) {
    SFixture f(2);
    const SCgiReply ok = f.Get("/SetMultimedia.cgi", {{"CH", "1"}, {"Compression_Type", "1"}, {"Jpeg_Quality", "5"},
                                                      {"Video_Size", "320x240"}, {"Fps", "10"}, {"Mode", "mjpeg"}});
    EXPECT_EQ(ok.status, 200);
    const SVideoSettings video = f.state.Video(1);
    EXPECT_EQ(video.codec, ECodec::Mjpeg);
    EXPECT_EQ(video.width, 320);
    EXPECT_EQ(video.fps, 10);
    EXPECT_EQ(video.jpegQuality, 5);
    EXPECT_EQ(f.state.Video(0), Options().video) << "other channels keep their settings";

    EXPECT_EQ(f.Get("/SetMultimedia.cgi", {{"CH", "1"}, {"Mode", "h264"}, {"Video_Size", "321x240"}}).status, 400);
    EXPECT_EQ(f.state.Video(1).codec, ECodec::Mjpeg) << "a refused request changes nothing";
    EXPECT_EQ(f.Get("/SetMultimedia.cgi", {{"CH", "2"}, {"Mode", "h264"}}).status, 400);
    EXPECT_EQ(f.Get("/SetMultimedia.cgi", {{"Mode", "hevc"}}).status, 400);
    EXPECT_EQ(f.Get("/SetMultimedia.cgi", {{"Fps", "abc"}}).status, 400);
    EXPECT_EQ(f.Get("/SetMultimedia.cgi", {{"Fps", "60"}}).status, 200);
    EXPECT_EQ(f.state.Video(0).fps, 25) << "rates beyond FpsMax are clamped";
}

struct SPtzCase {
    const char* name;
    CgiParams params;
    int status;
    SPtzPosition expected;
};

TEST(CCgiPagesTest, AppliesEveryPtzCommandFormToTheHead) {
    const SPtzPosition start;
    auto with = [&](auto change) { SPtzPosition p = start; change(p); return p; };
    const SPtzCase cases[] = {
        {"auto focus", {{"Dir", "FocusAUTO"}}, 200, start},
        {"left at speed 5", {{"PTZSpeed", "5"}, {"Dir", "Left"}}, 200, with([](auto& p) { p.pan = 3550; })},
        {"up at speed 9", {{"PTZSpeed", "9"}, {"Dir", "Up"}}, 200, with([](auto& p) { p.tilt = 90; })},
        {"zoom in at speed 2", {{"PTZSpeed", "2"}, {"Dir", "ZoomIn"}}, 200, with([](auto& p) { p.zoom = 2; })},
        {"speed above the scale is clamped", {{"PTZSpeed", "40"}, {"Dir", "Right"}}, 200, with([](auto& p) { p.pan = 90; })},
        {"diagonal up-right", {{"Up860", "50"}, {"Right860", "0"}, {"Dir", "GoUpRight"}}, 200,
         with([](auto& p) { p.pan = 10; p.tilt = 110; })},
        {"diagonal down-left", {{"Down860", "0"}, {"Left860", "50"}, {"Dir", "GoDownLeft"}}, 200,
         with([](auto& p) { p.pan = 3490; p.tilt = -10; })},
        {"focus far", {{"Dir", "FocusFar"}}, 200, with([](auto& p) { p.focus = 55; p.autoFocus = false; })},
        {"iris small", {{"Dir", "IRISSmall"}}, 200, with([](auto& p) { p.iris = 45; })},
        {"recall an empty slot", {{"Dir", "Point3"}}, 200, start},
        {"remove", {{"RemoveName", "3"}, {"Dir", "Remove3"}}, 200, start},
        {"slot beyond the capacity", {{"Dir", "Point5"}}, 400, start},
        {"store with a mismatched name", {{"PointName", "2:x"}, {"Dir", "Preset3"}}, 400, start},
        {"diagonal without its values", {{"Dir", "GoUpLeft"}}, 400, start},
        {"speed not a number", {{"PTZSpeed", "fast"}, {"Dir", "Left"}}, 400, start},
        {"unknown direction", {{"Dir", "Sideways"}}, 400, start},
        {"no direction", {{"PTZSpeed", "3"}}, 400, start},
    };
    for (const SPtzCase& c : cases) {
        SFixture f;
        EXPECT_EQ(f.Get("/SetPTZ.cgi", c.params).status, c.status) << c.name;
        EXPECT_EQ(f.state.Ptz(0).position, c.expected) << c.name;
    }
}

TEST(CCgiPagesTest, RecallingAStoredPresetReturnsTheHeadToIt) {
    SFixture f;
    f.Get("/SetPTZ.cgi", {{"PTZSpeed", "9"}, {"Dir", "Right"}});
    f.Get("/SetPTZ.cgi", {{"PointName", "1:preset1"}, {"Dir", "Preset1"}});
    f.Get("/SetPTZ.cgi", {{"PTZSpeed", "9"}, {"Dir", "Down"}});
    EXPECT_EQ(f.Get("/SetPTZ.cgi", {{"Dir", "Point1"}}).status, 200);
    EXPECT_EQ(f.state.Ptz(0).position.pan, 90);
    EXPECT_EQ(f.state.Ptz(0).position.tilt, 0);
    EXPECT_EQ(f.state.Ptz(0).lastCommand, "Dir=Point1");
}

TEST(CCgiPagesTest, GpioPagesReadInputsAndSwitchOutputs) {
    SFixture f;
    f.state.SetInput(2, true);
    EXPECT_EQ(f.Get("/SetGPIO.cgi", {{"Out2STA", "1"}}).status, 200);
    const std::string body = f.Get("/GetGPIO.cgi").body;
    EXPECT_EQ(body, "Input1Trig=0<br>Input2Trig=1<br>Out1STA=0<br>Out2STA=1<br>");
    EXPECT_EQ(f.Get("/SetGPIO.cgi", {{"Out3STA", "1"}}).status, 400);
    EXPECT_EQ(f.Get("/SetGPIO.cgi", {{"Out1STA", "2"}}).status, 400);
    EXPECT_EQ(f.Get("/SetGPIO.cgi", {}).status, 400);
}

TEST(CCgiPagesTest, AnswersNothingForPathsThatAreNotPages) {
    SFixture f;
    EXPECT_FALSE(f.pages.Handle("/GetSomething.cgi", {}));
    EXPECT_FALSE(f.pages.Handle("/getver.cgi", {}));
    EXPECT_EQ(f.Get("/GetMultimedia.cgi", {{"CH", "7"}}).status, 400);
}

}  // namespace
}  // namespace camsim
