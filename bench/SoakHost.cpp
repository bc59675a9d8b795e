// The driver process of bench/soak.sh: loads the driver library as a
// recorder does and streams sixteen inputs of mixed codecs and transports
// from simulated cameras for a given time, while the cameras are put through
// one fault after another. It keeps nothing per picture, so its memory,
// threads and descriptors are the driver's; soak.sh samples them.
//
// Inputs: a sixteen-input video server streams H.264, MJPEG and MPEG-4 over
// RTSP with RTP over UDP (four, three and two inputs) and MJPEG and MPEG-4
// over HTTP (three and two); a second server, whose RTSP refuses UDP, streams
// H.264 and MJPEG interleaved on the RTSP connection (one each).
//
// Faults, in turn, every --fault-every seconds: pause and resume (2 s, or 7 s
// every other time: past the signal-loss time), every connection cut, RTP
// loss / reordering / duplicates, 401 for every request, the RTSP port
// refusing, the first camera killed and started again on its ports. The last minute has no faults: every input must stream in it.
//
// Usage: wf_soak_host --seconds N [--fault-every S] [--driver PATH]
// Prints one line per minute and a summary; exits 1 when an input is silent
// at the end.
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CCamSimControl.h"
#include "CCamSimProcess.h"
#include "CHostCaptureParams.h"
#include "CHostDriverParams.h"
#include "CHostSampleAllocator.h"
#include "platform/PlatformModule.h"
#include "wrenfield/Wrenfield.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace ip = talvex::ipcapture;

// Counts what arrives, keeps nothing.
class CCountingSink final : public ip::IHostFrameSink {
public:
    bool OnFrame(ip::IHostMediaSample*) override {
        ++pictures;
        return true;
    }
    void OnSignalLost() override { ++losses; }
    std::atomic<unsigned long long> pictures{0};
    std::atomic<unsigned long long> losses{0};
};

// Counts the driver's lines by level and keeps none.
class CCountingLog final : public ip::IHostDebugSink {
public:
    void OnDebugMessage(CDebugInfoIf* info) override {
        const int level = info->GetLevel();
        ++lines;
        if (level <= 2) ++failures;
    }
    std::atomic<unsigned long long> lines{0};
    std::atomic<unsigned long long> failures{0};
};

struct SGroup {
    const char* name;
    int camera;        // 0: the UDP server, 1: the interleaved one
    int32_t streamType;
    bool rtsp;
    unsigned int first;  // first input of the server
    unsigned int count;
};

const SGroup kGroups[] = {
    {"H.264 RTSP/UDP", 0, ip::kStreamTypeH264, true, 0, 4},
    {"MJPEG RTSP/UDP", 0, ip::kStreamTypeMjpeg, true, 4, 3},
    {"MPEG-4 RTSP/UDP", 0, ip::kStreamTypeMpeg4, true, 7, 2},
    {"MJPEG HTTP", 0, ip::kStreamTypeMjpeg, false, 9, 3},
    {"MPEG-4 HTTP", 0, ip::kStreamTypeMpeg4, false, 12, 2},
    {"H.264 RTSP interleaved", 1, ip::kStreamTypeH264, true, 0, 1},
    {"MJPEG RTSP interleaved", 1, ip::kStreamTypeMjpeg, true, 1, 1},
};
constexpr unsigned int kServerInputs[] = {16, 2};

// One driver object for one group of inputs, made through the exports.
class CDriverGroup {
public:
    CDriverGroup(const SGroup& group, void* create, void* destroy, int httpPort)
        : m_group(group),
          sinks(group.count),
          m_create(reinterpret_cast<ip::IIPCaptureDriverEx3* (*)()>(create)),
          m_delete(reinterpret_cast<void (*)(ip::IIPCaptureDriver*)>(destroy)) {
        params.connection.address = "127.0.0.1";
        params.connection.port = static_cast<uint16_t>(httpPort);
        params.connection.streamType = group.streamType;
        params.connection.userName = "admin";
        params.connection.password = "soak-secret";
        params.device.channelCount = kServerInputs[group.camera];
        params.device.modelName = "HWS-16";
        params.custom[1] = "(none)";
        params.custom[2] = group.rtsp ? "1" : "0";
        capture.input.resolution = wftest::CHostResolution(320, 240);
        capture.stream.frameIntervalMs = 100;
        capture.stream.quality = 50;
    }
    ~CDriverGroup() { Close(); }

