#include "driver/CWrenfieldDriver.h"

#include "channels/ICameraChannel.h"

namespace talvex {

namespace {
constexpr unsigned int kParamFlag = 1;
constexpr unsigned int kParamTransport = 2;
constexpr unsigned int kParamFirmware = 7;
}  // namespace

CWrenfieldDriver::~CWrenfieldDriver() = default;

bool CWrenfieldDriver::Open(ipcapture::IHostDebugSink* sink, ipcapture::IHostSampleAllocator* allocator,
                            ipcapture::IIPDriverParams* params) {
    try {
        if (!CIPCaptureDriver::Open(sink, allocator, params)) return false;
        GetDeviceInfo().ConnectTimeout = 5000;
        GetDeviceInfo().ReceiveTimeout = 5000;
        const int32_t flag = GetCustomParamInt(kParamFlag);
        if (flag != kCustomParamAbsent) m_flagParam = flag != 0 ? 1 : 0;
        LogDriverOpened(GetCustomParam(kParamFirmware));
        return true;
    } catch (...) {
        return false;
    }
}

// The digital I/O object arrives with the I/O support; until then there is
// nothing to create and opening goes on.
bool CWrenfieldDriver::CreateIOApi() { return true; }

// Likewise for the PTZ handler.
bool CWrenfieldDriver::CreatePTZDriver() { return true; }

ICameraChannel* CWrenfieldDriver::CreateChannel(unsigned int, ipcapture::IHostFrameSink*) {
    (void)kParamTransport;
    return nullptr;
}

}  // namespace talvex
