// H.264, MJPEG and MPEG-4 cameras over RTSP end to end: the host starts inputs
// of a simulated camera or video server with Digest logins and receives
// whole pictures, in order and none lost; a paused camera is reported lost
// once and comes back; a camera whose UDP never arrives streams interleaved;
// a stop ends an RTSP answer the camera holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <tuple>

#include "CCamSimControl.h"
#include "CHostCaptureParams.h"
#include "IntegrationHelpers.h"
#include "RunningUnderWine.h"

#if !defined(_WIN32)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>

#include "CFakeDriver.h"
#include "CHostSampleAllocator.h"
#include "channels/CCodecChannelsRTSP.h"
#endif

namespace {

using namespace std::chrono_literals;
using wftest::CHostFrameSink;
using wftest::SFrame;

constexpr std::size_t kPicturesWanted = 100;
constexpr uint32_t FourCC(const char (&code)[5]) {
    return static_cast<uint32_t>(code[0]) | static_cast<uint32_t>(code[1]) << 8 |
           static_cast<uint32_t>(code[2]) << 16 | static_cast<uint32_t>(code[3]) << 24;
}

struct SCodec {
    const char* name;     // the simulator's --codec
    int32_t streamType;   // the host's stream type
    uint32_t keyFourCC;   // the first picture's code
    uint32_t otherFourCC; // pictures between key pictures
    const char* format;   // FFmpeg's name of the elementary stream
};

const SCodec kH264{"h264", talvex::ipcapture::kStreamTypeH264, FourCC("H264"), FourCC("I264"), "h264"};
const SCodec kMjpeg{"mjpeg", talvex::ipcapture::kStreamTypeMjpeg, FourCC("JPEG"), FourCC("JPEG"), "mjpeg"};
const SCodec kMpeg4{"mpeg4", talvex::ipcapture::kStreamTypeMpeg4, FourCC("DIVX"), FourCC("DIVI"), "m4v"};

std::string Transcript(const wftest::CHostDebugSink& sink) {
    std::string text;
    for (const auto& message : sink.Messages()) text += "\n  [" + std::to_string(message.level) + "] " + message.text;
    return text;
}

auto TimeOf(const SFrame& frame) {
    const SYSTEMTIME& t = frame.time;
    return std::make_tuple(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

class RtspChannelIntegrationTest : public ::testing::Test {
protected:
    void StartCamera(const SCodec& codec, int channels, uint32_t width = 320, uint32_t height = 240) {
        m_camsim = std::make_unique<wftest::CCameraUnderTest>(
            std::vector<std::string>{"--codec", codec.name, "--size", "320x240", "--fps", "25", "--auth", "digest",
                                     "--user", "admin", "--password", "secret"},
            channels);
        ASSERT_TRUE(m_camsim->Started()) << m_camsim->Error();
        m_control = std::make_unique<CCamSimControl>(m_camsim->ControlPort());
        params.connection.address = "127.0.0.1";
        params.connection.port = static_cast<uint16_t>(m_camsim->HttpPort());
        params.connection.streamType = codec.streamType;
        params.connection.userName = "admin";
        params.connection.password = "secret";
        params.device.channelCount = static_cast<uint32_t>(channels);
        params.device.modelName = channels > 1 ? "HWS-04HD" : "HLC_15AG";
        params.custom[1] = "(none)";
        params.custom[2] = "1";  // MJPEG and MPEG-4 over RTSP too
        ASSERT_TRUE(driver.Open(params));
        capture.input.resolution = wftest::CHostResolution(width, height);
        capture.stream.frameIntervalMs = 40;
        capture.stream.quality = 50;
    }

#if !defined(_WIN32)
    // A one-input H.264 camera behind Digest and a stand-in driver that logs
    // in to it, for the tests that drive one channel object directly.
    void StartDigestH264Camera(wftest::CFakeDriver& fake, wftest::CHostSampleAllocator& allocator) {
        m_camsim = std::make_unique<wftest::CCameraUnderTest>(
            std::vector<std::string>{"--codec", "h264", "--size", "320x240", "--fps", "25", "--auth", "digest",
                                     "--user", "admin", "--password", "secret"},
            1);
        ASSERT_TRUE(m_camsim->Started()) << m_camsim->Error();
        m_control = std::make_unique<CCamSimControl>(m_camsim->ControlPort());
        fake.allocator = &allocator;
        fake.streamType = kH264.streamType;
        fake.device.Port = static_cast<uint16_t>(m_camsim->HttpPort());
        fake.device.UserName = "admin";
        fake.device.Password = "secret";
    }
#endif

    // Pictures in order, of the asked size, stamped later each time, whole
    // enough to decode, and none lost on the way.
    void ExpectOrderedPictures(const CHostFrameSink& sink, const SCodec& codec, unsigned int input, uint32_t width,
                               uint32_t height) {
        auto frames = sink.Frames();
        ASSERT_GE(frames.size(), kPicturesWanted) << input;
        EXPECT_EQ(frames[0].fourcc, codec.keyFourCC) << input;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const SFrame& frame = frames[i];
            EXPECT_TRUE(frame.fourcc == codec.keyFourCC || frame.fourcc == codec.otherFourCC) << input << "/" << i;
            EXPECT_EQ(frame.width, width) << input << "/" << i;
            EXPECT_EQ(frame.height, height) << input << "/" << i;
            EXPECT_EQ(frame.sizeClass, width < 400 ? 2u : 4u) << input << "/" << i;
            EXPECT_TRUE(frame.timeSet) << input << "/" << i;
            if (i > 0) {
                EXPECT_LT(TimeOf(frames[i - 1]), TimeOf(frame)) << input << "/" << i;
            }
        }
        if (!wftest::CanProbePictures()) return;
        if (codec.streamType == talvex::ipcapture::kStreamTypeH264) {
            // Every picture ends with an access unit delimiter that opens the
            // next one; at the end of the file there is no next one.
            std::vector<uint8_t>& last = frames.back().data;
            const uint8_t delimiter[] = {0, 0, 1, 9};
            const auto found = std::search(last.begin(), last.end(), std::begin(delimiter), std::end(delimiter));
            if (found != last.end() && last.end() - found <= 5) last.erase(found, last.end());
        }
        int decoded = 0, probedWidth = 0, probedHeight = 0;
        EXPECT_EQ(wftest::ProbePictures(frames, codec.format, decoded, probedWidth, probedHeight), "") << input;
        EXPECT_EQ(decoded, static_cast<int>(frames.size())) << input;
        std::vector<uint32_t> counters;
        EXPECT_EQ(wftest::ReadFrameCounters(frames, codec.format, static_cast<int>(width), static_cast<int>(height),
                                            counters),
                  "")
            << input;
        ASSERT_EQ(counters.size(), frames.size()) << input;
        for (std::size_t i = 1; i < counters.size(); ++i)
            EXPECT_EQ(counters[i], (counters[i - 1] + 1) & 0xFFFFu) << "input " << input << ", picture " << i;
    }

    std::unique_ptr<wftest::CCameraUnderTest> m_camsim;
    std::unique_ptr<CCamSimControl> m_control;
    wftest::CLoadedDriver driver;
    wftest::CHostDriverParams params;
    wftest::CHostCaptureParams capture;
};

TEST_F(RtspChannelIntegrationTest, EachCodecDeliversOrderedDecodablePicturesWithNoneLost) {
    for (const SCodec* codec : {&kH264, &kMjpeg, &kMpeg4}) {
        SCOPED_TRACE(codec->name);
        m_camsim.reset();
        driver.sink.Clear();
        StartCamera(*codec, 1);
        CHostFrameSink sink;
        ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
        ASSERT_TRUE(sink.WaitForFrames(kPicturesWanted, 60s)) << sink.FrameCount() << Transcript(driver.sink);
        EXPECT_TRUE(driver.Video()->StopChannel(0));
        ExpectOrderedPictures(sink, *codec, 0, 320, 240);
        const std::string mode = std::string("&Mode=") + codec->name;
        EXPECT_TRUE(m_control->WaitForRequest(
            [&](const SCamSimRequest& r) {
                return r.path == "/SetMultimedia.cgi" && r.query.find("Video_Size=320x240&Fps=25" + mode) != std::string::npos;
            },
            1s));
        EXPECT_EQ(driver.sink.Count("Camera 127.0.0.1 is online"), 1u) << Transcript(driver.sink);
        EXPECT_EQ(driver.sink.Count("Camera 127.0.0.1 is offline. Channel was stopped"), 1u) << Transcript(driver.sink);
        EXPECT_EQ(driver.sink.Count("Signal was lost"), 0u) << Transcript(driver.sink);
        driver.Driver()->Close();
    }
    EXPECT_EQ(driver.allocator.created.load(), driver.allocator.released.load());
}

TEST_F(RtspChannelIntegrationTest, VideoServerStreamsEveryInput) {
    StartCamera(kH264, 4);
    CHostFrameSink sinks[4];
    for (unsigned int input = 0; input < 4; ++input)
        ASSERT_TRUE(driver.Video()->StartChannel(input, &sinks[input], &capture));
    for (unsigned int input = 0; input < 4; ++input)
        ASSERT_TRUE(sinks[input].WaitForFrames(kPicturesWanted, 60s)) << input << Transcript(driver.sink);
    for (unsigned int input = 0; input < 4; ++input) EXPECT_TRUE(driver.Video()->StopChannel(input));
    for (unsigned int input = 0; input < 4; ++input) ExpectOrderedPictures(sinks[input], kH264, input, 320, 240);
    EXPECT_EQ(driver.sink.Count("is online"), 4u) << Transcript(driver.sink);
}

TEST_F(RtspChannelIntegrationTest, PausedCameraIsLostOnceAndComesBackAtTheNewSize) {
    StartCamera(kH264, 1);
    CHostFrameSink sink;
    ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
    ASSERT_TRUE(sink.WaitForFrames(10, 30s)) << Transcript(driver.sink);

    ASSERT_TRUE(m_control->Pause());
    // Half the receive time-out without a picture: state 2; the full one:
    // the loss is reported once, however long the camera stays silent.
    int32_t state = -1, reserved = 0;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < deadline &&
           !(driver.Video()->GetChannelStatus(0, &state, &reserved, nullptr, 0) && state == 2))
        std::this_thread::sleep_for(50ms);
    EXPECT_EQ(state, 2);
    ASSERT_TRUE(driver.sink.WaitFor("Signal was lost for camera 127.0.0.1", 30s)) << Transcript(driver.sink);
    std::this_thread::sleep_for(8s);  // several reconnect passes while the camera stays paused
    EXPECT_EQ(sink.signalLost.load(), 1);
    EXPECT_EQ(driver.sink.Count("Signal was lost"), 1u) << Transcript(driver.sink);

    ASSERT_TRUE(m_control->Resume());
    const std::size_t before = sink.FrameCount();
    ASSERT_TRUE(sink.WaitForFrames(before + 10, 30s)) << Transcript(driver.sink);
    EXPECT_EQ(driver.sink.Count("Camera 127.0.0.1 is online"), 2u) << Transcript(driver.sink);

    wftest::CHostResolution larger(640, 480);
    ASSERT_TRUE(driver.Video()->ChangeSettings(0, &larger, 40));
    const auto bigger = [&] {
        const auto frames = sink.Frames();
        return !frames.empty() && frames.back().width == 640 && frames.back().height == 480;
    };
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < until && !bigger()) std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(bigger()) << Transcript(driver.sink);
    EXPECT_TRUE(driver.Video()->StopChannel(0));
    // UDP was heard before the pause: silence from then on is a paused
    // camera, never a firewall.
    EXPECT_EQ(driver.sink.Count("its stream now comes over the RTSP connection"), 0u) << Transcript(driver.sink);
}

