// A minimal recorder host: loads the driver library the way a recorder does,
// opens it for one device, prints every message it receives, then closes and
// unloads it.
//
//   wrenfield-smoke [--library PATH] [--address A] [--port N] [--model M]
//                   [--channels N] [--stream-type 1|2|3] [--param N=VALUE]...
//                   [--capture SECONDS --size WxH --output FILE]
//
// With --capture it also starts video input 0 for that long and writes every
// picture it receives, one after another, to FILE (an MJPEG file for an
// MJPEG camera).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/PlatformModule.h"
#include "wrenfield/Wrenfield.h"

namespace {

using namespace talvex::ipcapture;

class CPrintingSink final : public IHostDebugSink {
public:
    void OnDebugMessage(CDebugInfoIf* info) override {
        const char* text = info->GetText();
        std::lock_guard<std::mutex> lock(m_mutex);  // keeps lines whole
        std::printf("[level %u] %s\n", static_cast<unsigned>(info->GetLevel()), text != nullptr ? text : "");
        std::fflush(stdout);
    }

private:
    std::mutex m_mutex;
};

class CConnection final : public IIPConnectionParams {
public:
    const char* GetAddress() override { return address.c_str(); }
    uint16_t GetPort() override { return port; }
    int32_t GetStreamType() override { return streamType; }
    const char* GetUserName() override { return user.c_str(); }
    const char* GetPassword() override { return password.c_str(); }
    std::string address = "127.0.0.1";
    uint16_t port = 80;
    int32_t streamType = kStreamTypeMjpeg;
    std::string user;
    std::string password;
};

class CDevice final : public IIPDeviceParams {
public:
    const char* GetModelName() override { return model.c_str(); }
    uint32_t GetChannelCount() override { return channels; }
    uint32_t GetInputCount() override { return 0; }
    uint32_t GetOutputCount() override { return 0; }
    std::string model = "HLC_15AG";
    uint32_t channels = 1;
};

class CParams final : public IIPDriverParams {
public:
    IIPDeviceParams* GetDeviceParams() override { return &device; }
    IIPConnectionParams* GetConnectionParams() override { return &connection; }
    const char* GetCustomParam(unsigned int index) override {
        auto it = custom.find(index);
        return it == custom.end() ? nullptr : it->second.c_str();
    }
    CConnection connection;
    CDevice device;
    std::map<unsigned int, std::string> custom;
};

// Samples are plain heap buffers; the host keeps nothing of them after the frame call.
class CSample final : public IHostMediaSample {
public:
    explicit CSample(unsigned int size) : buffer(size) {}
    uint8_t* GetBuffer() override { return buffer.data(); }
    void SetDataSize(unsigned int bytes) override { dataSize = bytes; }
    void SetTimeNow() override {}
    void SetTime(const SYSTEMTIME*) override {}
    void SetFourCC(unsigned int code) override { fourcc = code; }
    void SetHeight(unsigned int value) override { height = value; }
    void SetWidth(unsigned int value) override { width = value; }
    void SetSizeClass(unsigned int) override {}
    std::vector<uint8_t> buffer;
    unsigned int dataSize = 0;
    unsigned int fourcc = 0;
    unsigned int width = 0;
    unsigned int height = 0;
};

class CAllocator final : public IHostSampleAllocator {
public:
    IHostMediaSample* CreateSample(unsigned int, unsigned int bufferSize, const char*) override {
        return new CSample(bufferSize);
    }
    void ReleaseSample(IHostMediaSample* sample) override { delete static_cast<CSample*>(sample); }
};

// Writes every picture to the output file and counts them.
class CFileSink final : public IHostFrameSink {
public:
    explicit CFileSink(FILE* file) : m_file(file) {}
    bool OnFrame(IHostMediaSample* sample) override {
        auto* ours = static_cast<CSample*>(sample);
        const std::size_t size = ours->dataSize < ours->buffer.size() ? ours->dataSize : ours->buffer.size();
        if (m_file != nullptr) std::fwrite(ours->buffer.data(), 1, size, m_file);
        if (pictures++ == 0)
            std::printf("first picture: %ux%u, %zu bytes\n", ours->width, ours->height, size);
        bytes += size;
        return true;
    }
    void OnSignalLost() override { ++signalLost; }
    std::atomic<unsigned long> pictures{0};
    std::atomic<unsigned long> bytes{0};
    std::atomic<int> signalLost{0};

private:
    FILE* m_file;
};

class CResolution final : public IIPResolution {
public:
    uint16_t GetWidth() override { return width; }
    uint16_t GetHeight() override { return height; }
    uint16_t width = 640;
    uint16_t height = 480;
};

class CInput final : public IIPInputParams {
public:
    IIPResolution* GetResolution() override { return &resolution; }
    CResolution resolution;
};

class CStream final : public IIPStreamParams {
public:
    uint16_t GetFrameInterval() override { return 40; }
    uint16_t GetQuality() override { return 75; }
    int32_t IsAuxEnabled() override { return 0; }
};

class CCapture final : public IIPCaptureParams {
public:
    IIPInputParams* GetInputParams() override { return &input; }
    IIPStreamParams* GetStreamParams() override { return &stream; }
    CInput input;
    CStream stream;
};

// Starts input 0, lets it run, stops it; true when pictures arrived.
bool Capture(IIPCaptureDriverEx3& driver, CCapture& capture, int seconds, const std::string& output) {
    IIPVideoCaptureEx* video = driver.GetVideoCaptureEx();
    if (video == nullptr) return false;
    FILE* file = output.empty() ? nullptr : std::fopen(output.c_str(), "wb");
    if (!output.empty() && file == nullptr) {
        std::fprintf(stderr, "wrenfield-smoke: cannot write %s\n", output.c_str());
        return false;
    }
    CFileSink sink(file);
    if (!video->StartChannel(0, &sink, &capture)) std::printf("start of input 0 failed\n");
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    video->StopChannel(0);
    if (file != nullptr) std::fclose(file);
    std::printf("captured %lu pictures (%lu bytes) in %d s%s\n", sink.pictures.load(), sink.bytes.load(), seconds,
                output.empty() ? "" : (" into " + output).c_str());
    return sink.pictures.load() > 0;
}

std::string DefaultLibraryPath() { return talvex::platform::ExecutableDirectory() + "../../src/" WF_DRIVER_LIBRARY_NAME; }

int Usage() {
    std::fprintf(stderr,
                 "usage: wrenfield-smoke [--library PATH] [--address A] [--port N] [--model M]\n"
                 "                       [--channels N] [--stream-type 1|2|3] [--param N=VALUE]...\n"
                 "                       [--capture SECONDS --size WxH --output FILE]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string library = DefaultLibraryPath();
    CParams params;
    CCapture capture;
    int captureSeconds = 0;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        if (option == "--library") library = value;
        else if (option == "--address") params.connection.address = value;
        else if (option == "--port") params.connection.port = static_cast<uint16_t>(std::atoi(value.c_str()));
        else if (option == "--model") params.device.model = value;
        else if (option == "--channels") params.device.channels = static_cast<uint32_t>(std::atoi(value.c_str()));
        else if (option == "--stream-type") params.connection.streamType = std::atoi(value.c_str());
        else if (option == "--capture") captureSeconds = std::atoi(value.c_str());
        else if (option == "--output") output = value;
        else if (option == "--size") {
            unsigned width = 0;
            unsigned height = 0;
            if (std::sscanf(value.c_str(), "%ux%u", &width, &height) != 2) return Usage();
            capture.input.resolution.width = static_cast<uint16_t>(width);
            capture.input.resolution.height = static_cast<uint16_t>(height);
        } else if (option == "--param") {
            const auto equals = value.find('=');
            if (equals == std::string::npos) return Usage();
            params.custom[static_cast<unsigned>(std::atoi(value.substr(0, equals).c_str()))] = value.substr(equals + 1);
        } else {
            return Usage();
        }
    }

    talvex::platform::ModuleHandle module = talvex::platform::LoadModule(library);
    if (module == nullptr) {
        std::fprintf(stderr, "wrenfield-smoke: cannot load %s\n", library.c_str());
        return 1;
    }
    using CreateFn = IIPCaptureDriverEx3* (*)();
    using DeleteFn = void (*)(IIPCaptureDriver*);
    auto create = reinterpret_cast<CreateFn>(talvex::platform::FindSymbol(module, "CreateIPCapture"));
    auto destroy = reinterpret_cast<DeleteFn>(talvex::platform::FindSymbol(module, "DeleteIPCapture"));
    if (create == nullptr || destroy == nullptr) {
        std::fprintf(stderr, "wrenfield-smoke: %s lacks the driver exports\n", library.c_str());
        return 1;
    }

    CPrintingSink sink;
    CAllocator allocator;
    IIPCaptureDriverEx3* driver = create();
    const bool opened = driver != nullptr && driver->Open(&sink, &allocator, &params);
    std::printf("open: %s, video inputs: %u\n", opened ? "ok" : "failed",
                opened && driver->GetVideoCapture() != nullptr ? driver->GetVideoCapture()->GetChannelCount() : 0u);
    bool ok = opened;
    if (opened && captureSeconds > 0) ok = Capture(*driver, capture, captureSeconds, output);
    if (driver != nullptr) driver->Close();
    destroy(driver);
    talvex::platform::FreeModule(module);
    return ok ? 0 : 1;
}
