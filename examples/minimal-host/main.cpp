// The smallest recorder host: loads the Wrenfield library, opens it for one
// MJPEG camera, takes pictures from input 0 until it has enough, and says
// how many arrived.
//
//   minimal-host ADDRESS PORT [PICTURES]   (user admin, password admin)
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "wrenfield/Wrenfield.h"

using namespace talvex::ipcapture;

namespace {

class CSample final : public IHostMediaSample {
public:
    explicit CSample(unsigned int size) : m_buffer(size) {}
    uint8_t* GetBuffer() override { return m_buffer.data(); }
    void SetDataSize(unsigned int bytes) override { size = bytes; }
    void SetTimeNow() override {}
    void SetTime(const SYSTEMTIME*) override {}
    void SetFourCC(unsigned int) override {}
    void SetHeight(unsigned int) override {}
    void SetWidth(unsigned int) override {}
    void SetSizeClass(unsigned int) override {}
    unsigned int size = 0;

private:
    std::vector<uint8_t> m_buffer;
};

class CHost final : public IHostDebugSink, public IHostSampleAllocator, public IHostFrameSink {
public:
    void OnDebugMessage(CDebugInfoIf* info) override {
        if (info->GetText() != nullptr) std::printf("driver: %s\n", info->GetText());
    }
    IHostMediaSample* CreateSample(unsigned int, unsigned int size, const char*) override { return new CSample(size); }
    void ReleaseSample(IHostMediaSample* sample) override { delete static_cast<CSample*>(sample); }
    bool OnFrame(IHostMediaSample* sample) override {
        bytes += static_cast<CSample*>(sample)->size;
        ++pictures;
        return true;
    }
    void OnSignalLost() override {}
    std::atomic<unsigned long> pictures{0};
    std::atomic<unsigned long> bytes{0};
};

class CParams final : public IIPDriverParams, public IIPConnectionParams, public IIPDeviceParams {
public:
    CParams(const char* address, uint16_t port) : m_address(address), m_port(port) {}
    IIPDeviceParams* GetDeviceParams() override { return this; }
    IIPConnectionParams* GetConnectionParams() override { return this; }
    const char* GetCustomParam(unsigned int) override { return nullptr; }
    const char* GetAddress() override { return m_address; }
    uint16_t GetPort() override { return m_port; }
    int32_t GetStreamType() override { return kStreamTypeMjpeg; }
    const char* GetUserName() override { return "admin"; }
    const char* GetPassword() override { return "admin"; }
    const char* GetModelName() override { return "HLC_15AG"; }
    uint32_t GetChannelCount() override { return 1; }
    uint32_t GetInputCount() override { return 0; }
    uint32_t GetOutputCount() override { return 0; }

private:
    const char* m_address;
    uint16_t m_port;
};

class CSettings final : public IIPCaptureParams, public IIPInputParams, public IIPResolution, public IIPStreamParams {
public:
    IIPInputParams* GetInputParams() override { return this; }
    IIPStreamParams* GetStreamParams() override { return this; }
    IIPResolution* GetResolution() override { return this; }
    uint16_t GetWidth() override { return 320; }
    uint16_t GetHeight() override { return 240; }
    uint16_t GetFrameInterval() override { return 40; }
    uint16_t GetQuality() override { return 75; }
    int32_t IsAuxEnabled() override { return 0; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: minimal-host ADDRESS PORT [PICTURES]\n");
        return 2;
    }
    const unsigned long wanted = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 10;
    void* library = dlopen(WRENFIELD_LIBRARY, RTLD_NOW);
    if (library == nullptr) {
        std::fprintf(stderr, "minimal-host: %s\n", dlerror());
        return 1;
    }
    auto create = reinterpret_cast<IIPCaptureDriverEx3* (*)()>(dlsym(library, "CreateIPCaptureEx3"));
    auto destroy = reinterpret_cast<void (*)(IDriverObject*)>(dlsym(library, "DeleteIPCaptureEx3"));
    if (create == nullptr || destroy == nullptr) return 1;

    CHost host;
    CParams params(argv[1], static_cast<uint16_t>(std::atoi(argv[2])));
    CSettings settings;
    IIPCaptureDriverEx3* driver = create();
    if (driver == nullptr || !driver->Open(&host, &host, &params)) return 1;
    IIPVideoCaptureEx* video = driver->GetVideoCaptureEx();
    if (video != nullptr && video->StartChannel(0, &host, &settings)) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (host.pictures < wanted && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        video->StopChannel(0);
    }
    driver->Close();
    destroy(driver);
    dlclose(library);
    std::printf("minimal-host: %lu pictures, %lu bytes\n", host.pictures.load(), host.bytes.load());
    return host.pictures >= wanted ? 0 : 1;
}