    bool Open() {
        m_driver = m_create();
        if (m_driver == nullptr || !m_driver->Open(&log, &allocator, &params)) return false;
        for (unsigned int i = 0; i < m_group.count; ++i)
            if (!m_driver->GetVideoCaptureEx()->StartChannel(m_group.first + i, &sinks[i], &capture)) return false;
        return true;
    }
    void Close() {
        if (m_driver == nullptr) return;
        m_driver->Close();
        m_delete(m_driver);
        m_driver = nullptr;
    }

    const SGroup& m_group;
    CCountingLog log;
    wftest::CHostSampleAllocator allocator;
    wftest::CHostDriverParams params;
    wftest::CHostCaptureParams capture;
    std::vector<CCountingSink> sinks;

private:
    ip::IIPCaptureDriverEx3* (*m_create)();
    void (*m_delete)(ip::IIPCaptureDriver*);
    ip::IIPCaptureDriverEx3* m_driver = nullptr;
};

std::vector<std::string> CameraOptions(unsigned int inputs, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> options{"--channels", std::to_string(inputs), "--size", "320x240", "--fps", "10",
                                     "--auth", "digest", "--user", "admin", "--password", "soak-secret"};
    options.insert(options.end(), extra.begin(), extra.end());
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    long seconds = 0, faultEvery = 15;
    std::string driverPath = WF_DRIVER_LIBRARY_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--seconds") seconds = std::atol(argv[i + 1]);
        else if (name == "--fault-every") faultEvery = std::atol(argv[i + 1]);
        else if (name == "--driver") driverPath = argv[i + 1];
    }
    if (seconds <= 60 || faultEvery <= 0) {
        std::fprintf(stderr, "usage: wf_soak_host --seconds N (more than 60) [--fault-every S] [--driver PATH]\n");
        return 2;
    }
    auto module = talvex::platform::LoadModule(driverPath.c_str());
    void* create = module ? talvex::platform::FindSymbol(module, "CreateIPCapture") : nullptr;
    void* destroy = module ? talvex::platform::FindSymbol(module, "DeleteIPCapture") : nullptr;
    if (create == nullptr || destroy == nullptr) {
        std::fprintf(stderr, "soak: cannot load the driver from %s\n", driverPath.c_str());
        return 2;
    }

    std::unique_ptr<CCamSimProcess> cameras[2];
    cameras[0] = std::make_unique<CCamSimProcess>(CameraOptions(kServerInputs[0]));
    cameras[1] = std::make_unique<CCamSimProcess>(CameraOptions(kServerInputs[1]));
    for (const auto& camera : cameras)
        if (!camera->Started()) {
            std::fprintf(stderr, "soak: no camera: %s\n", camera->Error().c_str());
            return 2;
        }
    const std::vector<std::string> samePorts{"--http-port", std::to_string(cameras[0]->HttpPort()), "--rtsp-port",
                                             std::to_string(cameras[0]->RtspPort()), "--control-port",
                                             std::to_string(cameras[0]->ControlPort())};
    CCamSimControl controls[2] = {CCamSimControl(cameras[0]->ControlPort()), CCamSimControl(cameras[1]->ControlPort())};
    controls[1].SetUdpAllowed(false);  // its sessions stream over the RTSP connection

    std::vector<std::unique_ptr<CDriverGroup>> groups;
    for (const SGroup& group : kGroups) {
        groups.push_back(std::make_unique<CDriverGroup>(group, create, destroy, cameras[group.camera]->HttpPort()));
        if (!groups.back()->Open()) {
            std::fprintf(stderr, "soak: %s did not start\n", group.name);
            return 2;
        }
    }
    std::printf("soak: pid %d, 16 inputs, %ld s, a fault every %ld s\n", static_cast<int>(getpid()), seconds, faultEvery);
    std::fflush(stdout);

    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    const auto quietFrom = end - 60s;
    auto nextFault = start + std::chrono::seconds(faultEvery);
    auto nextReport = start + 60s;
    int fault = 0;
    unsigned long long faults = 0;
    std::vector<unsigned long long> atQuiet;
    const auto total = [&] {
        std::vector<unsigned long long> counts;
        for (const auto& group : groups)
            for (const auto& sink : group->sinks) counts.push_back(sink.pictures.load());
        return counts;
    };
    while (Clock::now() < end) {
        std::this_thread::sleep_for(200ms);
        const auto now = Clock::now();
        if (now >= quietFrom && atQuiet.empty()) {
            controls[0].Reset();
            controls[1].Reset();
            controls[1].SetUdpAllowed(false);
            atQuiet = total();
        }
        if (now >= nextFault && now < quietFrom - 15s) {
            nextFault += std::chrono::seconds(faultEvery);
            ++faults;
            switch (fault++ % 6) {
                case 0:
                    // Every other pause outlasts the signal-loss time, so the
                    // loss report, the offline line and the reconnect are
                    // soaked as well as a short stall.
                    for (auto& control : controls) control.Pause();
                    std::this_thread::sleep_for((fault / 6) % 2 == 0 ? 2s : 7s);
                    for (auto& control : controls) control.Resume();
                    break;
                case 1:
                    for (auto& control : controls) control.DropConnections();
                    break;
                case 2:
                    for (auto& control : controls) control.SetRtpFaults(5, 5, 5, static_cast<unsigned>(faults));
                    std::this_thread::sleep_for(8s);
                    for (auto& control : controls) control.SetRtpFaults(0, 0, 0);
                    break;
                case 3:
                    for (auto& control : controls) control.FailFor(401, 3000, "all");
                    for (auto& control : controls) control.DropConnections();
                    break;
                case 4:
                    controls[0].SetRtspRefused(true);
                    std::this_thread::sleep_for(4s);
                    controls[0].SetRtspRefused(false);
                    break;
                case 5: {
                    cameras[0]->Kill();
                    std::this_thread::sleep_for(500ms);
                    cameras[0] = std::make_unique<CCamSimProcess>(CameraOptions(kServerInputs[0], samePorts));
                    if (!cameras[0]->Started())
                        std::fprintf(stderr, "soak: camera did not come back: %s\n", cameras[0]->Error().c_str());
                    break;
                }
            }
        }
        if (now >= nextReport) {
            nextReport += 60s;
            unsigned long long pictures = 0, losses = 0, lines = 0;
            for (const auto& group : groups) {
                lines += group->log.lines.load();
                for (const auto& sink : group->sinks) {
                    pictures += sink.pictures.load();
                    losses += sink.losses.load();
                }
            }
            // Heap bytes in use beside the resident size tell a leak (both
            // rise) from an allocator that keeps freed pages (only RSS rises).
            std::printf("soak: %lld s, %llu faults, %llu pictures, %llu losses, %llu log lines, heap in use %zu KiB\n",
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(now - start).count()),
                        faults, pictures, losses, lines, mallinfo2().uordblks / 1024);
            std::fflush(stdout);
        }
    }
    const auto atEnd = total();
    int silent = 0;
    std::size_t index = 0;
    for (const auto& group : groups) {
        unsigned long long pictures = 0, losses = 0;
        for (unsigned int i = 0; i < group->m_group.count; ++i, ++index) {
            pictures += atEnd[index];
            losses += group->sinks[i].losses.load();
            if (atQuiet.empty() || atEnd[index] <= atQuiet[index]) {
                std::printf("soak: %s input %u got no picture in the last minute\n", group->m_group.name,
                            group->m_group.first + i);
                ++silent;
            }
        }
        std::printf("soak: %-24s %u inputs, %llu pictures, %llu losses, %llu log lines (%llu failures)\n",
                    group->m_group.name, group->m_group.count, pictures, losses, group->log.lines.load(),
                    group->log.failures.load());
    }
    const auto closing = Clock::now();
    for (auto& group : groups) group->Close();
    std::printf("soak: %llu faults; Close of all drivers took %lld ms; %s\n", faults,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closing).count()),
                silent == 0 ? "every input streamed in the last minute" : "some inputs were silent");
    groups.clear();
    talvex::platform::FreeModule(module);
    return silent == 0 ? 0 : 1;
}
