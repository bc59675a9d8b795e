// The library's exported entry points.
#include <new>

#include "driver/CWrenfieldDriver.h"
#include "wrenfield/Exports.h"

namespace {

talvex::ipcapture::IIPCaptureDriverEx3* CreateDriver() {
    try {
        return new (std::nothrow) talvex::CWrenfieldDriver;
    } catch (...) {
        return nullptr;
    }
}

// The same routine also destroys capability query modules, so it must not
// assume the driver class: the object's virtual destructor (slot 0) decides.
void DeleteDriver(talvex::ipcapture::IIPCaptureDriver* driver) {
    try {
        WfDestroyThroughSlot(driver);
    } catch (...) {
    }
}

}  // namespace

WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCapture() { return CreateDriver(); }
WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCaptureEx() { return CreateDriver(); }
WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCaptureEx2() { return CreateDriver(); }
WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCaptureEx3() { return CreateDriver(); }
WF_API void WF_CALL DeleteIPCapture(talvex::ipcapture::IIPCaptureDriver* driver) { DeleteDriver(driver); }
WF_API void WF_CALL DeleteIPCaptureEx(talvex::ipcapture::IIPCaptureDriver* driver) { DeleteDriver(driver); }
WF_API void WF_CALL DeleteIPCaptureEx2(talvex::ipcapture::IIPCaptureDriver* driver) { DeleteDriver(driver); }
WF_API void WF_CALL DeleteIPCaptureEx3(talvex::ipcapture::IIPCaptureDriver* driver) { DeleteDriver(driver); }
