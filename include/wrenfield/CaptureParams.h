// Host side: the capture settings of one video input, read during
// StartChannel and ChangeSettings.
#pragma once

#include "wrenfield/Platform.h"

namespace talvex::ipcapture {

class IIPResolution {
    WF_INTERFACE_DESTRUCTOR(IIPResolution)
    virtual uint16_t GetWidth() = 0;
    virtual uint16_t GetHeight() = 0;
};

class IIPInputParams {
    WF_INTERFACE_DESTRUCTOR(IIPInputParams)
    virtual void Reserved1() {}
    virtual void Reserved2() {}
    virtual IIPResolution* GetResolution() = 0;
};

class IIPStreamParams {
    WF_INTERFACE_DESTRUCTOR(IIPStreamParams)
    virtual uint16_t GetFrameInterval() = 0;  // milliseconds between pictures
    virtual void Reserved2() {}
    virtual uint16_t GetQuality() = 0;
    virtual int32_t IsAuxEnabled() = 0;  // non-zero: an auxiliary stream is wanted
};

class IIPCaptureParams {
    WF_INTERFACE_DESTRUCTOR(IIPCaptureParams)
    virtual IIPInputParams* GetInputParams() = 0;
    virtual IIPStreamParams* GetStreamParams() = 0;
};

}  // namespace talvex::ipcapture
