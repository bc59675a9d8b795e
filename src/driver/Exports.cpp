// The library's exported entry points.
#include <atomic>
#include <new>

#include "device/CHuntCapabilityQueryModule.h"
#include "driver/CWrenfieldDriver.h"
#include "driver/CapabilityQueryFactory.h"
#include "wrenfield/Exports.h"

namespace {

using talvex::ipcapture::IDriverObject;
using talvex::ipcapture::IHostCapabilityCallback;
using talvex::ipcapture::IHostCapabilitySink;
using talvex::ipcapture::IIPCapabilityQuery;

talvex::ipcapture::IIPCaptureDriverEx3* CreateDriver() {
    try {
        return new (std::nothrow) talvex::CWrenfieldDriver;
    } catch (...) {
        return nullptr;
    }
}

// Destroys driver objects and capability query modules alike: both hand the
// host a pointer to their common root, whose slot 0 their own types fill.
void DeleteDriverObject(IDriverObject* object) {
    try {
        WfDestroyThroughSlot(object);
    } catch (...) {
    }
}

talvex::CCapabilityQueryModule* CreateHuntModule(IHostCapabilityCallback* callback, uint32_t flag) {
    return new (std::nothrow) talvex::CHuntCapabilityQueryModule(callback, flag);
}

std::atomic<talvex::CapabilityQueryFactory> g_queryFactory{&CreateHuntModule};

talvex::CCapabilityQueryModule* CreateQueryModule(IHostCapabilityCallback* callback, uint32_t flag) {
    try {
        return g_queryFactory.load()(callback, flag);
    } catch (...) {
        return nullptr;
    }
}

// The module of InitCapabilityQuery and its siblings. Not locked: the host
// calls them from one thread.
talvex::CCapabilityQueryModule* g_processQuery = nullptr;

}  // namespace

namespace talvex {

CapabilityQueryFactory SetCapabilityQueryFactory(CapabilityQueryFactory factory) {
    return g_queryFactory.exchange(factory != nullptr ? factory : &CreateHuntModule);
}

}  // namespace talvex

WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCapture() { return CreateDriver(); }
WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCaptureEx() { return CreateDriver(); }
WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCaptureEx2() { return CreateDriver(); }
WF_API talvex::ipcapture::IIPCaptureDriverEx3* WF_CALL CreateIPCaptureEx3() { return CreateDriver(); }
WF_API void WF_CALL DeleteIPCapture(IDriverObject* object) { DeleteDriverObject(object); }
WF_API void WF_CALL DeleteIPCaptureEx(IDriverObject* object) { DeleteDriverObject(object); }
WF_API void WF_CALL DeleteIPCaptureEx2(IDriverObject* object) { DeleteDriverObject(object); }
WF_API void WF_CALL DeleteIPCaptureEx3(IDriverObject* object) { DeleteDriverObject(object); }
WF_API void WF_CALL DeleteCapabilityQueryModule(IDriverObject* object) { DeleteDriverObject(object); }

WF_API IIPCapabilityQuery* WF_CALL CreateCapabilityQueryModule(IHostCapabilityCallback* callback, uint32_t flag) {
    return CreateQueryModule(callback, flag);
}

WF_API int WF_CALL InitCapabilityQuery(IHostCapabilityCallback* callback, uint32_t flag) {
    if (g_processQuery != nullptr) return 0;
    g_processQuery = CreateQueryModule(callback, flag);
    // A module that could not be made is no success: the host would start a
    // query that can never run.
    return g_processQuery != nullptr ? 1 : 0;
}

WF_API int WF_CALL StartCapabilityQuery(const char* address, int port, const char* userName, const char* password,
                                        IHostCapabilitySink* sink) {
    if (address == nullptr || userName == nullptr || password == nullptr || g_processQuery == nullptr) return 0;
    try {
        return g_processQuery->Start(address, port, userName, password, sink) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

WF_API int WF_CALL TerminateCapabilityQuery() {
    if (g_processQuery != nullptr) {
        try {
            g_processQuery->Terminate();
        } catch (...) {
        }
    }
    return 1;
}

WF_API int WF_CALL UninitCapabilityQuery() {
    talvex::CCapabilityQueryModule* module = g_processQuery;
    g_processQuery = nullptr;
    DeleteDriverObject(module);
    return 1;
}
