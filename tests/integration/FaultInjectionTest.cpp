// A camera and a network at their worst, end to end through the exports: a
// camera that pauses, is killed and comes back on its ports, an RTSP server
// that refuses connections, RTP packets lost, reordered and duplicated, 401
// answers for a while, every probe port busy, a host sink that throws or
// blocks, and Close while every request hangs. After each fault the pictures
// come back within the driver's own time-outs, Close stays inside them, and
// many rounds of the fault leave no thread, descriptor or heap behind.
//
// Rounds are made short (small pictures, brief faults ended through the
// simulator's control port) so that a hundred of them are cheap; the faults
// that only a reconnection of an RTSP session mends, which waits for a quiet
// port every time, run once at their real pace beside the quick rounds.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CCamSimControl.h"
#include "CCamSimProcess.h"
#include "CHostCaptureParams.h"
#include "CHostIOSink.h"
#include "IntegrationHelpers.h"
#include "channels/CBaseRTPChannel.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kDefaultRounds = 10;
constexpr bool kHeapIsMeasurable = false;  // the sanitizer's allocator keeps its own books
#else
constexpr int kDefaultRounds = 100;
constexpr bool kHeapIsMeasurable = true;
#endif

// WF_FAULT_ROUNDS overrides the number of quick rounds of each fault.
int Rounds() {
    if (const char* text = std::getenv("WF_FAULT_ROUNDS"); text != nullptr && std::atoi(text) > 0)
        return std::atoi(text);
    return kDefaultRounds;
}

// A stream that ends is opened again at once; a silent one is given up after
// the receive time-out.
constexpr auto kHttpRecovery = 5s;
// An RTSP channel notices the loss within the receive time-out, reconnects on
// its next pass (a second), waits for a quiet port pair (two seconds) and
// opens a session within the connect time-out; with the first picture after
// a key picture, fifteen seconds is the outer bound.
constexpr auto kRtspRecovery = 15s;
// Each channel's stop is bounded by twice the connect time-out.
constexpr auto kCloseBound = 10s;
// Allocator noise between two measurements at the same point of a round.
// Each thread's cache of freed blocks counts as in use and fills slowly; ctest
// turns those caches off (GLIBC_TUNABLES), which leaves some tens of KiB of noise.
long long HeapTolerance() {
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    const bool cachesOff = tunables != nullptr && std::string(tunables).find("tcache_count=0") != std::string::npos;
    return cachesOff ? 128 * 1024 : 512 * 1024;
}

struct SUsage {
    std::size_t threads = 0;
    std::size_t descriptors = 0;
    std::string openFiles;  // what the descriptors lead to, for a failure's message
    long long heapBytes = 0;
    long long rssKiB = 0;
};

SUsage Measure() {
    SUsage usage;
    usage.threads = wftest::EntriesOf("/proc/self/task");
    usage.descriptors = wftest::EntriesOf("/proc/self/fd");
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(dir)) {
            char target[256] = {};
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            if (readlink(link.c_str(), target, sizeof target - 1) > 0)
                usage.openFiles += std::string("\n  ") + entry->d_name + " -> " + target;
        }
        closedir(dir);
    }
    usage.heapBytes = static_cast<long long>(mallinfo2().uordblks);
    std::ifstream statm("/proc/self/statm");
    long long pages = 0, resident = 0;
    statm >> pages >> resident;
    usage.rssKiB = resident * (sysconf(_SC_PAGESIZE) / 1024);
    return usage;
}

void Report(const char* fault, int rounds, const SUsage& before, const SUsage& after, const SUsage& firstRound,
            const SUsage& lastRound) {
    std::printf("[ measured ] %s, %d rounds: threads %zu -> %zu, descriptors %zu -> %zu, heap in use %+lld bytes "
                "from an early round to the last, RSS %lld -> %lld KiB\n",
                fault, rounds, before.threads, after.threads, before.descriptors, after.descriptors,
                lastRound.heapBytes - firstRound.heapBytes, before.rssKiB, after.rssKiB);
}

