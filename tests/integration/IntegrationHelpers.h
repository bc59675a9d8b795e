// What the end-to-end tests share: the driver loaded through its exports and
// an ffprobe check of delivered pictures.
#pragma once

#include <string>
#include <vector>

#include "CHostDebugSink.h"
#include "CHostDriverParams.h"
#include "CHostFrameSink.h"
#include "CHostSampleAllocator.h"
#include "platform/PlatformModule.h"
#include "wrenfield/Wrenfield.h"

namespace wftest {

// The driver library as a host sees it: loaded by path, one driver object
// created through the exports and deleted with the harness.
class CLoadedDriver {
public:
    CLoadedDriver();
    ~CLoadedDriver();
    CLoadedDriver(const CLoadedDriver&) = delete;
    CLoadedDriver& operator=(const CLoadedDriver&) = delete;

    bool Open(CHostDriverParams& params);
    talvex::ipcapture::IIPCaptureDriverEx3* Driver() { return m_driver; }
    talvex::ipcapture::IIPVideoCaptureEx* Video() { return m_driver->GetVideoCaptureEx(); }

    CHostDebugSink sink;
    CHostSampleAllocator allocator;

private:
    talvex::platform::ModuleHandle m_module = nullptr;
    talvex::ipcapture::IIPCaptureDriverEx3* m_driver = nullptr;
    void (*m_delete)(talvex::ipcapture::IIPCaptureDriver*) = nullptr;
};

// Writes the pictures one after another as an MJPEG file and has ffprobe
// decode every one; returns ffprobe's error output ("" when all decoded) and
// the number of frames it decoded.
std::string ProbeJpegPictures(const std::vector<SFrame>& frames, int& decodedFrames, int& width, int& height);

}  // namespace wftest
