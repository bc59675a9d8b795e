// The functions the driver library exports (undecorated C names).
#pragma once

#include "wrenfield/CapabilityQuery.h"
#include "wrenfield/CaptureDriver.h"

// Driver objects. All four names of each are the same function; the newest
// interface pointer is also a valid pointer to each older one.
WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCapture();
WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCaptureEx();
WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCaptureEx2();
WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCaptureEx3();
// Null is ignored. DeleteCapabilityQueryModule is the same routine.
WF_API void WF_CALL DeleteIPCapture(talvex::ipcapture::IIPCaptureDriver* driver);
WF_API void WF_CALL DeleteIPCaptureEx(talvex::ipcapture::IIPCaptureDriver* driver);
WF_API void WF_CALL DeleteIPCaptureEx2(talvex::ipcapture::IIPCaptureDriver* driver);
WF_API void WF_CALL DeleteIPCaptureEx3(talvex::ipcapture::IIPCaptureDriver* driver);
