#include "driver/CWrenfieldDriver.h"

#include <new>

#include "channels/CCodecChannelsRTSP.h"
#include "channels/CMjpegHttpChannel.h"
#include "channels/CMpegHttpChannel.h"
#include "io/CHuntIO.h"
#include "ptz/CHuntPTZHandler.h"

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

bool CWrenfieldDriver::CreateIOApi() {
    try {
        if (!m_io) m_io.reset(new (std::nothrow) CHuntIO(this));
    } catch (...) {
        // Out of memory while building its state: Open refuses the device.
    }
    return static_cast<bool>(m_io);
}

bool CWrenfieldDriver::CreatePTZDriver() {
    if (!m_ptz) m_ptz.reset(new (std::nothrow) CHuntPTZHandler(this, GetChannelCount()));
    return static_cast<bool>(m_ptz);
}

ICameraChannel* CWrenfieldDriver::CreateChannel(unsigned int channelIndex, ipcapture::IHostFrameSink* sink) {
    try {
        const bool rtspTransport = GetCustomParamInt(kParamTransport) == 1;
        switch (GetStreamType()) {
            case ipcapture::kStreamTypeMjpeg:
                if (rtspTransport) return new (std::nothrow) CMJPEGChannelRTSP(channelIndex, sink, this);
                return new (std::nothrow) CMjpegHttpChannel(channelIndex, sink, this);
            case ipcapture::kStreamTypeMpeg4:
                if (rtspTransport) return new (std::nothrow) CMPEGChannelRTSP(channelIndex, sink, this);
                return new (std::nothrow) CMpegHttpChannel(channelIndex, sink, this);
            case ipcapture::kStreamTypeH264:
                return new (std::nothrow) CH264ChannelRTSP(channelIndex, sink, this);
            default:
                return nullptr;
        }
    } catch (...) {
        return nullptr;
    }
}

}  // namespace talvex