// Nothing left over once the driver closed, and no heap growth from round to round.
void ExpectNoGrowth(const char* fault, int rounds, const SUsage& before, const SUsage& firstRound,
                    const SUsage& lastRound) {
    const SUsage after = Measure();
    Report(fault, rounds, before, after, firstRound, lastRound);
    EXPECT_EQ(after.threads, before.threads) << fault;
    EXPECT_EQ(after.descriptors, before.descriptors) << fault << "\nbefore:" << before.openFiles << "\nafter:" << after.openFiles;
    if (kHeapIsMeasurable) {
        EXPECT_LE(lastRound.heapBytes - firstRound.heapBytes, HeapTolerance()) << fault;
    }
}

// A host sink that counts what it takes and keeps pictures only when asked,
// so that a long run holds no more memory at its end than at its start.
class CCountingSink final : public talvex::ipcapture::IHostFrameSink {
public:
    enum class EMode { Accept, Throw, Block };

    bool OnFrame(talvex::ipcapture::IHostMediaSample* sample) override {
        ++calls;
        const EMode current = mode.load();
        if (current == EMode::Throw) throw std::runtime_error("host sink failure");
        if (current == EMode::Block) {
            std::unique_lock<std::mutex> lock(m_mutex);
            ++blocked;
            m_changed.notify_all();
            m_changed.wait_for(lock, kBlockFor, [&] { return mode.load() != EMode::Block; });
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_accepted;
        if (keep.load()) {
            auto* own = static_cast<wftest::CHostMediaSample*>(sample);
            wftest::SFrame frame;
            frame.data = own->Data();
            frame.width = own->width;
            frame.height = own->height;
            m_kept.push_back(std::move(frame));
        }
        m_changed.notify_all();
        return true;
    }
    void OnSignalLost() override { ++signalLost; }

    std::size_t Accepted() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_accepted;
    }
    // Waits until more pictures than `than` were taken.
    bool WaitForMore(std::size_t than, std::size_t more, Clock::duration timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_accepted >= than + more; });
    }
    bool WaitForBlocked(int count, Clock::duration timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return blocked >= count; });
    }
    void SetMode(EMode next) {
        std::lock_guard<std::mutex> lock(m_mutex);
        mode.store(next);
        m_changed.notify_all();
    }
    std::vector<wftest::SFrame> Kept() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_kept;
    }

    std::atomic<EMode> mode{EMode::Accept};
    std::atomic<bool> keep{false};
    std::atomic<int> calls{0};
    std::atomic<int> signalLost{0};
    // A blocking sink returns once told to, or after this at the latest.
    static constexpr std::chrono::milliseconds kBlockFor{2000};
    int blocked = 0;  // guarded by m_mutex

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_accepted = 0;
    std::vector<wftest::SFrame> m_kept;
};

std::string Transcript(const wftest::CHostDebugSink& sink) {
    std::string text;
    for (const auto& message : sink.Messages()) text += "\n  [" + std::to_string(message.level) + "] " + message.text;
    return text;
}

// One host's view of one input of the camera: a driver opened through the
// exports, its capture settings and its sink.
struct SHostInput {
    SHostInput(int32_t streamType, bool rtsp, unsigned int inputIndex, unsigned int channels, int httpPort,
               uint16_t frameIntervalMs) : input(inputIndex) {
        params.connection.address = "127.0.0.1";
        params.connection.port = static_cast<uint16_t>(httpPort);
        params.connection.streamType = streamType;
        params.connection.userName = "admin";
        params.connection.password = "secret";
        params.device.channelCount = channels;
        params.device.modelName = channels > 1 ? "HWS-04HD" : "HLC_15AG";
        params.custom[1] = "(none)";
        params.custom[2] = rtsp ? "1" : "0";
        capture.input.resolution = wftest::CHostResolution(160, 120);
        capture.stream.frameIntervalMs = frameIntervalMs;
        capture.stream.quality = 50;
    }
    bool Open() { return driver.Open(params); }
    bool Start() { return driver.Video()->StartChannel(input, &sink, &capture); }
    int32_t State() {
        int32_t state = -1, reserved = 0;
        driver.Video()->GetChannelStatus(input, &state, &reserved, nullptr, 0);
        return state;
    }

    const unsigned int input;
    wftest::CLoadedDriver driver;
    wftest::CHostDriverParams params;
    wftest::CHostCaptureParams capture;
    CCountingSink sink;
};