TEST_F(RtspChannelIntegrationTest, ACameraThatRefusesUdpStreamsInterleaved) {
    StartCamera(kH264, 1);
    ASSERT_TRUE(m_control->SetUdpAllowed(false));
    CHostFrameSink sink;
    ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
    ASSERT_TRUE(sink.WaitForFrames(kPicturesWanted, 60s)) << Transcript(driver.sink);
    EXPECT_TRUE(driver.Video()->StopChannel(0));
    ExpectOrderedPictures(sink, kH264, 0, 320, 240);
    EXPECT_EQ(driver.sink.Count("its stream now comes over the RTSP connection"), 1u) << Transcript(driver.sink);
}

TEST_F(RtspChannelIntegrationTest, StopAndReconfigureLookTheSameEveryTime) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int kCycles = 2;
#elif defined(_WIN32)
    constexpr int kCycles = 3;  // each cycle costs Wine about ten seconds
#else
    constexpr int kCycles = 6;
#endif
    StartCamera(kH264, 1);
    CHostFrameSink sink;
    std::vector<std::string> first;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        driver.sink.Clear();
        const int lostBefore = sink.signalLost.load();
        ASSERT_TRUE(driver.Video()->StartChannel(0, &sink, &capture));
        ASSERT_TRUE(sink.WaitForFrames(sink.FrameCount() + 3, 30s)) << cycle << Transcript(driver.sink);
        wftest::CHostResolution resolution(cycle % 2 == 0 ? 320 : 640, cycle % 2 == 0 ? 240 : 480);
        ASSERT_TRUE(driver.Video()->ChangeSettings(0, &resolution, 40));
        ASSERT_TRUE(sink.WaitForFrames(sink.FrameCount() + 3, 30s)) << cycle << Transcript(driver.sink);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_TRUE(driver.Video()->StopChannel(0));
        // Twice the connect time-out bounds every stop.
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s) << cycle;
        std::vector<std::string> lines;
        for (const auto& message : driver.sink.Messages()) lines.push_back(std::to_string(message.level) + " " + message.text);
        EXPECT_EQ(sink.signalLost.load(), lostBefore) << cycle;
        if (cycle == 0)
            first = lines;
        else
            ASSERT_EQ(lines, first) << "cycle " << cycle << Transcript(driver.sink);
    }
    EXPECT_EQ(first, (std::vector<std::string>{
                         "3 talvex::CBaseCameraChannel::SetCameraState: Camera 127.0.0.1 is online",
                         "3 talvex::CBaseCameraChannel::SetCameraState: Camera 127.0.0.1 is offline. Channel was stopped",
                         "3 talvex::CBaseCameraChannel::SetCameraState: Camera 127.0.0.1 is online",
                         "3 talvex::CBaseCameraChannel::SetCameraState: Camera 127.0.0.1 is offline. Channel was stopped"}));
}

