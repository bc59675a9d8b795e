#include "channels/CBaseHttpChannel.h"

#include "base/FormatString.h"

namespace talvex {

namespace {
// Pause between reconnects once the pictures have stopped.
constexpr uint32_t kReconnectPauseMs = 5000;
}  // namespace

CBaseHttpChannel::CBaseHttpChannel(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink)
    : CBaseCameraChannel(channelIndex, driver, sink),
      m_sender(std::make_unique<Web::CHttpSender>(driver->GetDeviceInfo())) {}

CBaseHttpChannel::~CBaseHttpChannel() {
    // The thread reads the sender and the parser: end it while both live.
    Stop();
}

int CBaseHttpChannel::FramesPerSecond(uint32_t frameIntervalMs) {
    if (frameIntervalMs == 0) return 1;
    return static_cast<int>(1000.0 / frameIntervalMs + 0.5);
}

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
        // A picture that slips through after the host asked to stop must not
        // report the channel online again behind its "stopped" line.
        if (!StopRequested()) SetOnline(true);
    }
    return taken;
}

void CBaseHttpChannel::OnStopping() { m_sender->AbortRead(); }

bool CBaseHttpChannel::TimedOut() { return LastFrameTime().ElapsedMs() > Driver()->GetDeviceInfo().ReceiveTimeout; }

uint32_t CBaseHttpChannel::CaptureThread() {
    for (;;) {
        bool stopRequested = false;
        if (OpenStream()) {
            LastFrameTime().Touch();
            SetState(kChannelReceiving);
            stopRequested = ReadStream();
        }
        m_sender->CloseRequest();
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
    bool stopRequested = StopRequested();
    std::vector<uint8_t> chunk;
    while (!stopRequested) {
        if (m_sender->ReadChunk(chunk) == 0) break;
        if (m_parser) m_parser->Parse(chunk);
        if (TimedOut()) break;
        stopRequested = StopRequested();
    }
    return stopRequested;
}

}  // namespace talvex
