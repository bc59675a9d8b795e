#pragma once

#include "driver/CIPCaptureDriver.h"

namespace talvex {

// The driver for Hunt / Asoni cameras and video servers.
class CWrenfieldDriver final : public CIPCaptureDriver {
public:
    CWrenfieldDriver() = default;
    ~CWrenfieldDriver() override;

    bool Open(ipcapture::IHostDebugSink* sink, ipcapture::IHostSampleAllocator* allocator,
              ipcapture::IIPDriverParams* params) override;
    bool CreateIOApi() override;
    bool CreatePTZDriver() override;
    ICameraChannel* CreateChannel(unsigned int channelIndex, ipcapture::IHostFrameSink* sink) override;
};

}  // namespace talvex
