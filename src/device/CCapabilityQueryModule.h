// One capability query: reads a camera's description on a thread of its own,
// writes it into the host's capability sink and tells the host's callback how
// it ended. One module runs one query in its life.
#pragma once

#include <cstdint>
#include <memory>

#include "base/DEVICE_INFO.h"
#include "base/TSmartPtr.h"
#include "device/CBaseCameraProperties.h"
#include "platform/PlatformThread.h"
#include "thread/CRecursiveLock.h"
#include "wrenfield/CapabilityQuery.h"

namespace talvex {

class CCapabilityQueryModule : public ipcapture::IIPCapabilityQuery {
public:
    // The fetching thread's exit codes.
    static constexpr uint32_t kExitNormal = 0;
    static constexpr uint32_t kExitException = 0x123456;

    // callback is the host's and must outlive the module; flag is the initial
    // video standard handed to the camera description (non-zero becomes 1).
    CCapabilityQueryModule(ipcapture::IHostCapabilityCallback* callback, uint32_t flag);
    // Aborts the query, then waits for the fetching thread for twice the
    // connect time-out. A thread still running after that is given up: the
    // host hears OnCapabilityQueryKilled and nothing after it.
    virtual ~CCapabilityQueryModule();
    CCapabilityQueryModule(const CCapabilityQueryModule&) = delete;
    CCapabilityQueryModule& operator=(const CCapabilityQueryModule&) = delete;
    WF_DELETING_DESTRUCTOR(CCapabilityQueryModule)

    bool Start(const char* address, int32_t port, const char* userName, const char* password,
               ipcapture::IHostCapabilitySink* sink) override;
    void Terminate() override;

    // True when the address holds a character no host name or IPv4 address
    // has (a port or path written into it, for instance).
    static bool HasInvalidAddressCharacter(const char* address);

protected:
    // The camera description this module's vendor reads; null when none
    // could be made.
    virtual CBaseCameraProperties* CreateProperties() = 0;

    const uint32_t Context;
    DEVICE_INFO Device;

private:
    struct SFetchJob;
    static uint32_t FetchEntry(void* argument);
    static uint32_t Fetch(SFetchJob& job);

    ipcapture::IHostCapabilityCallback* const m_callback;  // the host's, not owned
    ipcapture::IHostCapabilitySink* m_sink = nullptr;       // the host's, not owned
    TSmartPtr<CBaseCameraProperties> m_properties;          // shared with the fetching thread
    // What the fetching thread uses. Shared, so that a thread given up at
    // destruction keeps it alive and never reaches the freed module.
    std::shared_ptr<SFetchJob> m_job;
    // Guards Start and the shutdown: the fields above and the thread below.
    CRecursiveLock m_lock;
    platform::ThreadHandle m_thread = nullptr;
    uint32_t m_threadId = 0;
    bool m_started = false;  // a fetching thread was started once
};

}  // namespace talvex
