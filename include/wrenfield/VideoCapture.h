// Driver side: the video inputs of one device.
#pragma once

#include "wrenfield/CaptureParams.h"
#include "wrenfield/Media.h"

namespace talvex::ipcapture {

class IIPVideoCapture {
    WF_INTERFACE_DESTRUCTOR(IIPVideoCapture)
    virtual uint32_t GetChannelCount() = 0;
    virtual bool StartChannel(unsigned int index, IHostFrameSink* sink, IIPCaptureParams* params) = 0;
    // True when anything was running on that input.
    virtual bool StopChannel(unsigned int index) = 0;
    virtual bool ChangeSettings(unsigned int index, IIPResolution* resolution,
                                unsigned int frameIntervalMs) = 0;
    // No such object is offered by this driver: always null.
    virtual void* GetReservedObject() = 0;
    // state: 0 receiving, 1 unused, 2 signal lost or stopped. reserved is set
    // to 0 and text to "" when given.
    virtual bool GetChannelStatus(unsigned int index, int32_t* state, int32_t* reserved, char* text,
                                  unsigned int textSize) = 0;
    // Not supported by this driver: always false.
    virtual bool ReservedQueryA(unsigned int index, void* argument, unsigned int size) = 0;
    virtual bool ReservedQueryB(unsigned int index, void* argument, unsigned int size) = 0;
};

class IIPVideoCaptureEx : public IIPVideoCapture {
    WF_INTERFACE_DESTRUCTOR(IIPVideoCaptureEx)
    // Channel capability queries; false when the input has no channel.
    virtual bool QueryChannelOptionB(unsigned int index) = 0;
    virtual bool QueryChannelOptionA(unsigned int index) = 0;
};

}  // namespace talvex::ipcapture
