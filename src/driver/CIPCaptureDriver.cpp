#include "driver/CIPCaptureDriver.h"

#include <cstdarg>
#include <cstdio>
#include <new>
#include <vector>

#include "channels/ICameraChannel.h"
#include "driver/CDebugInfo.h"
#include "driver/CIPVideoCapture.h"
#include "driver/CustomParams.h"
#include "platform/PlatformModule.h"

namespace talvex {

namespace {

constexpr const char* kDriverName = "Wrenfield";
constexpr const char* kHostCoreModule = "recengine.dll";
// Assumed when the host core's version cannot be read.
constexpr uint16_t kFallbackHostMajor = 5;
constexpr uint16_t kFallbackHostMinor = 12;

std::string TextOrEmpty(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

bool VersionBelow(const std::array<uint16_t, 4>& version, uint16_t major, uint16_t minor) {
    return version[0] < major || (version[0] == major && version[1] < minor);
}

}  // namespace

CIPCaptureDriver::CIPCaptureDriver() = default;

CIPCaptureDriver::~CIPCaptureDriver() {
    DestroyServiceObjects();
    m_customParams.clear();
}

void CIPCaptureDriver::DestroyServiceObjects() {
    m_videoCapture.reset();
    m_io.reset();
    m_ptz.reset();
}

bool CIPCaptureDriver::Open(ipcapture::IHostDebugSink* sink, ipcapture::IHostSampleAllocator* allocator,
                            ipcapture::IIPDriverParams* params) {
    try {
        return OpenGeneric(sink, allocator, params);
    } catch (...) {
        return false;
    }
}

bool CIPCaptureDriver::OpenGeneric(ipcapture::IHostDebugSink* sink, ipcapture::IHostSampleAllocator* allocator,
                                   ipcapture::IIPDriverParams* params) {
    // Without its parameter objects the host has described no device.
    if (params == nullptr) return false;
    ipcapture::IIPConnectionParams* connection = params->GetConnectionParams();
    if (connection == nullptr) return false;
    m_streamType = connection->GetStreamType();
    m_sink = sink;
    m_allocator = allocator;

    ipcapture::IIPDeviceParams* device = params->GetDeviceParams();
    if (device == nullptr) return false;
    m_inputCount = device->GetInputCount();
    m_outputCount = device->GetOutputCount();
    m_channelCount = device->GetChannelCount();
    m_device.Address = TextOrEmpty(connection->GetAddress());
    m_device.Port = connection->GetPort();
    m_device.UserName = TextOrEmpty(connection->GetUserName());
    m_device.Password = TextOrEmpty(connection->GetPassword());
    m_device.ModelName = TextOrEmpty(device->GetModelName());
    // What an earlier device taught about its login says nothing of this one.
    m_device.TaughtAuthScheme = std::make_shared<std::atomic<uint32_t>>(0);

    ReadCustomParams(*params);
    ReadHostVersion();

    if (!CreateIOApi()) return false;
    if (!CreatePTZDriver()) return false;
    if (!m_videoCapture)
        m_videoCapture.reset(new (std::nothrow) CIPVideoCapture(static_cast<ICustomCreator*>(this), m_channelCount));
    return true;
}

void CIPCaptureDriver::ReadCustomParams(ipcapture::IIPDriverParams& params) {
    // Indices run from 1; the first missing one ends the list.
    for (unsigned int index = 1; index != 0; ++index) {
        const char* value = params.GetCustomParam(index);
        if (value == nullptr) break;
        m_customParams[index] = value;
    }
}

void CIPCaptureDriver::ReadHostVersion() {
    std::array<uint16_t, 4> version{0, 0, 0, 0};
    if (!platform::ModuleFileVersion(kHostCoreModule, version)) {
        version = {kFallbackHostMajor, kFallbackHostMinor, 0, 0};
    }
    m_hostVersion = version;
}

void CIPCaptureDriver::Close() {
    try {
        DestroyServiceObjects();
    } catch (...) {
    }
}

ipcapture::IIPVideoCaptureEx* CIPCaptureDriver::GetVideoCapture() { return m_videoCapture.get(); }
ICaptureIOApi* CIPCaptureDriver::GetIOApi() { return m_io.get(); }
void* CIPCaptureDriver::GetReservedObjectEx() { return nullptr; }
ipcapture::IIPPTZDriver* CIPCaptureDriver::GetPTZDriver() { return m_ptz.get(); }
void* CIPCaptureDriver::GetReservedObjectEx2() { return nullptr; }
ipcapture::IIPVideoCaptureEx* CIPCaptureDriver::GetVideoCaptureEx() { return m_videoCapture.get(); }
ipcapture::IIPPTZDriverEx* CIPCaptureDriver::GetPTZDriverEx() { return m_ptz.get(); }

void CIPCaptureDriver::LogDriverOpened(const std::string& firmwareVersion) {
    const std::string name = GetDriverName();
    if (name.empty() || m_device.ModelName.empty()) return;
    std::string text = "DRIVER IS OPENED (name: " + name + ", device model: " + m_device.ModelName;
    if (!firmwareVersion.empty()) text += ", FW: " + firmwareVersion;
    text += ", address: " + m_device.Address + ":" + std::to_string(m_device.Port) + ")";
    // Built from host and device texts: delivered as it stands.
    DebugMessage(kLevelDeviceSummary, "%s", text.c_str());
}

uint8_t CIPCaptureDriver::AdjustLevel(int32_t level) const {
    if (VersionBelow(m_hostVersion, 5, 12)) {
        if (level == kLevelInformation || level == kLevelDeviceSummary) level = kLevelWarning;
    } else if (VersionBelow(m_hostVersion, 6, 3)) {
        if (level == kLevelDeviceSummary) level = kLevelInformation;
    }
    return static_cast<uint8_t>(level);
}

void CIPCaptureDriver::DebugMessage(int32_t level, const char* format, ...) {
    if (format == nullptr) return;
    std::vector<char> text;
    va_list arguments;
    va_start(arguments, format);
    va_list counting;
    va_copy(counting, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, counting);
    va_end(counting);
    if (length >= 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, arguments);
    }
    va_end(arguments);
    if (length < 0 || level == kLevelNeverDelivered) return;
    ipcapture::IHostDebugSink* sink = m_sink;
    if (sink == nullptr) return;
    CDebugInfo info(AdjustLevel(level), text.data());
    try {
        sink->OnDebugMessage(&info);
    } catch (...) {
        // A host sink that throws loses its message, not the driver's thread.
    }
}

std::string CIPCaptureDriver::GetDriverName() { return kDriverName; }
DEVICE_INFO& CIPCaptureDriver::GetDeviceInfo() { return m_device; }
std::pair<uint32_t, uint32_t> CIPCaptureDriver::GetIOCounts() { return {m_inputCount, m_outputCount}; }
ipcapture::IHostSampleAllocator* CIPCaptureDriver::GetSampleAllocator() { return m_allocator; }
int32_t CIPCaptureDriver::GetFlagParam() { return m_flagParam; }
int32_t CIPCaptureDriver::GetStreamType() { return m_streamType; }
uint32_t CIPCaptureDriver::GetChannelCount() { return m_channelCount; }

std::string CIPCaptureDriver::GetAddressWithPort() {
    return m_device.Address + ":" + std::to_string(m_device.Port);
}

std::string CIPCaptureDriver::GetCustomParam(unsigned int index) {
    auto it = m_customParams.find(index);
    if (it == m_customParams.end() || it->second == kCustomParamNoneText) return {};
    return it->second;
}

int32_t CIPCaptureDriver::GetCustomParamInt(unsigned int index) {
    auto it = m_customParams.find(index);
    if (it == m_customParams.end()) return kCustomParamAbsent;
    return ParseCustomParamInt(it->second);
}

ICameraChannel* CIPCaptureDriver::CreateAuxChannel(unsigned int, ipcapture::IHostFrameSink*) { return nullptr; }

}  // namespace talvex
