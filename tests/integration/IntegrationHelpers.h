// What the end-to-end tests share: the driver loaded through its exports and
// an ffprobe check of delivered pictures.
#pragma once

#include <cstddef>
#include <memory>
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

// The simulated camera of one test. On Linux the test starts its own
// simulator with the given options; the Windows build's tests (under Wine)
// use the simulators their ctest wrapper started on loopback, found through
// WF_CAMSIM_<channels>CH="http-port,control-port", and reset them first.
class CCameraUnderTest {
public:
    CCameraUnderTest(const std::vector<std::string>& options, int channels);
    ~CCameraUnderTest();
    CCameraUnderTest(const CCameraUnderTest&) = delete;
    CCameraUnderTest& operator=(const CCameraUnderTest&) = delete;

    bool Started() const { return m_httpPort > 0; }
    const std::string& Error() const { return m_error; }
    int HttpPort() const { return m_httpPort; }
    int ControlPort() const { return m_controlPort; }

private:
    struct SProcess;
    std::unique_ptr<SProcess> m_process;
    int m_httpPort = 0;
    int m_controlPort = 0;
    std::string m_error;
};

// True where ffmpeg can check pictures (not inside Wine).
bool CanProbePictures();

// Writes the pictures one after another as an MJPEG file and has ffprobe
// decode every one; returns ffprobe's error output ("" when all decoded) and
// the number of frames it decoded.
std::string ProbeJpegPictures(const std::vector<SFrame>& frames, int& decodedFrames, int& width, int& height);
// The same for any elementary stream FFmpeg reads by its format name ("m4v",
// "h264", "mjpeg").
std::string ProbePictures(const std::vector<SFrame>& frames, const std::string& format, int& decodedFrames, int& width,
                          int& height);
// Decodes the pictures with FFmpeg and reads back the frame counter the
// simulator stamps into each (its code strip across the top, modulo 65536).
std::string ReadFrameCounters(const std::vector<SFrame>& frames, const std::string& format, int width, int height,
                              std::vector<uint32_t>& counters);

#if !defined(_WIN32)
// The entries of a directory: /proc/self/task and /proc/self/fd count a
// process's threads and descriptors.
std::size_t EntriesOf(const char* directory);
#endif

}  // namespace wftest
