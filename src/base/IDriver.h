// The driver's internal face: every channel, thread and service object reads
// the device settings and logs through it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "base/DEVICE_INFO.h"
#include "base/IDebugMessage.h"
#include "wrenfield/Media.h"

namespace talvex {

// Returned by GetCustomParamInt for an absent or non-numeric parameter.
inline constexpr int32_t kCustomParamAbsent = INT32_MIN;

class IDriver : public IDebugMessage {
public:
    virtual std::string GetDriverName() = 0;
    virtual DEVICE_INFO& GetDeviceInfo() = 0;
    // (digital input count, digital output count)
    virtual std::pair<uint32_t, uint32_t> GetIOCounts() = 0;
    virtual ipcapture::IHostSampleAllocator* GetSampleAllocator() = 0;
    virtual int32_t GetFlagParam() = 0;
    virtual int32_t GetStreamType() = 0;
    virtual uint32_t GetChannelCount() = 0;
    // "address:port"
    virtual std::string GetAddressWithPort() = 0;
    // Empty when absent or given as "(none)".
    virtual std::string GetCustomParam(unsigned int index) = 0;
    virtual int32_t GetCustomParamInt(unsigned int index) = 0;
};

}  // namespace talvex