#if !defined(_WIN32)

// Every picture of every input arrived: the simulator's counters run on
// without a gap.
void ExpectNoPictureLost(const std::vector<SFrame>& frames, unsigned int input) {
    std::vector<SFrame> stream = frames;
    const uint8_t delimiter[] = {0, 0, 1, 9};
    std::vector<uint8_t>& last = stream.back().data;
    const auto found = std::search(last.begin(), last.end(), std::begin(delimiter), std::end(delimiter));
    if (found != last.end() && last.end() - found <= 5) last.erase(found, last.end());
    std::vector<uint32_t> counters;
    EXPECT_EQ(wftest::ReadFrameCounters(stream, "h264", 320, 240, counters), "") << input;
    ASSERT_EQ(counters.size(), frames.size()) << input;
    std::size_t gaps = 0;
    for (std::size_t i = 1; i < counters.size(); ++i)
        if (counters[i] != ((counters[i - 1] + 1) & 0xFFFFu)) ++gaps;
    EXPECT_EQ(gaps, 0u) << "input " << input;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(RtspChannelIntegrationTest, EveryInputOfABigVideoServerStreamsWithoutLossAndLeavesNothingBehind) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr unsigned int kInputs = 4;
    constexpr auto kRun = 10s;
#else
    constexpr unsigned int kInputs = 16;
    constexpr auto kRun = 15s;
#endif
    // Runtimes start helper threads of their own at the first thread a
    // process creates (ThreadSanitizer's background thread is one): start and
    // join one before counting, so the count after Close sees only ours.
    std::thread([] {}).join();
    const std::size_t descriptors = wftest::EntriesOf("/proc/self/fd");
    const std::size_t threads = wftest::EntriesOf("/proc/self/task");
    m_camsim = std::make_unique<wftest::CCameraUnderTest>(
        std::vector<std::string>{"--codec", "h264", "--size", "320x240", "--fps", "15"}, static_cast<int>(kInputs));
    ASSERT_TRUE(m_camsim->Started()) << m_camsim->Error();
    params.connection.address = "127.0.0.1";
    params.connection.port = static_cast<uint16_t>(m_camsim->HttpPort());
    params.connection.streamType = kH264.streamType;
    params.device.channelCount = kInputs;
    params.device.modelName = "HWS-16";
    ASSERT_TRUE(driver.Open(params));
    capture.input.resolution = wftest::CHostResolution(320, 240);
    capture.stream.frameIntervalMs = 67;
    capture.stream.quality = 50;
    std::vector<CHostFrameSink> sinks(kInputs);
    const double cpuBefore = CpuSeconds();
    for (unsigned int input = 0; input < kInputs; ++input)
        ASSERT_TRUE(driver.Video()->StartChannel(input, &sinks[input], &capture));
    for (unsigned int input = 0; input < kInputs; ++input)
        ASSERT_TRUE(sinks[input].WaitForFrames(1, 60s)) << input << Transcript(driver.sink);
    std::this_thread::sleep_for(kRun);
    for (unsigned int input = 0; input < kInputs; ++input) EXPECT_TRUE(driver.Video()->StopChannel(input));
    const double cpu = CpuSeconds() - cpuBefore;
    driver.Driver()->Close();
    m_camsim.reset();
    std::size_t pictures = 0;
    for (unsigned int input = 0; input < kInputs; ++input) {
        pictures += sinks[input].FrameCount();
        ExpectNoPictureLost(sinks[input].Frames(), input);
    }
    const double channelSeconds = kInputs * std::chrono::duration<double>(kRun).count();
    // The driver's and the test host's work (the simulator runs apart).
    RecordProperty("cpu_ms_per_channel_second", static_cast<int>(cpu * 1000 / channelSeconds));
    std::printf("[ measured ] %u inputs, %zu pictures, %.1f ms CPU per channel-second\n", kInputs, pictures,
                cpu * 1000 / channelSeconds);
    EXPECT_EQ(driver.sink.Count("Signal was lost"), 0u) << Transcript(driver.sink);
    EXPECT_EQ(wftest::EntriesOf("/proc/self/fd"), descriptors);
    EXPECT_EQ(wftest::EntriesOf("/proc/self/task"), threads);
}

