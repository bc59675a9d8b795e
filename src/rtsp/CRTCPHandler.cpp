#include "rtsp/CRTCPHandler.h"

#include <cmath>
#include <cstring>

#include "platform/PlatformTime.h"
#include "platform/PlatformUdp.h"

namespace talvex {

namespace {

constexpr uint32_t kMaxDropout = 3000;
constexpr uint32_t kMaxMisorder = 100;

void PutBig32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

}  // namespace

CRTCPHandler::CRTCPHandler(IDebugMessage* log) : CBaseThread(log), Client(log) {
    Client.SetBufferSize(1536);
    Client.SetSelectTimeout(1, 0);
    uint32_t ssrc = 0;
    while (ssrc == 0)
        platform::RandomBytes(&ssrc, sizeof(ssrc));
    PutBig32(OwnSsrc.data(), ssrc);
}

CRTCPHandler::~CRTCPHandler() {
    Stop();
}

uint32_t CRTCPHandler::OwnSsrcValue() const {
    return static_cast<uint32_t>(OwnSsrc[0]) << 24 | static_cast<uint32_t>(OwnSsrc[1]) << 16 |
           static_cast<uint32_t>(OwnSsrc[2]) << 8 | OwnSsrc[3];
}

bool CRTCPHandler::Start(uint16_t port, uint32_t cameraAddress) {
    if (Client.GetPort() != 0 || cameraAddress == 0)
        return false;
    CameraAddress.store(cameraAddress);
    if (!Client.Open(this, port))
        return false;
    Client.SetSelectTimeout(1, 0);
    if (!StartThread("RTCP Handler Thread")) {
        Client.Close();
        return false;
    }
    return true;
}

void CRTCPHandler::Stop() {
    // The thread that sends reports ends before the socket it sends on is
    // closed; the BYE goes out from here, after it.
    StopThread(5000);
    if (PeerKnown.load()) {
        std::array<uint8_t, kByeBytes> bye{};
        {
            CLockHolder hold(Lock);
            bye[0] = static_cast<uint8_t>(VersionBits | 1);
        }
        bye[1] = 203;
        bye[3] = 1;
        std::memcpy(bye.data() + 4, OwnSsrc.data(), 4);
        SendToPeer(bye.data(), bye.size());
    }
    Client.Close();
    PeerKnown.store(false);
}

void CRTCPHandler::OnDatagram(IRTPClient*, const platform::SUdpAddress& sender, const uint8_t* bytes,
                              std::size_t length) {
    if (bytes == nullptr || length <= 14 || sender.Address != CameraAddress.load())
        return;
    {
        CLockHolder hold(Lock);
        if (!PeerKnown.load()) {
            PeerAddress = sender;
            if (bytes[1] == 200)
                PeerKnown.store(true);
        }
        VersionBits = bytes[0] & 0xC0;
        std::memcpy(PeerSsrc.data(), bytes + 4, 4);
        std::memcpy(LastSr.data(), bytes + 10, 4);
        LastSrArrival = platform::TickCountMs();
        // 0 means "no report seen"; a tick count of exactly 0 is moved on.
        if (LastSrArrival == 0)
            LastSrArrival = 1;
    }
    ReportTrigger.Set();
}

void CRTCPHandler::OnRtpSequence(uint16_t sequence) {
    CLockHolder hold(Lock);
    auto restart = [&] {
        BaseSeq = static_cast<uint32_t>(sequence) - 1;
        MaxSeq = sequence;
        BadSeq = 65537;
        Cycles = 0;
    };
    if (!StatsStarted) {
        StatsStarted = true;
        restart();
    }
    const uint32_t delta = static_cast<uint16_t>(sequence - MaxSeq);
    if (delta < kMaxDropout) {
        if (sequence < MaxSeq)
            Cycles += 65536;
        MaxSeq = sequence;
    } else if (delta < 65536 - kMaxMisorder) {
        if (sequence == BadSeq)
            restart();
        else
            BadSeq = (static_cast<uint32_t>(sequence) + 1) % 65536;
    }
    // Otherwise a duplicate or a slightly late packet: nothing changes.
}

uint32_t CRTCPHandler::ExtendedHighestSequence() {
    CLockHolder hold(Lock);
    return Cycles + MaxSeq;
}

std::array<uint8_t, CRTCPHandler::kReceiverReportBytes> CRTCPHandler::BuildReceiverReport() {
    std::array<uint8_t, kReceiverReportBytes> report{};
    CLockHolder hold(Lock);
    report[0] = static_cast<uint8_t>(VersionBits | 1);
    report[1] = 201;
    report[3] = 7;
    std::memcpy(report.data() + 4, OwnSsrc.data(), 4);
    std::memcpy(report.data() + 8, PeerSsrc.data(), 4);
    PutBig32(report.data() + 16, Cycles + MaxSeq);
    std::memcpy(report.data() + 24, LastSr.data(), 4);
    uint32_t delay = 0;
    if (LastSrArrival != 0) {
        const uint32_t elapsedMs = platform::TickCountMs() - LastSrArrival;
        delay = static_cast<uint32_t>(std::llround(static_cast<double>(elapsedMs) * 65.536));
    }
    PutBig32(report.data() + 28, delay);
    return report;
}

bool CRTCPHandler::SendToPeer(const uint8_t* bytes, std::size_t length) {
    platform::SUdpAddress peer;
    {
        CLockHolder hold(Lock);
        peer = PeerAddress;
    }
    if (Client.SendTo(bytes, length, peer))
        return true;
    PeerKnown.store(false);
    return false;
}

void CRTCPHandler::Run() {
    const platform::EventHandle events[] = {StopEvent().Handle(), ReportTrigger.Handle()};
    for (;;) {
        std::size_t index = 0;
        const platform::EWaitResult result = platform::WaitAnyEvent(events, 2, 10000, index);
        if (result == platform::EWaitResult::Failed || (result == platform::EWaitResult::Signalled && index == 0))
            break;
        if (result != platform::EWaitResult::Signalled)
            continue;
        const auto report = BuildReceiverReport();
        if (PeerKnown.load())
            SendToPeer(report.data(), report.size());
    }
}

}  // namespace talvex
