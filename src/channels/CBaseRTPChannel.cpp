#include "channels/CBaseRTPChannel.h"

#include <cstring>
#include <new>

#include "http/HostAddress.h"
#include "platform/PlatformEvent.h"
#include "rtsp/LatencyProbe.h"

namespace talvex {

namespace {

// The device's address as the UDP layer reports senders: host byte order.
uint32_t DeviceAddressOf(IDriver* driver) {
    const uint32_t network = HUtils::ResolveHostAddress(driver->GetDeviceInfo().Address);
    uint8_t bytes[4];
    std::memcpy(bytes, &network, sizeof bytes);
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

}  // namespace

CBaseRTPChannel::CBaseRTPChannel(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink)
    : CBaseCameraChannel(channelIndex, driver, sink),
      m_receiver(driver),
      m_rtcp(driver),
      m_deviceAddress(DeviceAddressOf(driver)) {}

CBaseRTPChannel::~CBaseRTPChannel() {
    // The capture thread and the receiver threads use this object's members.
    Stop();
    m_receiver.Stop();
    m_rtcp.Stop();
}

void CBaseRTPChannel::OnRtpPacket(const platform::SUdpAddress& senderAddress, const CRTPPacket& packet) {
    if (senderAddress.Address != m_deviceAddress) return;
    m_packetEvent.Set();
    ++m_packets;
    m_rtcp.OnRtpSequence(packet.SequenceNumber());
    Depacketize(packet);
}

void CBaseRTPChannel::OnInterleavedPacket(const CRTPPacket& packet) {
    m_packetEvent.Set();
    ++m_packets;
    Depacketize(packet);
}

void CBaseRTPChannel::QueueCodecParameters(const SdpCodecParameters& parameters) {
    {
        std::lock_guard<std::mutex> lock(m_codecMutex);
        m_pendingCodec = parameters;
    }
    m_codecPending.store(true);
}

void CBaseRTPChannel::Depacketize(const CRTPPacket& packet) {
    try {
        if (m_codecPending.exchange(false)) {
            SdpCodecParameters parameters;
            {
                std::lock_guard<std::mutex> lock(m_codecMutex);
                parameters = std::move(m_pendingCodec);
            }
            ApplyCodecParameters(parameters);
        }
        HandleRtpPacket(packet);
    } catch (const std::bad_alloc&) {
        ResetDepacketizer();
        Driver()->DebugMessage(kLevelFailure, "%s: A picture of %s could not be assembled and was dropped",
                               "talvex::CBaseRTPChannel::OnRtpPacket", ChannelName().c_str());
    }
}

bool CBaseRTPChannel::OnFrame(ipcapture::IHostMediaSample* sample) {
    latency::RecordPictureDelivered();
    m_frameEvent.Set();
    if (!DeliverFrame(sample)) return false;
    LastFrameTime().Touch();
    m_pictureSinceLoss.store(true);
    ReportPictureTaken();
    return true;
}

std::pair<uint32_t, uint32_t> CBaseRTPChannel::GetPictureSize() { return {Settings().Width, Settings().Height}; }

bool CBaseRTPChannel::StartStreaming() {
    m_receiver.User = this;
    for (uint32_t port = kFirstRtpPort; port <= kLastRtpPort; port += 2) {
        if (StopEvent().Wait(0)) return false;
        m_packetEvent.Reset();
        if (!m_receiver.Start(static_cast<uint16_t>(port))) continue;
        // Another sender already using the port (a stale session of this
        // camera) would mix its packets into ours: only a quiet port is taken.
        const platform::EventHandle events[] = {StopEvent().Handle(), m_packetEvent.Handle()};
        std::size_t signalled = 0;
        const platform::EWaitResult waited = platform::WaitAnyEvent(events, 2, kQuietPortMs, signalled);
        if (waited == platform::EWaitResult::TimedOut && m_rtcp.Start(static_cast<uint16_t>(port + 1), m_deviceAddress))
            return true;
        m_receiver.Stop();
        m_rtcp.Stop();
    }
    return false;
}

void CBaseRTPChannel::StopStreaming() {
    m_receiver.Stop();
    m_rtcp.Stop();
}

void CBaseRTPChannel::ReportSignalLost() {
    // Once per loss: a camera that stays silent through several reconnect
    // passes is one loss, until a picture arrives again.
    if (!m_pictureSinceLoss.exchange(false) || FrameSink() == nullptr) return;
    try {
        FrameSink()->OnSignalLost();
    } catch (...) {
        // The host's trouble must not end the capture thread.
    }
}

uint32_t CBaseRTPChannel::CaptureThread() {
    const uint32_t receiveTimeoutMs = Driver()->GetDeviceInfo().ReceiveTimeout;
    LastFrameTime().Touch();  // the start counts as a picture for the loss clock
    m_pictureSinceLoss.store(true);
    for (;;) {
        uint32_t waitMs = 1000;
        if (GetState() == kChannelReceiving) {
            if (m_keepAliveBase.ElapsedMs() > m_keepAlivePeriodMs) {
                KeepAlive();
                m_keepAliveBase.Touch();
            }
        } else {
            SetState(kChannelStopped);
            StopStreaming();
            m_frameEvent.Reset();
            if (!Connect()) {
                SetState(kChannelStopped);
                StopStreaming();
            } else if (StartStreaming()) {
                const platform::EventHandle events[] = {StopEvent().Handle(), m_frameEvent.Handle()};
                std::size_t signalled = 0;
                const platform::EWaitResult waited = platform::WaitAnyEvent(events, 2, receiveTimeoutMs, signalled);
                if (waited == platform::EWaitResult::Signalled && signalled == 1)
                    SetState(kChannelReceiving);
                else
                    waitMs = 10;
            }
        }
        const bool stopped = StopEvent().Wait(waitMs);
        if (LastFrameTime().ElapsedMs() < receiveTimeoutMs / 2) {
            if (stopped) break;
            continue;
        }
        if (stopped) break;
        SetState(kChannelSignalLost);
        if (LastFrameTime().ElapsedMs() >= receiveTimeoutMs) {
            ReportSignalLost();
            SetOnline(false);
        }
    }
    SetState(kChannelStopped);
    StopStreaming();
    SetOnline(false);
    return 0;
}

}  // namespace talvex