TEST_F(RtspChannelIntegrationTest, AStopEndsAStalledConfigurationRequestAtOnce) {
    // With a minute's time-outs, only an aborted request lets the stop
    // return long before them (and the thread end without being forced).
    m_camsim = std::make_unique<wftest::CCameraUnderTest>(
        std::vector<std::string>{"--codec", "h264", "--size", "320x240", "--fps", "25"}, 1);
    ASSERT_TRUE(m_camsim->Started()) << m_camsim->Error();
    m_control = std::make_unique<CCamSimControl>(m_camsim->ControlPort());
    wftest::CFakeDriver fake;
    fake.streamType = kH264.streamType;
    fake.device.Port = static_cast<uint16_t>(m_camsim->HttpPort());
    fake.device.ConnectTimeout = 60000;
    CHostFrameSink sink;
    talvex::CaptureSettings settings;
    settings.Width = 320;
    settings.Height = 240;
    talvex::CH264ChannelRTSP channel(0, &sink, &fake);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(m_control->DelayNext(60000, 10));
        ASSERT_TRUE(channel.Start(settings));
        // The request is logged once answered; a delay taken shows it arrived.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (m_control->PendingDelays() == 10 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        ASSERT_EQ(m_control->PendingDelays(), 9) << round;
        auto stop = std::async(std::launch::async, [&] { channel.Stop(); });
        ASSERT_EQ(stop.wait_for(30s), std::future_status::ready) << "round " << round;
        ASSERT_TRUE(m_control->Reset());
    }
    EXPECT_EQ(fake.Count("cannot be stopped"), 0u);
    EXPECT_EQ(sink.FrameCount(), 0u);
}

