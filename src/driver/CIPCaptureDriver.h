#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "driver/ICustomCreator.h"
#include "base/IDriver.h"
#include "wrenfield/CaptureDriver.h"

namespace talvex {

class CIPVideoCapture;

// The driver object of one device: the host's handle, the settings store and
// logging gateway of everything below it (IDriver), and the channel factory
// (ICustomCreator). Vendor classes supply the I/O and PTZ objects.
class CIPCaptureDriver : public ipcapture::IIPCaptureDriverEx3, public IDriver, public ICustomCreator {
public:
    CIPCaptureDriver();
    virtual ~CIPCaptureDriver();
    CIPCaptureDriver(const CIPCaptureDriver&) = delete;
    CIPCaptureDriver& operator=(const CIPCaptureDriver&) = delete;
    WF_DELETING_DESTRUCTOR(CIPCaptureDriver)

    // IIPCaptureDriver family
    bool Open(ipcapture::IHostDebugSink* sink, ipcapture::IHostSampleAllocator* allocator,
              ipcapture::IIPDriverParams* params) override;
    void Close() override;
    ipcapture::IIPVideoCaptureEx* GetVideoCapture() override;
    ICaptureIOApi* GetIOApi() override;
    void* GetReservedObjectEx() override;
    ipcapture::IIPPTZDriver* GetPTZDriver() override;
    void* GetReservedObjectEx2() override;
    ipcapture::IIPVideoCaptureEx* GetVideoCaptureEx() override;
    ipcapture::IIPPTZDriverEx* GetPTZDriverEx() override;

    // For derived classes.
    virtual bool CreateIOApi() = 0;
    virtual bool CreatePTZDriver() = 0;
    virtual void LogDriverOpened(const std::string& firmwareVersion);

    // IDriver
    void DebugMessage(int32_t level, const char* format, ...) override WF_PRINTF_FORMAT(3, 4);
    std::string GetDriverName() override;
    DEVICE_INFO& GetDeviceInfo() override;
    std::pair<uint32_t, uint32_t> GetIOCounts() override;
    ipcapture::IHostSampleAllocator* GetSampleAllocator() override;
    int32_t GetFlagParam() override;
    int32_t GetStreamType() override;
    uint32_t GetChannelCount() override;
    std::string GetAddressWithPort() override;
    std::string GetCustomParam(unsigned int index) override;
    int32_t GetCustomParamInt(unsigned int index) override;

    // ICustomCreator: no auxiliary channels on this driver.
    ICameraChannel* CreateAuxChannel(unsigned int channelIndex, ipcapture::IHostFrameSink* sink) override;

    // The host version as (major, minor, build, revision), read at Open.
    const std::array<uint16_t, 4>& HostVersion() const { return m_hostVersion; }
    void SetHostVersionForTesting(const std::array<uint16_t, 4>& version) { m_hostVersion = version; }

protected:
    // The service objects; derived classes create the I/O and PTZ objects,
    // whose own types decide how they are destroyed.
    std::unique_ptr<ICaptureIOApi, WfSlotDeleter> m_io;
    std::unique_ptr<ipcapture::IIPPTZDriverEx, WfSlotDeleter> m_ptz;
    int32_t m_flagParam = 0;

private:
    bool OpenGeneric(ipcapture::IHostDebugSink* sink, ipcapture::IHostSampleAllocator* allocator,
                     ipcapture::IIPDriverParams* params);
    void ReadCustomParams(ipcapture::IIPDriverParams& params);
    void ReadHostVersion();
    uint8_t AdjustLevel(int32_t level) const;
    void DestroyServiceObjects();

    ipcapture::IHostDebugSink* m_sink = nullptr;              // not owned; null drops messages
    ipcapture::IHostSampleAllocator* m_allocator = nullptr;   // not owned
    DEVICE_INFO m_device;
    uint32_t m_inputCount = 0;
    uint32_t m_outputCount = 0;
    uint32_t m_channelCount = 0;
    int32_t m_streamType = 0;
    std::map<unsigned int, std::string> m_customParams;
    std::array<uint16_t, 4> m_hostVersion{0, 0, 0, 0};
    std::unique_ptr<CIPVideoCapture> m_videoCapture;
};

}  // namespace talvex
