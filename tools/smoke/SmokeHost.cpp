// A minimal recorder host: loads the driver library the way a recorder does,
// opens it for one device, prints every message it receives, then closes and
// unloads it.
//
//   wrenfield-smoke [--library PATH] [--address A] [--port N] [--model M]
//                   [--channels N] [--stream-type 1|2|3] [--param N=VALUE]...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

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

std::string DefaultLibraryPath() { return talvex::platform::ExecutableDirectory() + "../../src/" WF_DRIVER_LIBRARY_NAME; }

int Usage() {
    std::fprintf(stderr,
                 "usage: wrenfield-smoke [--library PATH] [--address A] [--port N] [--model M]\n"
                 "                       [--channels N] [--stream-type 1|2|3] [--param N=VALUE]...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string library = DefaultLibraryPath();
    CParams params;
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
        else if (option == "--param") {
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
    IIPCaptureDriverEx3* driver = create();
    const bool opened = driver != nullptr && driver->Open(&sink, nullptr, &params);
    std::printf("open: %s, video inputs: %u\n", opened ? "ok" : "failed",
                opened && driver->GetVideoCapture() != nullptr ? driver->GetVideoCapture()->GetChannelCount() : 0u);
    if (driver != nullptr) driver->Close();
    destroy(driver);
    talvex::platform::FreeModule(module);
    return opened ? 0 : 1;
}
