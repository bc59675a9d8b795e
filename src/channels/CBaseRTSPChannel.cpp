#include "channels/CBaseRTSPChannel.h"

#include <algorithm>

#include "platform/PlatformTime.h"

namespace talvex {

CBaseRTSPChannel::CBaseRTSPChannel(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink)
    : CBaseRTPChannel(channelIndex, driver, sink), m_client(driver) {}

CBaseRTSPChannel::~CBaseRTSPChannel() {
    Stop();
    m_client.StopSession();
}

void CBaseRTSPChannel::PrepareSession(RTSPConnectionSettings&) {}

bool CBaseRTSPChannel::StartStreaming() {
    // Interleaved sessions need no local ports: the stream comes on the
    // RTSP connection.
    if (!m_interleaved && !CBaseRTPChannel::StartStreaming()) return false;
    const DEVICE_INFO& device = Driver()->GetDeviceInfo();
    RTSPConnectionSettings settings;
    settings.Host = device.Address;
    settings.UserName = device.UserName;
    settings.Password = device.Password;
    settings.ConnectTimeout = device.ConnectTimeout;
    settings.ReceiveTimeout = device.ConnectTimeout;
    settings.ClientRtpPort = Receiver().Port();
    settings.ClientRtcpPort = m_interleaved ? 0 : static_cast<uint16_t>(Receiver().Port() + 1);
    PrepareSession(settings);
    if (StopEvent().Wait(0)) return false;
    TakePacketCount();
    m_sessionStartMs = platform::TickCountMs();
    m_sessionStarted = true;
    return m_client.StartSession(settings, this,
                                 m_interleaved ? CBaseRTSPClient::TRANSPORT_INTERLEAVED : CBaseRTSPClient::TRANSPORT_UDP);
}

void CBaseRTSPChannel::StopStreaming() {
    if (m_sessionStarted && !m_interleaved && !StopEvent().Wait(0)) JudgeTransport();
    m_sessionStarted = false;
    m_client.StopSession();
    CBaseRTPChannel::StopStreaming();
}

void CBaseRTSPChannel::JudgeTransport() {
    const bool heard = TakePacketCount() > 0 || Rtcp().PeerHeard();
    if (heard) {
        m_udpEverHeard = true;
        m_silentSessions = 0;
        return;
    }
    const uint32_t receiveTimeoutMs = Driver()->GetDeviceInfo().ReceiveTimeout;
    const uint64_t playedMs = static_cast<uint32_t>(platform::TickCountMs() - static_cast<uint32_t>(m_sessionStartMs));
    const CBaseRTSPClient::EOutcome outcome = m_client.Outcome();
    bool blocked = outcome == CBaseRTSPClient::EOutcome::TransportRefused;
    // A camera that once reached our ports and now sends nothing is paused,
    // not blocked; only one never heard over UDP is judged by its silence.
    if (!blocked && !m_udpEverHeard && outcome != CBaseRTSPClient::EOutcome::Pending && playedMs >= receiveTimeoutMs)
        blocked = ++m_silentSessions >= kSilentSessionsBeforeInterleaving;
    if (!blocked) return;
    m_interleaved = true;
    Driver()->DebugMessage(kLevelInformation, "%s: No UDP reaches %s; its stream now comes over the RTSP connection",
                           "talvex::CBaseRTSPChannel::StopStreaming", ChannelName().c_str());
}

void CBaseRTSPChannel::OnStopping() {
    CBaseRTPChannel::OnStopping();
    m_client.Abort();
}

}  // namespace talvex
