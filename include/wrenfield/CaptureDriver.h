// Driver side: the driver object the exports create, one per device.
#pragma once

#include "wrenfield/DebugInfo.h"
#include "wrenfield/DriverParams.h"
#include "wrenfield/IO.h"
#include "wrenfield/Media.h"
#include "wrenfield/PTZ.h"
#include "wrenfield/VideoCapture.h"

namespace talvex::ipcapture {

class IIPCaptureDriver : public IDriverObject {
    WF_INTERFACE_DESTRUCTOR(IIPCaptureDriver)
    // The driver keeps sink and allocator (not owned) until Close; sink may be
    // null, in which case messages are dropped.
    virtual bool Open(IHostDebugSink* sink, IHostSampleAllocator* allocator, IIPDriverParams* params) = 0;
    virtual void Close() = 0;
    virtual IIPVideoCaptureEx* GetVideoCapture() = 0;
    virtual talvex::ICaptureIOApi* GetIOApi() = 0;
};

class IIPCaptureDriverEx : public IIPCaptureDriver {
    WF_INTERFACE_DESTRUCTOR(IIPCaptureDriverEx)
    virtual void* GetReservedObjectEx() = 0;  // always null
    virtual IIPPTZDriver* GetPTZDriver() = 0;
};

class IIPCaptureDriverEx2 : public IIPCaptureDriverEx {
    WF_INTERFACE_DESTRUCTOR(IIPCaptureDriverEx2)
    virtual void* GetReservedObjectEx2() = 0;  // always null
    virtual IIPVideoCaptureEx* GetVideoCaptureEx() = 0;
};

class IIPCaptureDriverEx3 : public IIPCaptureDriverEx2 {
    WF_INTERFACE_DESTRUCTOR(IIPCaptureDriverEx3)
    virtual IIPPTZDriverEx* GetPTZDriverEx() = 0;
};

}  // namespace talvex::ipcapture