// The usage at one point of a round, without the host's own log of the
// driver's messages, which grows by design.
SUsage MeasureWithoutLogs(std::initializer_list<SHostInput*> hosts) {
    for (SHostInput* host : hosts) host->driver.sink.Clear();
    return Measure();
}

std::vector<std::string> CameraOptions(const char* codec, int fps, const std::vector<std::string>& ports = {}) {
    std::vector<std::string> options{"--codec", codec, "--size", "160x120", "--fps", std::to_string(fps),
                                     "--fps-max", std::to_string(std::max(fps, 25)), "--auth", "digest",
                                     "--user", "admin", "--password", "secret"};
    options.insert(options.end(), ports.begin(), ports.end());
    return options;
}

class FaultInjectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Runtimes start helper threads of their own with a process's first
        // thread: start and join one before anything is counted.
        std::thread([] {}).join();
    }

    // A simulator of its own for each test, channels inputs wide.
    void StartCamera(const std::vector<std::string>& options, int channels) {
        std::vector<std::string> all = options;
        all.insert(all.end(), {"--channels", std::to_string(channels)});
        camera = std::make_unique<CCamSimProcess>(all);
        ASSERT_TRUE(camera->Started()) << camera->Error();
        control = std::make_unique<CCamSimControl>(camera->ControlPort());
        before = Measure();
    }

    SUsage before;
    std::unique_ptr<CCamSimProcess> camera;
    std::unique_ptr<CCamSimControl> control;
};

