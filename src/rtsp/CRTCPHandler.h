// Listens for the camera's RTCP packets on the port after the RTP port,
// answers each with a 32-byte receiver report ("RTCP Handler Thread"), says
// goodbye with a BYE on stop, and keeps the RFC 3550 sequence statistics of
// the RTP stream, fed by the channel for every RTP packet.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "rtsp/CUDPClient.h"
#include "rtsp/IRTPClient.h"
#include "thread/CBaseThread.h"
#include "thread/CEvent.h"
#include "thread/CRecursiveLock.h"

namespace talvex {

class CRTCPHandler : public CBaseThread, public IRTPClientUser {
public:
    static constexpr std::size_t kReceiverReportBytes = 32;
    static constexpr std::size_t kByeBytes = 8;

    explicit CRTCPHandler(IDebugMessage* log);
    ~CRTCPHandler() override;

    // port is the RTP port + 1; cameraAddress in host byte order.
    bool Start(uint16_t port, uint32_t cameraAddress);
    void Stop();

    void OnRtpSequence(uint16_t sequence);

    void OnDatagram(IRTPClient* client, const platform::SUdpAddress& sender, const uint8_t* bytes,
                    std::size_t length) override;
    void OnReceiveTimeout(IRTPClient*) override {}
    void OnSocketClosed(IRTPClient*) override {}

    // The report as it would go out now (also what the thread sends).
    std::array<uint8_t, kReceiverReportBytes> BuildReceiverReport();
    // Cycles + MaxSeq: the extended highest sequence number received.
    uint32_t ExtendedHighestSequence();
    uint32_t OwnSsrcValue() const;
    // Whether the camera's RTCP reached this port since Start.
    bool PeerHeard() const { return PeerKnown.load(); }

protected:
    void Run() override;

private:
    bool SendToPeer(const uint8_t* bytes, std::size_t length);

    CUDPClient Client;
    std::atomic<uint32_t> CameraAddress{0};
    std::atomic<bool> PeerKnown{false};
    bool StatsStarted = false;  // guarded by Lock
    CAutoEvent ReportTrigger;
    CRecursiveLock Lock;
    platform::SUdpAddress PeerAddress;
    uint32_t LastSrArrival = 0;
    uint8_t VersionBits = 0x80;
    uint16_t MaxSeq = 0;
    uint32_t Cycles = 0;
    uint32_t BaseSeq = 0;
    uint32_t BadSeq = 65537;
    std::array<uint8_t, 4> OwnSsrc{};
    std::array<uint8_t, 4> PeerSsrc{};
    std::array<uint8_t, 4> LastSr{};
};

}  // namespace talvex
