// The camera description pages read into the capability record and written
// into a host's capability sink. The input holds the pages one after
// another, each ended by a zero byte, in the order the query reads them:
// multimedia, camera type, PTZ, network. The driver cuts a page at its first
// zero byte too, so a captured page is a valid input as it stands.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/CHuntCameraProperties.h"

namespace {

namespace ip = talvex::ipcapture;

// A sink that only checks what it is given is readable text.
class CSink final : public ip::IHostCapabilitySink, ip::IHostCapabilityProperty, ip::IHostResolutionList,
                    ip::IHostFrameRateList {
public:
    void SetCapability(uint32_t, int32_t) override {}
    ip::IHostCapabilityProperty* AddProperty(uint32_t) override { return this; }
    void SetConnectionText(uint32_t, const char* text) override { Read(text); }
    void SetDeviceName(const char* name) override { Read(name); }
    ip::IHostResolutionList* GetResolutionList() override { return this; }
    ip::IHostFrameRateList* GetFrameRateList(uint32_t) override { return this; }
    void SetName(const char* name) override { Read(name); }
    void SetAttributes(uint32_t, uint32_t) override {}
    void SetValue(const char* value) override { Read(value); }
    void AddResolution(const char* text, uint32_t width, uint32_t height, uint32_t) override {
        Read(text);
        if (width == 0 || height == 0 || width > 65535 || height > 65535) __builtin_trap();
    }
    void AddInterval(uint32_t) override {}
    void SetDefaultInterval(uint32_t) override {}

private:
    static void Read(const char* text) {
        if (text == nullptr) __builtin_trap();
        volatile std::size_t length = std::char_traits<char>::length(text);
        (void)length;
    }
};

std::string NextPage(const uint8_t* data, std::size_t size, std::size_t& pos) {
    std::size_t end = pos;
    while (end < size && data[end] != 0) ++end;
    std::string page(reinterpret_cast<const char*>(data + pos), end - pos);
    pos = end < size ? end + 1 : size;
    return page;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::size_t pos = 0;
    const std::string media = NextPage(data, size, pos);
    const std::string type = NextPage(data, size, pos);
    const std::string ptz = NextPage(data, size, pos);
    const std::string network = NextPage(data, size, pos);

    talvex::DEVICE_INFO device;
    device.Address = "127.0.0.1";
    device.Port = 80;
    talvex::CHuntCameraProperties properties(device, 0);
    // The query's order and its early ends, without the network.
    bool ok = properties.ReadMediaPage(media) && properties.Identify(type) && properties.ReadChannelCount(type);
    if (ok) {
        properties.ReadIoCounts(type);
        ok = properties.ReadCodecs(type) && properties.ReadResolutions(type) && properties.ReadRtspFlag(type);
    }
    properties.ReadPtzPage(ptz);
    properties.ReadNetworkPage(network);
    for (const talvex::SResolution& resolution : properties.Resolutions)
        if (resolution.Width == 0 || resolution.Height == 0) __builtin_trap();
    if (ok) {
        CSink sink;
        properties.ExportCapabilities(sink);
    }
    return 0;
}
