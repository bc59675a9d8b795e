// What programs read of the host: the probe's JSON and table (the password
// the driver hands back is masked) and the capture summary, whose figures
// come from the writer's counting.
#include <gtest/gtest.h>

#include "CCaptureCommand.h"
#include "CCaptureWriter.h"
#include "CProbePrinter.h"

namespace {

using namespace wfhost;

SCapabilities Camera() {
    SCapabilities capabilities;
    capabilities.deviceName = "Hunt / Asoni HLC_15AG";
    capabilities.connection = {{1, "10.0.0.1"}, {2, "80"}, {3, "admin"}, {4, "Pass\"word"}};
    capabilities.values = {{0, 1}, {8, 1}};
    capabilities.resolutions = {{"640x480", 640, 480, 40}};
    capabilities.frameIntervalsMs = {200, 40};
    capabilities.defaultIntervalMs = 40;
    capabilities.properties = {{6, "Mac address", "00:0E:53:2A:4C:01"}, {7, "Firmware", "V3 Pass\"word"}};
    return capabilities;
}

TEST(CHostOutputTest, ProbeJsonAndTableMaskThePassword) {
    CSecretMask mask;
    mask.Add("Pass\"word");
    const CProbePrinter printer(mask);
    EXPECT_EQ(printer.Json(Camera()),
              "{\"device\":\"Hunt / Asoni HLC_15AG\",\"connection\":{\"address\":\"10.0.0.1\",\"port\":\"80\","
              "\"user\":\"admin\",\"password\":\"****\"},\"capabilities\":{\"0\":1,\"8\":1},\"resolutions\":[{"
              "\"text\":\"640x480\",\"width\":640,\"height\":480,\"interval_ms\":40}],\"frame_intervals_ms\":[200,40],"
              "\"default_interval_ms\":40,\"properties\":[{\"index\":6,\"name\":\"Mac address\",\"value\":"
              "\"00:0E:53:2A:4C:01\"},{\"index\":7,\"name\":\"Firmware\",\"value\":\"V3 ****\"}]}\n");
    const std::string table = printer.Table(Camera());
    EXPECT_EQ(table.find("Pass"), std::string::npos) << table;
    EXPECT_NE(table.find("  password                 ****\n"), std::string::npos) << table;
    EXPECT_NE(table.find("  frame intervals          200 ms, 40 ms (default)\n"), std::string::npos) << table;
}

TEST(CHostOutputTest, TheWriterCountsKeyPicturesGapsAndItsLimit) {
    CCaptureWriter writer(40);  // gaps: steps over 300 ms
    writer.SetPictureLimit(5);
    const uint32_t key = WfFourCC('H', '2', '6', '4');
    const uint32_t other = WfFourCC('I', '2', '6', '4');
    const int64_t times[] = {1000, 1040, 1080, 1500, 1540, 1580};
    for (std::size_t i = 0; i < 6; ++i) writer.Count(i % 3 == 0 ? key : other, 100, 640, 480, times[i]);
    writer.OnSignalLost();
    writer.Seal();
    writer.OnSignalLost();
    const SInputStats stats = writer.Stats();
    EXPECT_EQ(stats.pictures, 6u) << "Count itself knows no limit; OnFrame keeps it";
    EXPECT_EQ(stats.keyPictures, 2u);
    EXPECT_EQ(stats.bytes, 600u);
    EXPECT_EQ(stats.gaps, 1u);
    EXPECT_EQ(stats.longestStepMs, 420);
    EXPECT_EQ(stats.signalLosses, 1u) << "losses after the seal belong to the stop";
    for (const char* code : {"H264", "DIVX", "JPEG"}) EXPECT_TRUE(CCaptureWriter::IsKeyPicture(WfFourCC(code[0], code[1], code[2], code[3])));
    for (const char* code : {"I264", "DIVI"}) EXPECT_FALSE(CCaptureWriter::IsKeyPicture(WfFourCC(code[0], code[1], code[2], code[3])));
}

TEST(CHostOutputTest, TheSummaryIsOneJsonLineWithEveryInputsFigures) {
    SInputSummary input;
    input.input = 1;
    input.file = "out/input1.h264";
    input.stats.pictures = 51;
    input.stats.keyPictures = 3;
    input.stats.bytes = 123456;
    input.stats.width = 640;
    input.stats.height = 480;
    input.stats.firstTimeMs = 0;
    input.stats.lastTimeMs = 2000;
    input.stats.gaps = 1;
    input.stats.longestStepMs = 400;
    input.stats.signalLosses = 2;
    SCaptureOptions options;
    options.streamType = 3;
    options.rtsp = true;
    EXPECT_EQ(CCaptureCommand::FormatSummaryJson({input}, options, 2.5),
              "{\"codec\":\"h264\",\"transport\":\"rtsp\",\"seconds\":2.500,\"inputs\":[{\"input\":1,\"file\":"
              "\"out/input1.h264\",\"pictures\":51,\"key_pictures\":3,\"bytes\":123456,\"width\":640,\"height\":480,"
              "\"fps\":25.000,\"gaps\":1,\"longest_step_ms\":400,\"signal_losses\":2}]}\n");
    EXPECT_EQ(CCaptureCommand::FormatSummary({input}, options),
              "summary (h264 over RTSP):\n  input 1: 51 pictures (3 key), 640x480, 123456 bytes, 25.0 fps, 1 gaps "
              "(longest step 400 ms), 2 signal losses -> out/input1.h264\n");
}

}  // namespace