// A camera behind a firewall that passes RTSP and drops the UDP behind it:
// every session plays, nothing reaches the ports. Two such sessions, and the
// channel takes its stream over the RTSP connection, once, with every
// picture after that.
TEST_F(RtspChannelIntegrationTest, AChannelWhoseUdpIsDroppedSwitchesToInterleavedAfterTwoSilentSessions) {
    constexpr std::size_t kPictures = 50;
    wftest::CFakeDriver fake;
    wftest::CHostSampleAllocator allocator;
    ASSERT_NO_FATAL_FAILURE(StartDigestH264Camera(fake, allocator));
    ASSERT_TRUE(m_control->DropUdp());
    fake.device.ReceiveTimeout = 4000;
    CHostFrameSink sink;
    talvex::CaptureSettings settings;
    settings.FrameIntervalMs = 40;
    settings.Quality = 50;
    settings.Width = 320;
    settings.Height = 240;
    {
        talvex::CH264ChannelRTSP channel(0, &sink, &fake);
        ASSERT_TRUE(channel.Start(settings));
        ASSERT_TRUE(sink.WaitForFrames(kPictures, 60s));
        channel.Stop();
        EXPECT_TRUE(channel.Interleaved());
    }
    const std::string kSwitch =
        "talvex::CBaseRTSPChannel::StopStreaming: No UDP reaches Camera 127.0.0.1; its stream now comes over the "
        "RTSP connection";
    std::size_t switches = 0;
    for (const auto& line : fake.Lines()) {
        if (line.text.find("its stream now comes over") == std::string::npos) continue;
        ++switches;
        EXPECT_EQ(line.level, kLevelInformation);
        EXPECT_EQ(line.text, kSwitch);
    }
    EXPECT_EQ(switches, 1u);
    // Two sessions played over UDP (their RTP and RTCP ports withheld), the
    // third interleaved, and no other.
    std::size_t plays = 0;
    for (const SCamSimRequest& r : m_control->Requests())
        if (r.protocol == "rtsp" && r.method == "PLAY") ++plays;
    EXPECT_EQ(plays, 3u);
    EXPECT_EQ(m_control->WithheldUdpDestinations(), 4);
    EXPECT_EQ(sink.signalLost.load(), 1) << "the silent sessions are one loss";
    const auto frames = sink.Frames();
    ASSERT_GE(frames.size(), kPictures);
    EXPECT_EQ(frames[0].fourcc, kH264.keyFourCC);
    for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_LT(TimeOf(frames[i - 1]), TimeOf(frames[i])) << i;
    ExpectNoPictureLost(frames, 0);
    EXPECT_EQ(allocator.created.load(), allocator.released.load());
}

