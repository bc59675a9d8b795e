// Host side: the connection and device description read once by Open.
#pragma once

#include "wrenfield/Platform.h"

namespace talvex::ipcapture {

// Stream types of IIPConnectionParams::GetStreamType.
enum : int32_t { kStreamTypeMjpeg = 1, kStreamTypeMpeg4 = 2, kStreamTypeH264 = 3 };

class IIPConnectionParams {
    WF_INTERFACE_DESTRUCTOR(IIPConnectionParams)
    virtual const char* GetAddress() = 0;
    virtual uint16_t GetPort() = 0;
    virtual void Reserved3() {}
    virtual int32_t GetStreamType() = 0;
    virtual const char* GetUserName() = 0;
    virtual const char* GetPassword() = 0;
};

class IIPDeviceParams {
    WF_INTERFACE_DESTRUCTOR(IIPDeviceParams)
    virtual void Reserved1() {}
    virtual const char* GetModelName() = 0;
    virtual uint32_t GetChannelCount() = 0;
    virtual void Reserved4() {}
    virtual uint32_t GetInputCount() = 0;
    virtual uint32_t GetOutputCount() = 0;
};

class IIPDriverParams {
    WF_INTERFACE_DESTRUCTOR(IIPDriverParams)
    virtual IIPDeviceParams* GetDeviceParams() = 0;
    virtual IIPConnectionParams* GetConnectionParams() = 0;
    virtual void Reserved3() {}
    // Numbered from 1; null for the first index that does not exist.
    virtual const char* GetCustomParam(unsigned int index) = 0;
};

}  // namespace talvex::ipcapture
