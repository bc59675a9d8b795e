#include "channels/CBaseCameraChannel.h"

#include <cctype>

#include "base/FormatString.h"
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
    // The host sees one "stopped" line, before the thread is told; the
    // thread's own offline report then finds the channel offline already.
    BeginStopping(true);
    StopCaptureThread();
    SetState(kChannelStopped);  // the thread may have left its signal-lost state
    if (m_networkStarted) {
        platform::StopNetwork();
        m_networkStarted = false;
    }
}

bool CBaseCameraChannel::Reconfigure(const CaptureSettings& settings) {
    // No offline line of its own: the thread reports the lost signal.
    BeginStopping(false);
    StopCaptureThread();
    // Written only once the thread that reads them is gone.
    m_settings.FrameIntervalMs = settings.FrameIntervalMs;
    m_settings.Width = settings.Width;
    m_settings.Height = settings.Height;
    return StartCaptureThread();
}

void CBaseCameraChannel::BeginStopping(bool reportOffline) {
    {
        CLockHolder hold(m_stateLock);
        m_stopping = true;
        m_state = kChannelStopped;
        if (reportOffline) ChangeOnlineLocked(false);
    }
    FlushLines();
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
void CBaseCameraChannel::OnStarting() {}

uint32_t CBaseCameraChannel::ThreadEntry(void* self) {
    if (self == nullptr) return kEntryNullObject;
    return static_cast<CBaseCameraChannel*>(self)->CaptureThread();
}

bool CBaseCameraChannel::StartCaptureThread() {
    if (!m_threadLock.TryLock()) return false;
    bool created = false;
    if (m_thread == nullptr) {
        m_stopEvent.Reset();
        {
            CLockHolder hold(m_stateLock);
            m_stopping = false;
        }
        OnStarting();
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
            // Returns only once the thread is gone: the channel's members
            // must outlive every thread that uses them.
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
    {
        CLockHolder hold(m_stateLock);
        ChangeOnlineLocked(online);
    }
    FlushLines();
}

void CBaseCameraChannel::ReportPictureTaken() {
    {
        CLockHolder hold(m_stateLock);
        if (!m_stopping) ChangeOnlineLocked(true);
    }
    FlushLines();
}

void CBaseCameraChannel::ChangeOnlineLocked(bool online) {
    if (m_online == online) return;
    m_online = online;
    static constexpr const char* kSource = "talvex::CBaseCameraChannel::SetCameraState";
    std::pair<int32_t, std::string> line;
    if (online)
        line = {kLevelInformation, FormatString("%s: %s is online", kSource, ChannelName().c_str())};
    else if (m_state == kChannelSignalLost)
        line = {kLevelFailure, FormatString("%s: Signal was lost for %s", kSource, LowerCaseName().c_str())};
    else if (m_state == kChannelStopped)
        line = {kLevelInformation,
                FormatString("%s: %s is offline. Channel was stopped", kSource, ChannelName().c_str())};
    else
        line = {kLevelFailure, FormatString("%s: %s is offline or failed", kSource, ChannelName().c_str())};
    m_pendingLines.push_back(std::move(line));
}

void CBaseCameraChannel::FlushLines() {
    {
        CLockHolder hold(m_stateLock);
        if (m_flushing) return;  // the thread that is logging takes our lines too, in order
        m_flushing = true;
    }
    for (;;) {
        std::pair<int32_t, std::string> line;
        {
            CLockHolder hold(m_stateLock);
            if (m_pendingLines.empty()) {
                m_flushing = false;
                return;
            }
            line = std::move(m_pendingLines.front());
            m_pendingLines.pop_front();
        }
        try {
            m_driver->DebugMessage(line.first, "%s", line.second.c_str());
        } catch (...) {
            // The message path's trouble must not stop later lines.
        }
    }
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