// A camera that reads the request for a new session and does not answer it:
// a stop, or (every other round) a reconfiguration, ends the wait at once,
// with time-outs of a minute that only an aborted wait returns long before,
// and each round shows the host the same lines and calls.
TEST_F(RtspChannelIntegrationTest, StopAndReconfigureEndAnRtspAnswerTheCameraHolds) {
    constexpr int kRounds = 4;  // each kind twice
    constexpr auto kPrompt = 5s;
    wftest::CFakeDriver fake;
    wftest::CHostSampleAllocator allocator;
    ASSERT_NO_FATAL_FAILURE(StartDigestH264Camera(fake, allocator));
    fake.device.ConnectTimeout = 60000;
    fake.device.ReceiveTimeout = 60000;
    CHostFrameSink sink;
    talvex::CaptureSettings settings;
    settings.FrameIntervalMs = 40;
    settings.Quality = 50;
    settings.Width = 320;
    settings.Height = 240;
    const auto linesOf = [&](std::size_t from) {
        std::vector<std::string> lines;
        const auto all = fake.Lines();
        for (std::size_t i = from; i < all.size(); ++i) lines.push_back(std::to_string(all[i].level) + " " + all[i].text);
        return lines;
    };
    std::vector<std::vector<std::string>> rounds[2];  // the lines of each round, by kind
    {
        talvex::CH264ChannelRTSP channel(0, &sink, &fake);
        for (int round = 0; round < kRounds; ++round) {
            SCOPED_TRACE(round);
            const std::size_t linesBefore = fake.Lines().size();
            ASSERT_TRUE(channel.Start(settings));
            ASSERT_TRUE(sink.WaitForFrames(sink.FrameCount() + 3, 30s));
            ASSERT_TRUE(m_control->HoldRtspNext(0, 1, "DESCRIBE"));
            auto started = std::chrono::steady_clock::now();
            ASSERT_TRUE(channel.Reconfigure(settings));
            EXPECT_LT(std::chrono::steady_clock::now() - started, kPrompt);
            // The new session's request has arrived and waits for its answer.
            const auto deadline = std::chrono::steady_clock::now() + 20s;
            while (m_control->HeldRtspRequests() != 1 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(20ms);
            ASSERT_EQ(m_control->HeldRtspRequests(), 1);
            if (round % 2 == 1) {
                // Reconfigured while the answer is held: the next session
                // streams once the camera answers again.
                started = std::chrono::steady_clock::now();
                auto reconfigure = std::async(std::launch::async, [&] { return channel.Reconfigure(settings); });
                ASSERT_EQ(reconfigure.wait_for(30s), std::future_status::ready);
                EXPECT_TRUE(reconfigure.get());
                EXPECT_LT(std::chrono::steady_clock::now() - started, kPrompt);
                ASSERT_TRUE(m_control->ReleaseRtsp());
                ASSERT_TRUE(sink.WaitForFrames(sink.FrameCount() + 3, 30s));
            }
            const std::size_t pictures = sink.FrameCount();
            started = std::chrono::steady_clock::now();
            auto stop = std::async(std::launch::async, [&] { channel.Stop(); });
            ASSERT_EQ(stop.wait_for(30s), std::future_status::ready);
            EXPECT_LT(std::chrono::steady_clock::now() - started, kPrompt);
            ASSERT_TRUE(m_control->ReleaseRtsp());
            EXPECT_EQ(sink.FrameCount(), pictures) << "no picture after the stop";
            EXPECT_EQ(sink.signalLost.load(), 0);
            rounds[round % 2].push_back(linesOf(linesBefore));
        }
    }
    // The first reconfiguration ends a streaming session, which goes
    // offline; a session that streams again after the held answer comes
    // back online before its stop.
    const std::string online = "3 talvex::CBaseCameraChannel::SetCameraState: Camera 127.0.0.1 is online";
    const std::string offline =
        "3 talvex::CBaseCameraChannel::SetCameraState: Camera 127.0.0.1 is offline. Channel was stopped";
    const std::vector<std::vector<std::string>> expected[2] = {
        {{online, offline}, {online, offline}},
        {{online, offline, online, offline}, {online, offline, online, offline}}};
    EXPECT_EQ(rounds[0], expected[0]);
    EXPECT_EQ(rounds[1], expected[1]);
    EXPECT_EQ(allocator.created.load(), allocator.released.load());
}

// Sends RTP packets from a loopback address of the test's choosing.
class CForeignSender {
public:
    CForeignSender(const char* from, uint16_t toPort) {
        m_socket = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, from, &local.sin_addr);
        bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local);
        m_to.sin_family = AF_INET;
        m_to.sin_port = htons(toPort);
        inet_pton(AF_INET, "127.0.0.1", &m_to.sin_addr);
        m_thread = std::thread([this] {
            // A packet that would break any picture it joined: another
            // sequence range, a fragment of nothing.
            uint8_t packet[16] = {0x80, 96, 0x12, 0x34, 0, 0, 0, 1, 0xDE, 0xAD, 0xBE, 0xEF, 0x7C, 0x85, 0x88, 0x80};
            while (!m_stop.load()) {
                sendto(m_socket, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&m_to), sizeof m_to);
                std::this_thread::sleep_for(20ms);
            }
        });
    }
    ~CForeignSender() {
        m_stop.store(true);
        m_thread.join();
        close(m_socket);
    }

