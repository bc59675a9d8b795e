// A channel fed by RTP: finds a quiet pair of local UDP ports, accepts packets
// from the device only, hands them to the codec's depacketizer, and runs the
// capture thread that connects, watches the picture flow, reports a lost
// signal and reconnects.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

#include "channels/CBaseCameraChannel.h"
#include "parsers/IMediaParserClient.h"
#include "rtsp/CRTCPHandler.h"
#include "rtsp/CRTPReceiver.h"
#include "rtsp/IRTPReceiverUser.h"
#include "thread/CEvent.h"
#include "thread/CTime.h"

namespace talvex {

class CBaseRTPChannel : public CBaseCameraChannel, public IRTPReceiverUser, public IMediaParserClient {
public:
    static constexpr uint16_t kFirstRtpPort = 3556;
    static constexpr uint16_t kLastRtpPort = 4554;
    // How long a port must stay quiet before the channel takes it.
    static constexpr uint32_t kQuietPortMs = 2000;
    static constexpr uint32_t kKeepAlivePeriodMs = 30000;

    CBaseRTPChannel(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink);
    ~CBaseRTPChannel() override;

    // IRTPReceiverUser
    void OnInterleavedPacket(const CRTPPacket& packet) override;
    void OnRtpPacket(const platform::SUdpAddress& senderAddress, const CRTPPacket& packet) override;
    void OnReceiveTimeout() override {}
    void OnSocketClosed() override {}

    // IMediaParserClient
    bool OnFrame(ipcapture::IHostMediaSample* sample) override;
    std::pair<uint32_t, uint32_t> GetPictureSize() override;

    // The local RTP port of the running session; 0 while none.
    uint16_t RtpPort() const { return m_receiver.Port(); }

protected:
    virtual bool StartStreaming();
    virtual void StopStreaming();
    // Periodic hook while pictures flow; the RTSP client keeps its own
    // session alive, so nothing is needed here.
    virtual void KeepAlive() {}
    // Prepares the device for streaming.
    virtual bool Connect() = 0;
    // One packet for the codec's depacketizer (on a receiver thread).
    virtual void HandleRtpPacket(const CRTPPacket& packet) = 0;
    // Drops the picture the depacketizer was assembling.
    virtual void ResetDepacketizer() = 0;

    uint32_t CaptureThread() override;

    CRTPReceiver& Receiver() { return m_receiver; }
    CRTCPHandler& Rtcp() { return m_rtcp; }
    // The device's IPv4 address in host byte order; 0 when it did not resolve.
    uint32_t DeviceSourceAddress() const { return m_deviceAddress; }
    // Packets accepted since the last call (RTP by UDP or interleaved).
    uint64_t TakePacketCount() { return m_packets.exchange(0); }
    // The session's codec parameters reach the depacketizer on the thread
    // that feeds it packets, before the next packet: the depacketizer is
    // never touched by two threads, and no lock is held while it hands a
    // picture to the host.
    void QueueCodecParameters(const SdpCodecParameters& parameters);
    virtual void ApplyCodecParameters(const SdpCodecParameters&) {}

private:
    // Hands the packet over; a failure inside the depacketizer (memory)
    // loses the picture being assembled, never the receiver thread.
    void Depacketize(const CRTPPacket& packet);
    void ReportSignalLost();

    CRTPReceiver m_receiver;
    CRTCPHandler m_rtcp;
    const uint32_t m_keepAlivePeriodMs = kKeepAlivePeriodMs;
    CTime m_keepAliveBase;
    CManualEvent m_packetEvent;
    CManualEvent m_frameEvent;
    const uint32_t m_deviceAddress;
    std::atomic<uint64_t> m_packets{0};
    std::mutex m_codecMutex;  // guards m_pendingCodec
    SdpCodecParameters m_pendingCodec;
    std::atomic<bool> m_codecPending{false};
    // A picture reached the host since the last reported loss: the next loss
    // is a new one and is reported again.
    std::atomic<bool> m_pictureSinceLoss{true};
};

}  // namespace talvex