// Pauses shorter than the signal-loss time, on an RTSP and an HTTP input at
// once: pictures resume each time and no loss is reported. (A pause long
// enough to lose the signal is checked in the RTSP channel suite.)
TEST_F(FaultInjectionTest, PausedCameraResumesEveryRound) {
    const int rounds = Rounds();
    ASSERT_NO_FATAL_FAILURE(StartCamera(CameraOptions("mjpeg", 50), 2));
    SHostInput rtsp(talvex::ipcapture::kStreamTypeH264, true, 0, 2, camera->HttpPort(), 20);
    SHostInput http(talvex::ipcapture::kStreamTypeMjpeg, false, 1, 2, camera->HttpPort(), 20);
    SUsage first, last;
    {
        ASSERT_TRUE(rtsp.Open() && http.Open());
        ASSERT_TRUE(rtsp.Start() && http.Start());
        ASSERT_TRUE(rtsp.sink.WaitForMore(0, 1, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        ASSERT_TRUE(http.sink.WaitForMore(0, 1, kHttpRecovery)) << Transcript(http.driver.sink);
        for (int round = 0; round < rounds; ++round) {
            ASSERT_TRUE(control->Pause());
            std::this_thread::sleep_for(30ms);
            const std::size_t rtspBefore = rtsp.sink.Accepted(), httpBefore = http.sink.Accepted();
            ASSERT_TRUE(control->Resume());
            // The H.264 stream resumes at a key picture.
            ASSERT_TRUE(rtsp.sink.WaitForMore(rtspBefore, 1, kHttpRecovery)) << round;
            ASSERT_TRUE(http.sink.WaitForMore(httpBefore, 2, kHttpRecovery)) << round;
            if (round == std::min(rounds, 5) - 1) first = MeasureWithoutLogs({&rtsp, &http});
        }
        last = MeasureWithoutLogs({&rtsp, &http});
        EXPECT_EQ(rtsp.sink.signalLost.load() + http.sink.signalLost.load(), 0);
        rtsp.driver.Driver()->Close();
        http.driver.Driver()->Close();
    }
    ExpectNoGrowth("pause / resume", rounds, before, first, last);
}

// The camera's process is killed and started again on the same ports: both
// inputs come back. Then the quick rounds: every connection of the
// camera cut at once, as a killed camera cuts them, while the RTSP input
// reconnects behind them; once they end it is back within its recovery time.
TEST_F(FaultInjectionTest, KilledCameraComesBackOnTheSamePorts) {
    const int rounds = Rounds();
    ASSERT_NO_FATAL_FAILURE(StartCamera(CameraOptions("mjpeg", 25), 2));
    const std::vector<std::string> samePorts{"--http-port", std::to_string(camera->HttpPort()), "--rtsp-port",
                                             std::to_string(camera->RtspPort()), "--control-port",
                                             std::to_string(camera->ControlPort())};
    SHostInput rtsp(talvex::ipcapture::kStreamTypeH264, true, 0, 2, camera->HttpPort(), 40);
    SHostInput http(talvex::ipcapture::kStreamTypeMjpeg, false, 1, 2, camera->HttpPort(), 40);
    SUsage first, last;
    {
        ASSERT_TRUE(rtsp.Open() && http.Open());
        ASSERT_TRUE(rtsp.Start() && http.Start());
        ASSERT_TRUE(rtsp.sink.WaitForMore(0, 1, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        ASSERT_TRUE(camera->Kill());
        std::this_thread::sleep_for(300ms);  // the driver meets closed ports meanwhile
        const std::size_t rtspAtKill = rtsp.sink.Accepted(), httpAtKill = http.sink.Accepted();
        auto options = CameraOptions("mjpeg", 25, samePorts);
        options.insert(options.end(), {"--channels", "2"});
        camera = std::make_unique<CCamSimProcess>(options);
        ASSERT_TRUE(camera->Started()) << camera->Error();
        const auto restarted = Clock::now();
        ASSERT_TRUE(http.sink.WaitForMore(httpAtKill, 2, kHttpRecovery));
        ASSERT_TRUE(rtsp.sink.WaitForMore(rtspAtKill, 2, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        std::printf("[ measured ] RTSP input back %lld ms after the camera restarted\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - restarted).count()));
        for (int round = 0; round < rounds; ++round) {
            const std::size_t httpBefore = http.sink.Accepted();
            ASSERT_TRUE(control->DropConnections());
            ASSERT_TRUE(http.sink.WaitForMore(httpBefore, 2, kHttpRecovery)) << round;
            if (round == std::min(rounds, 5) - 1) first = MeasureWithoutLogs({&rtsp, &http});
        }
        last = MeasureWithoutLogs({&rtsp, &http});
        const std::size_t rtspBefore = rtsp.sink.Accepted();
        ASSERT_TRUE(rtsp.sink.WaitForMore(rtspBefore, 2, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        rtsp.driver.Driver()->Close();
        http.driver.Driver()->Close();
    }
    ExpectNoGrowth("killed camera / closed ports", rounds, before, first, last);
}

// The RTSP server refuses connections while the web pages answer: the
// session ends, the loss is reported once however often the reconnection
// fails, and the input streams again once the server accepts.
TEST_F(FaultInjectionTest, RefusingRtspServerIsLostOnceAndComesBack) {
    ASSERT_NO_FATAL_FAILURE(StartCamera(CameraOptions("h264", 25), 1));
    SHostInput rtsp(talvex::ipcapture::kStreamTypeH264, true, 0, 1, camera->HttpPort(), 40);
    {
        ASSERT_TRUE(rtsp.Open());
        ASSERT_TRUE(rtsp.Start());
        ASSERT_TRUE(rtsp.sink.WaitForMore(0, 1, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        ASSERT_TRUE(control->SetRtspRefused(true));
        ASSERT_TRUE(rtsp.driver.sink.WaitFor("Signal was lost", 10s)) << Transcript(rtsp.driver.sink);
        // A reconnection sets the camera up and then meets the refused port.
        const auto log = control->Requests();
        const std::uint64_t seq = log.empty() ? 0 : log.back().seq;
        ASSERT_TRUE(control->WaitForRequest(
            [&](const SCamSimRequest& r) { return r.seq > seq && r.path == "/SetMultimedia.cgi"; }, 10s));
        std::this_thread::sleep_for(3s);
        const std::size_t pictures = rtsp.sink.Accepted();
        ASSERT_TRUE(control->SetRtspRefused(false));
        ASSERT_TRUE(rtsp.sink.WaitForMore(pictures, 2, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        EXPECT_EQ(rtsp.sink.signalLost.load(), 1);
        EXPECT_EQ(rtsp.driver.sink.Count("Signal was lost"), 1u) << Transcript(rtsp.driver.sink);
        EXPECT_EQ(rtsp.driver.sink.Count("is online"), 2u) << Transcript(rtsp.driver.sink);
        rtsp.driver.Driver()->Close();
    }
    const SUsage after = Measure();
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.descriptors, before.descriptors);
}

// Rounds of 5 % packet loss, of reordering and of duplicated packets (in
// turn) on the camera's RTP sender, each ended after a few pictures: the
// input goes on, and once the packets are clean again every picture is
// whole, decodable and in order.
TEST_F(FaultInjectionTest, LostReorderedAndDuplicatedPacketsLeavePicturesWholeOnceTheyStop) {
    const int rounds = Rounds();
    ASSERT_NO_FATAL_FAILURE(StartCamera(CameraOptions("mjpeg", 50), 1));
    SHostInput rtsp(talvex::ipcapture::kStreamTypeMjpeg, true, 0, 1, camera->HttpPort(), 20);
    SUsage first, last;
    {
        ASSERT_TRUE(rtsp.Open());
        ASSERT_TRUE(rtsp.Start());
        ASSERT_TRUE(rtsp.sink.WaitForMore(0, 1, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        static const char* const kCounters[] = {"rtp_dropped", "rtp_reordered", "rtp_duplicated"};
        for (int round = 0; round < rounds; ++round) {
            const int kind = round % 3;
            const long long before = control->StatusNumber(kCounters[kind]);
            ASSERT_TRUE(control->SetRtpFaults(kind == 0 ? 5 : 0, kind == 1 ? 10 : 0, kind == 2 ? 10 : 0,
                                              static_cast<unsigned>(round + 1)));
            // A round ends once its fault has hit at least one packet: a few
            // packets at a few percent can all pass untouched.
            const auto until = std::chrono::steady_clock::now() + 5s;
            std::this_thread::sleep_for(40ms);
            while (control->StatusNumber(kCounters[kind]) <= before && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(10ms);
            ASSERT_TRUE(control->SetRtpFaults(0, 0, 0));
            ASSERT_GT(control->StatusNumber(kCounters[kind]), before) << kCounters[kind] << " in round " << round;
            const std::size_t pictures = rtsp.sink.Accepted();
            ASSERT_TRUE(rtsp.sink.WaitForMore(pictures, 2, kHttpRecovery)) << round;
            if (round == std::min(rounds, 5) - 1) first = MeasureWithoutLogs({&rtsp});
        }
        last = MeasureWithoutLogs({&rtsp});
        rtsp.sink.keep.store(true);
        const std::size_t pictures = rtsp.sink.Accepted();
        ASSERT_TRUE(rtsp.sink.WaitForMore(pictures, 30, kHttpRecovery));
        rtsp.driver.Driver()->Close();
        EXPECT_EQ(rtsp.sink.signalLost.load(), 0);
    }
    ExpectNoGrowth("RTP loss / reordering / duplicates", rounds, before, first, last);
    const auto frames = rtsp.sink.Kept();
    ASSERT_GE(frames.size(), 30u);
    int decoded = 0, width = 0, height = 0;
    EXPECT_EQ(wftest::ProbeJpegPictures(frames, decoded, width, height), "");
    EXPECT_EQ(decoded, static_cast<int>(frames.size()));
    std::vector<uint32_t> counters;
    EXPECT_EQ(wftest::ReadFrameCounters(frames, "mjpeg", 160, 120, counters), "");
    ASSERT_EQ(counters.size(), frames.size());
    for (std::size_t i = 1; i < counters.size(); ++i)
        EXPECT_EQ(counters[i], (counters[i - 1] + 1) & 0xFFFFu) << "picture " << i;
}

// Every request is answered 401 for a while, the streams cut: the HTTP inputs
// keep asking and stream again once the camera lets them in; the RTSP input,
// whose reconnections meet the same answers, is back within its recovery
// time after the last round. A failed attempt is followed by the next one
// only a second later (a camera that locks accounts must not be hammered),
// so the rounds are spread over the sixteen HTTP inputs of a video server:
// each round is one refused and mended stream per input.
TEST_F(FaultInjectionTest, UnauthorizedAnswersForAWhileAreOutlasted) {
    constexpr unsigned int kHttpInputs = 16;
    const int rounds = (Rounds() + static_cast<int>(kHttpInputs) - 1) / static_cast<int>(kHttpInputs);
    ASSERT_NO_FATAL_FAILURE(StartCamera(CameraOptions("mjpeg", 10), kHttpInputs + 1));
    SHostInput rtsp(talvex::ipcapture::kStreamTypeH264, true, 0, kHttpInputs + 1, camera->HttpPort(), 100);
    SHostInput http(talvex::ipcapture::kStreamTypeMjpeg, false, 1, kHttpInputs + 1, camera->HttpPort(), 100);
    std::vector<CCountingSink> sinks(kHttpInputs);
    const auto everyInputStreams = [&](const std::vector<std::size_t>& counts, const char* when, int round) {
        for (unsigned int i = 0; i < kHttpInputs; ++i)
            if (!sinks[i].WaitForMore(counts[i], 1, kHttpRecovery + 1s)) {
                ADD_FAILURE() << "input " << i + 1 << " " << when << " round " << round;
                return false;
            }
        return true;
    };
    const auto counts = [&] {
        std::vector<std::size_t> now;
        for (const auto& sink : sinks) now.push_back(sink.Accepted());
        return now;
    };
    SUsage first, last;
    {
        ASSERT_TRUE(rtsp.Open() && http.Open());
        ASSERT_TRUE(rtsp.Start());
        for (unsigned int i = 0; i < kHttpInputs; ++i)
            ASSERT_TRUE(http.driver.Video()->StartChannel(i + 1, &sinks[i], &http.capture));
        ASSERT_TRUE(everyInputStreams(std::vector<std::size_t>(kHttpInputs, 0), "at the start", 0));
        ASSERT_TRUE(rtsp.sink.WaitForMore(0, 1, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        // Two rounds first, in which the sixteen inputs' buffers grow to the
        // pictures' size, then the counted ones.
        constexpr int kWarmUp = 2;
        for (int round = 0; round < kWarmUp + rounds; ++round) {
            ASSERT_TRUE(control->FailFor(401, 100, "all"));
            ASSERT_TRUE(control->DropConnections());
            std::this_thread::sleep_for(100ms);
            ASSERT_TRUE(everyInputStreams(counts(), "after", round));
            if (round == kWarmUp - 1) first = MeasureWithoutLogs({&rtsp, &http});
        }
        last = MeasureWithoutLogs({&rtsp, &http});
        const auto log = control->Requests();
        EXPECT_GE(std::count_if(log.begin(), log.end(), [](const SCamSimRequest& r) { return r.status == 401; }),
                  static_cast<long>(kHttpInputs) * rounds);
        const std::size_t rtspBefore = rtsp.sink.Accepted();
        ASSERT_TRUE(rtsp.sink.WaitForMore(rtspBefore, 2, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        rtsp.driver.Driver()->Close();
        http.driver.Driver()->Close();
    }
    ExpectNoGrowth("401 for a while", rounds * static_cast<int>(kHttpInputs), before, first, last);
}

// Every port the RTSP input may take is held by another program: each start
// finds none, the input stays unconnected and says nothing more, and a stop
// returns at once; once the ports are free it streams within its recovery
// time.
TEST_F(FaultInjectionTest, AllProbePortsBusy) {
    const int rounds = Rounds();
    ASSERT_NO_FATAL_FAILURE(StartCamera(CameraOptions("h264", 25), 1));
    SHostInput rtsp(talvex::ipcapture::kStreamTypeH264, true, 0, 1, camera->HttpPort(), 40);
    std::vector<int> held;
    for (int port = talvex::CBaseRTPChannel::kFirstRtpPort; port <= talvex::CBaseRTPChannel::kLastRtpPort; port += 2) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << "port " << port;
        held.push_back(fd);
    }
    const SUsage withPortsHeld = Measure();
    SUsage first, last;
    {
        ASSERT_TRUE(rtsp.Open());
        auto longest = Clock::duration::zero();
        for (int round = 0; round < rounds; ++round) {
            ASSERT_TRUE(control->ClearRequests());
            ASSERT_TRUE(rtsp.Start());
            // The camera is set up first; the port search follows at once.
            ASSERT_TRUE(control->WaitForRequest([](const SCamSimRequest& r) { return r.path == "/SetMultimedia.cgi"; },
                                                5s))
                << round;
            std::this_thread::sleep_for(20ms);
            EXPECT_EQ(rtsp.State(), 2) << round;  // not receiving
            const auto stopping = Clock::now();
            ASSERT_TRUE(rtsp.driver.Video()->StopChannel(0));
            longest = std::max(longest, Clock::now() - stopping);
            // Nothing to tell the host: the input never went online.
            if (round == std::min(rounds, 5) - 1) first = Measure();
        }
        last = Measure();
        EXPECT_LT(longest, kCloseBound);
        for (const SCamSimRequest& r : control->Requests()) EXPECT_NE(r.protocol, "rtsp");
        EXPECT_EQ(rtsp.sink.Accepted(), 0u);
        EXPECT_EQ(rtsp.driver.sink.Count("is online") + rtsp.driver.sink.Count("Signal was lost"), 0u)
            << Transcript(rtsp.driver.sink);
        ASSERT_TRUE(rtsp.Start());
        std::this_thread::sleep_for(1500ms);  // a few passes that find no port
        for (const int fd : held) close(fd);
        held.clear();
        ASSERT_TRUE(rtsp.sink.WaitForMore(0, 2, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        rtsp.driver.Driver()->Close();
    }
    for (const int fd : held) close(fd);
    ExpectNoGrowth("all probe ports busy", rounds, before, first, last);
    EXPECT_EQ(withPortsHeld.descriptors, before.descriptors + (talvex::CBaseRTPChannel::kLastRtpPort -
                                                               talvex::CBaseRTPChannel::kFirstRtpPort) / 2 + 1);
}

// The host's sink throws for a picture, round after round, on the RTSP
// receiver thread and on the HTTP capture thread: the inputs go on. Then it
// blocks for seconds: pictures come again once it returns, and a stop while
// it blocks ends soon after it returns.
TEST_F(FaultInjectionTest, HostSinkThatThrowsOrBlocks) {
    const int rounds = Rounds();
    ASSERT_NO_FATAL_FAILURE(StartCamera(CameraOptions("mjpeg", 50), 2));
    SHostInput rtsp(talvex::ipcapture::kStreamTypeMjpeg, true, 0, 2, camera->HttpPort(), 20);
    SHostInput http(talvex::ipcapture::kStreamTypeMjpeg, false, 1, 2, camera->HttpPort(), 20);
    SUsage first, last;
    {
        ASSERT_TRUE(rtsp.Open() && http.Open());
        ASSERT_TRUE(rtsp.Start() && http.Start());
        ASSERT_TRUE(rtsp.sink.WaitForMore(0, 1, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        for (int round = 0; round < rounds; ++round) {
            const int rtspCalls = rtsp.sink.calls.load(), httpCalls = http.sink.calls.load();
            rtsp.sink.SetMode(CCountingSink::EMode::Throw);
            http.sink.SetMode(CCountingSink::EMode::Throw);
            const auto deadline = Clock::now() + kHttpRecovery;
            while ((rtsp.sink.calls.load() == rtspCalls || http.sink.calls.load() == httpCalls) && Clock::now() < deadline)
                std::this_thread::sleep_for(2ms);
            const std::size_t rtspBefore = rtsp.sink.Accepted(), httpBefore = http.sink.Accepted();
            rtsp.sink.SetMode(CCountingSink::EMode::Accept);
            http.sink.SetMode(CCountingSink::EMode::Accept);
            ASSERT_TRUE(rtsp.sink.WaitForMore(rtspBefore, 1, kHttpRecovery)) << round;
            ASSERT_TRUE(http.sink.WaitForMore(httpBefore, 1, kHttpRecovery)) << round;
            if (round == std::min(rounds, 5) - 1) first = MeasureWithoutLogs({&rtsp, &http});
        }
        last = MeasureWithoutLogs({&rtsp, &http});
        EXPECT_EQ(rtsp.sink.signalLost.load() + http.sink.signalLost.load(), 0);
        // Blocking for two seconds, shorter than the signal-loss time of
        // either kind of input.
        rtsp.sink.SetMode(CCountingSink::EMode::Block);
        http.sink.SetMode(CCountingSink::EMode::Block);
        ASSERT_TRUE(rtsp.sink.WaitForBlocked(1, kHttpRecovery) && http.sink.WaitForBlocked(1, kHttpRecovery));
        std::this_thread::sleep_for(2s);
        const std::size_t rtspBefore = rtsp.sink.Accepted(), httpBefore = http.sink.Accepted();
        rtsp.sink.SetMode(CCountingSink::EMode::Accept);
        http.sink.SetMode(CCountingSink::EMode::Accept);
        ASSERT_TRUE(rtsp.sink.WaitForMore(rtspBefore, 3, kRtspRecovery)) << Transcript(rtsp.driver.sink);
        ASSERT_TRUE(http.sink.WaitForMore(httpBefore, 3, kHttpRecovery));
        // Stopped while the sink blocks: the stop waits for the host to
        // return (it cannot take the picture back) and not much longer.
        rtsp.sink.SetMode(CCountingSink::EMode::Block);
        http.sink.SetMode(CCountingSink::EMode::Block);
        ASSERT_TRUE(rtsp.sink.WaitForBlocked(2, kHttpRecovery) && http.sink.WaitForBlocked(2, kHttpRecovery));
        const auto stopping = Clock::now();
        EXPECT_TRUE(rtsp.driver.Video()->StopChannel(0));
        EXPECT_TRUE(http.driver.Video()->StopChannel(1));
        EXPECT_LT(Clock::now() - stopping, 2s + kCloseBound);
        rtsp.driver.Driver()->Close();
        http.driver.Driver()->Close();
    }
    ExpectNoGrowth("host sink throws / blocks", rounds, before, first, last);
}

// Close while every camera request hangs: four HTTP inputs of a video
// server and its digital I/O wait for answers that take a minute, and Close
// returns well inside the stop bound every round. Twice the I/O poll hangs
// too, and once an RTSP input whose camera holds every RTSP answer.
TEST_F(FaultInjectionTest, CloseWhileEveryRequestHangs) {
    const int rounds = Rounds();
    constexpr unsigned int kInputs = 4;
    ASSERT_NO_FATAL_FAILURE(StartCamera(CameraOptions("mjpeg", 10), static_cast<int>(kInputs)));
    SUsage first, last;
    auto longest = Clock::duration::zero();
    {
        SHostInput host(talvex::ipcapture::kStreamTypeMjpeg, false, 0, kInputs, camera->HttpPort(), 100);
        host.params.device.inputCount = 1;
        host.params.device.outputCount = 1;
        wftest::CHostIOSink io;
        std::vector<CCountingSink> sinks(kInputs);
        for (int round = 0; round < rounds; ++round) {
            ASSERT_TRUE(host.Open()) << round;
            ASSERT_TRUE(host.driver.Driver()->GetIOApi()->SetSink(&io));
            ASSERT_TRUE(host.driver.Driver()->GetIOApi()->Start()) << round;
            ASSERT_TRUE(control->DelayNext(60000, 1000000));
            for (unsigned int input = 0; input < kInputs; ++input)
                ASSERT_TRUE(host.driver.Video()->StartChannel(input, &sinks[input], &host.capture));
            const int waiting = kInputs + (round % 50 == 1 ? 1 : 0);  // with the I/O poll now and then
            const auto deadline = Clock::now() + 5s;
            while (control->DelayedRequests() < waiting && Clock::now() < deadline) std::this_thread::sleep_for(2ms);
            ASSERT_GE(control->DelayedRequests(), waiting) << round;
            const auto closing = Clock::now();
            host.driver.Driver()->Close();
            longest = std::max(longest, Clock::now() - closing);
            ASSERT_TRUE(control->Reset());
            if (round == std::min(rounds, 5) - 1) first = MeasureWithoutLogs({&host});
        }
        last = MeasureWithoutLogs({&host});
    }
    std::printf("[ measured ] longest Close with every request hanging: %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(longest).count()));
    EXPECT_LT(longest, kCloseBound);
    ExpectNoGrowth("Close while every request hangs", rounds, before, first, last);

    // The RTSP answers held: the input's next session waits on DESCRIBE.
    SHostInput rtsp(talvex::ipcapture::kStreamTypeH264, true, 0, kInputs, camera->HttpPort(), 100);
    ASSERT_TRUE(rtsp.Open());
    ASSERT_TRUE(control->HoldRtspNext(0, 1000000));
    ASSERT_TRUE(rtsp.Start());
    const auto deadline = Clock::now() + 10s;
    while (control->HeldRtspRequests() < 1 && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
    ASSERT_GE(control->HeldRtspRequests(), 1);
    const auto closing = Clock::now();
    rtsp.driver.Driver()->Close();
    EXPECT_LT(Clock::now() - closing, kCloseBound);
    EXPECT_TRUE(control->ReleaseRtsp());
}

}  // namespace