private:
    int m_socket = -1;
    sockaddr_in m_to{};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST_F(RtspChannelIntegrationTest, ABusyPortIsPassedOverAndAForeignSenderIsIgnored) {
    m_camsim = std::make_unique<wftest::CCameraUnderTest>(
        std::vector<std::string>{"--codec", "h264", "--size", "320x240", "--fps", "25"}, 1);
    ASSERT_TRUE(m_camsim->Started()) << m_camsim->Error();
    wftest::CFakeDriver fake;
    wftest::CHostSampleAllocator allocator;
    fake.allocator = &allocator;
    fake.streamType = kH264.streamType;
    fake.device.Port = static_cast<uint16_t>(m_camsim->HttpPort());
    CHostFrameSink sink;
    talvex::CaptureSettings settings;
    settings.FrameIntervalMs = 40;
    settings.Quality = 50;
    settings.Width = 320;
    settings.Height = 240;
    {
        // Traffic from the camera's own address on the first port: somebody
        // else's stream, so the channel takes the next pair.
        CForeignSender busy("127.0.0.1", talvex::CBaseRTPChannel::kFirstRtpPort);
        // A stranger sending to the port the channel will take.
        CForeignSender stranger("127.0.0.2", talvex::CBaseRTPChannel::kFirstRtpPort + 2);
        talvex::CH264ChannelRTSP channel(0, &sink, &fake);
        ASSERT_TRUE(channel.Start(settings));
        ASSERT_TRUE(sink.WaitForFrames(kPicturesWanted, 60s));
        EXPECT_EQ(channel.RtpPort(), talvex::CBaseRTPChannel::kFirstRtpPort + 2);
        channel.Stop();
    }
    ExpectNoPictureLost(sink.Frames(), 0);
    EXPECT_EQ(allocator.created.load(), allocator.released.load());
}

#endif

}  // namespace
