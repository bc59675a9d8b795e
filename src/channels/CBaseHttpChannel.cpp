#include "channels/CBaseHttpChannel.h"

#include "channels/StreamQuality.h"

#include "base/FormatString.h"

namespace talvex {

namespace {
// Pause between reconnects once the pictures have stopped.
constexpr uint32_t kReconnectPauseMs = 5000;
constexpr const char* kReadSource = "talvex::CBaseHttpChannel::ReadStream";
}  // namespace

CBaseHttpChannel::CBaseHttpChannel(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink)
    : CBaseCameraChannel(channelIndex, driver, sink),
      m_sender(std::make_unique<Web::CHttpSender>(driver->GetDeviceInfo())) {
    m_sender->SetLog(driver);
}

CBaseHttpChannel::~CBaseHttpChannel() {
    // The thread reads the sender and the parser: end it while both live.
    Stop();
}

int CBaseHttpChannel::FramesPerSecond(uint32_t frameIntervalMs) { return FrameRateOf(frameIntervalMs); }

uint32_t CBaseHttpChannel::ChunkSizeForWidth(uint32_t width) {
    if (width > 700) return 8192;
    if (width > 600) return 4096;
    if (width > 300) return 2048;
    return 1024;
}

std::string CBaseHttpChannel::StreamPath() const {
    std::string path = "/GetStream.cgi?";
    if (Driver()->GetChannelCount() > 1) path += FormatString("CH=%u&", ChannelIndex());
    return path + "Video=0";
}

bool CBaseHttpChannel::OnMediaSample(ipcapture::IHostMediaSample* sample) {
    const bool taken = DeliverFrame(sample);
    if (taken) {
        LastFrameTime().Touch();
        m_picturesTaken.fetch_add(1);
        ReportPictureTaken();
    }
    return taken;
}

void CBaseHttpChannel::OnStopping() {
    std::lock_guard<std::mutex> lock(m_configMutex);  // keeps the configuration sender alive while it is aborted
    m_sender->AbortRead();
    if (m_configSender != nullptr) m_configSender->AbortRead();
}

void CBaseHttpChannel::OnStarting() { m_sender->ResetAbort(); }

std::size_t CBaseHttpChannel::ReadStreamChunk(std::vector<uint8_t>& chunk) { return m_sender->ReadChunk(chunk); }

void CBaseHttpChannel::CloseStream() { m_sender->CloseRequest(); }

bool CBaseHttpChannel::SendConfiguration(const std::string& path) {
    Web::CHttpSender sender(Driver()->GetDeviceInfo());
    sender.SetLog(Driver());
    {
        // The stop event is set before OnStopping takes this lock: either the
        // stop is seen here, or OnStopping finds the sender and aborts it.
        std::lock_guard<std::mutex> lock(m_configMutex);
        if (StopRequested()) return false;
        m_configSender = &sender;
    }
    struct SUnregister {
        CBaseHttpChannel& channel;
        ~SUnregister() {
            std::lock_guard<std::mutex> lock(channel.m_configMutex);
            channel.m_configSender = nullptr;
        }
    } unregister{*this};
    return sender.Get(path);
}

bool CBaseHttpChannel::TimedOut() { return LastFrameTime().ElapsedMs() > Driver()->GetDeviceInfo().ReceiveTimeout; }

bool CBaseHttpChannel::PaceAttempt(bool& first, uint64_t& picturesBefore) {
    const uint64_t pictures = m_picturesTaken.load();
    if (!first && pictures == picturesBefore) {
        const uint64_t elapsed = m_attemptTime.ElapsedMs();
        if (elapsed < kMinAttemptIntervalMs &&
            StopEvent().Wait(static_cast<uint32_t>(kMinAttemptIntervalMs - elapsed)))
            return true;
    }
    first = false;
    picturesBefore = pictures;
    m_attemptTime.Touch();
    return false;
}

uint32_t CBaseHttpChannel::CaptureThread() {
    bool firstAttempt = true;
    uint64_t picturesBefore = 0;
    for (;;) {
        if (PaceAttempt(firstAttempt, picturesBefore)) return 0;
        bool stopRequested = false;
        try {
            if (OpenStream()) {
                LastFrameTime().Touch();
                SetState(kChannelReceiving);
                stopRequested = ReadStream();
            }
        } catch (...) {
            // Out of memory while connecting: this attempt is lost, not the channel.
            Driver()->DebugMessage(kLevelFailure, "%s: Connecting %s failed for lack of memory", kReadSource,
                                   ChannelName().c_str());
        }
        CloseStream();
        const bool timedOut = TimedOut();
        if (timedOut || stopRequested) {
            SetState(kChannelSignalLost);
            if (FrameSink() != nullptr) {
                try {
                    FrameSink()->OnSignalLost();
                } catch (...) {
                    // The host's trouble must not end the capture thread.
                }
            }
            SetOnline(false);
            if (stopRequested) return 0;
        }
        if (StopEvent().Wait(timedOut ? kReconnectPauseMs : 0)) return 0;
    }
}

bool CBaseHttpChannel::ReadStream() {
    std::vector<uint8_t> chunk;
    while (!StopRequested()) {
        if (ReadStreamChunk(chunk) == 0) break;
        ParseChunk(chunk);
        if (TimedOut()) break;
    }
    // Polled again after the loop: a stop aborts the read, which then returns
    // nothing, and must still be seen as the stop it is.
    return StopRequested();
}

void CBaseHttpChannel::ParseChunk(const std::vector<uint8_t>& chunk) {
    if (!m_parser) return;
    try {
        m_parser->Parse(chunk);
    } catch (...) {
        // Only memory can fail here (the host's own trouble is caught per
        // picture): the picture being assembled is lost, the stream goes on.
        m_parser->Resync();
        Driver()->DebugMessage(kLevelFailure, "%s: A picture of %s could not be assembled and was dropped",
                               kReadSource, ChannelName().c_str());
    }
}

}  // namespace talvex
