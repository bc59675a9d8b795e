#include "channels/CBaseCameraChannel.h"

#include <cctype>

#include "platform/PlatformNetwork.h"

namespace talvex {

namespace {

constexpr uint32_t kEntryNullObject = 0x123456;

}  // namespace

CBaseCameraChannel::CBaseCameraChannel(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink)
    : m_channelIndex(channelIndex), m_driver(driver), m_sink(sink) {}

CBaseCameraChannel::~CBaseCameraChannel() {
    // Derived channels stop first (their members die before this runs); this
    // is the last guard for a channel that never did.
    Stop();
}

bool CBaseCameraChannel::Start(const CaptureSettings& settings) {
    Stop();
    m_settings = settings;
    bool startedNetworkHere = false;
    if (!m_networkStarted) {
        m_networkStarted = platform::StartNetwork();
        startedNetworkHere = m_networkStarted;
    }
    const bool started = StartCaptureThread();
    if (!started && startedNetworkHere) {
        platform::StopNetwork();
        m_networkStarted = false;
    }
    return started;
}

void CBaseCameraChannel::Stop() {
    SetState(kChannelStopped);
    SetOnline(false);
    StopCaptureThread();
    // A picture delivered while the thread was winding down may have reported
    // the channel online again; the host must still see it go offline.
    SetState(kChannelStopped);
    SetOnline(false);
    if (m_networkStarted) {
        platform::StopNetwork();
        m_networkStarted = false;
    }
}

bool CBaseCameraChannel::Reconfigure(const CaptureSettings& settings) {
    SetState(kChannelStopped);
    StopCaptureThread();
    // Written only once the thread that reads them is gone.
    m_settings.FrameIntervalMs = settings.FrameIntervalMs;
    m_settings.Width = settings.Width;
    m_settings.Height = settings.Height;
    return StartCaptureThread();
}

int32_t CBaseCameraChannel::GetState() {
    CLockHolder hold(m_stateLock);
    return m_state;
}

void CBaseCameraChannel::SetState(int32_t state) {
    CLockHolder hold(m_stateLock);
    m_state = state;
}

void CBaseCameraChannel::OnStopping() {}

uint32_t CBaseCameraChannel::ThreadEntry(void* self) {
    if (self == nullptr) return kEntryNullObject;
    return static_cast<CBaseCameraChannel*>(self)->CaptureThread();
}

bool CBaseCameraChannel::StartCaptureThread() {
    if (!m_threadLock.TryLock()) return false;
    bool created = false;
    if (m_thread == nullptr) {
        m_stopEvent.Reset();
        created = platform::StartThread(&CBaseCameraChannel::ThreadEntry, this, m_thread, m_threadId);
    }
    m_threadLock.Unlock();
    return created;
}

void CBaseCameraChannel::StopCaptureThread() {
    m_stopEvent.Set();
    CLockHolder hold(m_threadLock);
    if (m_thread == nullptr) return;
    OnStopping();
    if (platform::CurrentThreadId() != m_threadId) {
        const uint32_t timeoutMs = 2 * m_driver->GetDeviceInfo().ConnectTimeout;
        if (platform::WaitThread(m_thread, timeoutMs) != platform::EWaitResult::Signalled) {
            m_driver->DebugMessage(kLevelWarning, "%s: Video capture thread for %s cannot be stopped and will be terminated now",
                                   "talvex::CBaseCameraChannel::StopThread", LowerCaseName().c_str());
            platform::TerminateThread(m_thread);
        }
    }
    platform::CloseThread(m_thread);
    m_thread = nullptr;
}

std::string CBaseCameraChannel::ChannelName() const {
    const std::string& address = m_driver->GetDeviceInfo().Address;
    if (m_driver->GetChannelCount() > 1)
        return "Video-server " + address + " (channel " + std::to_string(m_channelIndex) + ")";
    return "Camera " + address;
}

std::string CBaseCameraChannel::LowerCaseName() const {
    std::string name = ChannelName();
    if (!name.empty()) name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
    return name;
}

void CBaseCameraChannel::SetOnline(bool online) {
    if (m_online.exchange(online) == online) return;
    static constexpr const char* kSource = "talvex::CBaseCameraChannel::SetCameraState";
    if (online) {
        m_driver->DebugMessage(kLevelInformation, "%s: %s is online", kSource, ChannelName().c_str());
        return;
    }
    const int32_t state = GetState();
    if (state == kChannelSignalLost)
        m_driver->DebugMessage(kLevelFailure, "%s: Signal was lost for %s", kSource, LowerCaseName().c_str());
    else if (state == kChannelStopped)
        m_driver->DebugMessage(kLevelInformation, "%s: %s is offline. Channel was stopped", kSource,
                               ChannelName().c_str());
    else
        m_driver->DebugMessage(kLevelFailure, "%s: %s is offline or failed", kSource, ChannelName().c_str());
}

bool CBaseCameraChannel::DeliverFrame(ipcapture::IHostMediaSample* sample) {
    if (m_sink == nullptr) return false;
    try {
        return m_sink->OnFrame(sample);
    } catch (...) {
        return false;  // a throwing sink refused the picture
    }
}

}  // namespace talvex
