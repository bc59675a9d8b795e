#include "device/CCapabilityQueryModule.h"

#include <cstring>
#include <mutex>
#include <new>
#include <string>

namespace talvex {

namespace {

constexpr const char kInvalidAddressCharacters[] = "@#$%^&*(){}[]/\\+=|:;,~'\"!?";

constexpr const char* kInvalidAddressText = "Failed to start capability fetching thread. Device address is invalid!";
constexpr const char* kInternalErrorText = "Failed to start capability fetching thread. Internal error occurs";
constexpr const char* kSaveFailedText = "Failed to save capability query results";
constexpr const char* kQueryFailedText = "Failed to get camera properties";
constexpr const char* kLoginFailedSuffix = ", login failed (invalid credentials)";
constexpr const char* kOfflineSuffix = ", device is offline or is located in unaccessible subnet";

constexpr uint32_t kReasonInvalidAddress = 0;
constexpr uint32_t kReasonOffline = 2;
constexpr uint32_t kReasonFailed = 3;

}  // namespace

// Everything the fetching thread touches. The host learns of the query's end
// exactly once: the thread claims the report before it writes into the sink,
// and the destructor claims it before it calls OnCapabilityQueryKilled;
// whoever comes second stays silent.
struct CCapabilityQueryModule::SFetchJob {
    enum class EState { Fetching, Reporting, Killed };

    std::string address;
    ipcapture::IHostCapabilitySink* sink = nullptr;
    ipcapture::IHostCapabilityCallback* callback = nullptr;
    TSmartPtr<CBaseCameraProperties> properties;

    std::mutex mutex;  // guards state
    EState state = EState::Fetching;

    // False when the query was given up; then neither sink nor callback may
    // be called any more.
    bool ClaimReport() {
        std::lock_guard<std::mutex> lock(mutex);
        if (state == EState::Killed) return false;
        state = EState::Reporting;
        return true;
    }
    bool ClaimKill() {
        std::lock_guard<std::mutex> lock(mutex);
        if (state != EState::Fetching) return false;
        state = EState::Killed;
        return true;
    }
};

CCapabilityQueryModule::CCapabilityQueryModule(ipcapture::IHostCapabilityCallback* callback, uint32_t flag)
    : Context(flag != 0 ? 1u : 0u), m_callback(callback) {}

CCapabilityQueryModule::~CCapabilityQueryModule() {
    Terminate();
    bool killed = false;
    {
        CLockHolder hold(m_lock);
        if (m_thread != nullptr && m_threadId != platform::CurrentThreadId()) {
            const uint32_t waitMs = 2 * Device.ConnectTimeout;
            if (platform::WaitThread(m_thread, waitMs) == platform::EWaitResult::TimedOut) {
                killed = m_job->ClaimKill();
                // A thread already reporting is writing into the host's sink
                // or calling back; give it the same time again to finish, so
                // that the host's objects are not used after this returns.
                if (!killed) platform::WaitThread(m_thread, waitMs);
            }
        }
        // Forcing a thread that may be inside the HTTP stack or a host call
        // is unsafe on every platform: a thread still running is let go. It
        // holds its own references to what it uses, and its report is
        // suppressed once the host heard of the kill.
        platform::CloseThread(m_thread);
        m_thread = nullptr;
        m_threadId = 0;
        m_properties = nullptr;
    }
    if (killed && m_callback != nullptr) {
        try {
            m_callback->OnCapabilityQueryKilled();
        } catch (...) {
        }
    }
}

bool CCapabilityQueryModule::HasInvalidAddressCharacter(const char* address) {
    return address != nullptr && std::strpbrk(address, kInvalidAddressCharacters) != nullptr;
}

bool CCapabilityQueryModule::Start(const char* address, int32_t port, const char* userName, const char* password,
                                   ipcapture::IHostCapabilitySink* sink) {
    try {
        CLockHolder hold(m_lock);
        if (m_started) return false;
        m_sink = sink;
        if (address == nullptr || userName == nullptr || password == nullptr) return false;
        Device.ConnectTimeout = 5000;
        Device.Address = address;
        Device.Port = static_cast<uint16_t>(static_cast<uint32_t>(port) & 0xFFFFu);
        Device.UserName = userName;
        Device.Password = password;
        m_properties = CreateProperties();
        if (!m_properties) return false;

        m_job = std::make_shared<SFetchJob>();
        m_job->address = Device.Address;
        m_job->sink = m_sink;
        m_job->callback = m_callback;
        m_job->properties = m_properties;
        auto* argument = new std::shared_ptr<SFetchJob>(m_job);
        if (!platform::StartThread(&CCapabilityQueryModule::FetchEntry, argument, m_thread, m_threadId)) {
            delete argument;
            return false;
        }
        m_started = true;
        return true;
    } catch (...) {
        return false;
    }
}

void CCapabilityQueryModule::Terminate() {
    TSmartPtr<CBaseCameraProperties> properties;
    {
        CLockHolder hold(m_lock);
        properties = m_properties;
    }
    if (!properties) return;
    properties->RequestStop();
    properties->Abort();
}

uint32_t CCapabilityQueryModule::FetchEntry(void* argument) {
    std::shared_ptr<SFetchJob> job;
    {
        auto* handed = static_cast<std::shared_ptr<SFetchJob>*>(argument);
        job = std::move(*handed);
        delete handed;
    }
    try {
        return Fetch(*job);
    } catch (...) {
        return kExitException;
    }
}

uint32_t CCapabilityQueryModule::Fetch(SFetchJob& job) {
    uint32_t reason = kReasonFailed;
    std::string text;
    bool succeeded = false;
    if (HasInvalidAddressCharacter(job.address.c_str())) {
        reason = kReasonInvalidAddress;
        text = kInvalidAddressText;
    } else if (!job.properties || job.sink == nullptr) {
        text = kInternalErrorText;
    } else {
        bool queried = false;
        try {
            queried = job.properties->Query(reason);
        } catch (...) {
            reason = kReasonFailed;
        }
        if (queried) {
            if (!job.ClaimReport()) return kExitNormal;
            bool exported = false;
            try {
                exported = job.properties->ExportCapabilities(*job.sink);
            } catch (...) {
            }
            succeeded = exported;
            if (!exported) {
                reason = kReasonFailed;
                text = kSaveFailedText;
            }
        } else {
            text = kQueryFailedText;
            if (reason == CBaseCameraProperties::kReasonLoginFailed) text += kLoginFailedSuffix;
            if (reason == kReasonOffline) text += kOfflineSuffix;
        }
    }
    job.properties = nullptr;

    if (!job.ClaimReport() || job.callback == nullptr) return kExitNormal;
    try {
        if (succeeded)
            job.callback->OnCapabilitiesReady();
        else
            job.callback->OnCapabilityQueryFailed(reason, text.c_str());
    } catch (...) {
        return kExitException;
    }
    return kExitNormal;
}

}  // namespace talvex
