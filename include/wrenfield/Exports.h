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
// Null is ignored. One routine under five names: it destroys a driver
// object or a capability query module alike.
WF_API void WF_CALL DeleteIPCapture(talvex::ipcapture::IDriverObject* object);
WF_API void WF_CALL DeleteIPCaptureEx(talvex::ipcapture::IDriverObject* object);
WF_API void WF_CALL DeleteIPCaptureEx2(talvex::ipcapture::IDriverObject* object);
WF_API void WF_CALL DeleteIPCaptureEx3(talvex::ipcapture::IDriverObject* object);
WF_API void WF_CALL DeleteCapabilityQueryModule(talvex::ipcapture::IDriverObject* object);

// Capability query modules. callback must outlive the module; flag non-zero
// means a camera of another standard than PAL until its pages tell.
// Null when no module could be made.
WF_API talvex::ipcapture::IIPCapabilityQuery* WF_CALL CreateCapabilityQueryModule(
    talvex::ipcapture::IHostCapabilityCallback* callback, uint32_t flag);

// The one capability query module of the process, for hosts that keep none
// of their own; called from one host thread.
// 1 when the module was made; 0 when one exists already or none could be made.
WF_API int WF_CALL InitCapabilityQuery(talvex::ipcapture::IHostCapabilityCallback* callback, uint32_t flag);
// The module's Start; 0 for a null address, user or password or without a module.
WF_API int WF_CALL StartCapabilityQuery(const char* address, int port, const char* userName, const char* password,
                                        talvex::ipcapture::IHostCapabilitySink* sink);
// Ends a running query soon (it then fails); always 1.
WF_API int WF_CALL TerminateCapabilityQuery();
// Destroys the module, waiting for its query at most twice the connect
// time-out; always 1.
WF_API int WF_CALL UninitCapabilityQuery();
