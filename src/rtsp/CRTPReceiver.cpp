#include "rtsp/CRTPReceiver.h"

#include "base/FormatString.h"
#include "rtsp/CUDPClient.h"

namespace talvex {

CRTPReceiver::CRTPReceiver(IDebugMessage* log) : CBaseThread(log), Log(log) {}

CRTPReceiver::~CRTPReceiver() {
    Stop();
}

bool CRTPReceiver::Start(uint16_t port) {
    auto* udp = new CUDPClient(Log);
    Client = static_cast<IRTPClient*>(udp);
    udp->SetBufferSize(1536);
    udp->SetSelectTimeout(2, 0);
    CurrentClient.store(udp);
    CurrentPort.store(port);
    EmptyQueue();
    bool ok = udp->Open(this, port);
    if (ok)
        ok = StartThread(FormatString("RTP Packet Queue (%hu)", port));
    if (!ok)
        Stop();
    return ok;
}

void CRTPReceiver::Stop() {
    // The stop event first, so that the socket thread stops queueing before
    // its client is closed.
    StopEvent().Set();
    if (Client) {
        Client->Close();
        CurrentClient.store(nullptr);
        Client = nullptr;
    }
    EmptyQueue();
    StopThread(2000);
    CurrentPort.store(0);
}

void CRTPReceiver::EmptyQueue() {
    CLockHolder hold(Lock);
    Queue.clear();
    InDropBurst = false;
}

void CRTPReceiver::OnDatagram(IRTPClient* client, const platform::SUdpAddress& sender, const uint8_t* bytes,
                              std::size_t length) {
    if (client == nullptr || client != CurrentClient.load())
        return;
    std::unique_ptr<RTPPacketEntry> entry;
    {
        CLockHolder hold(Lock);
        entry = std::move(Spare);
    }
    if (!entry)
        entry = std::make_unique<RTPPacketEntry>();
    entry->Address = sender;
    if (!entry->Packet.Parse(bytes, length) || StopEvent().Wait(0))
        return;
    bool firstDropOfBurst = false;
    {
        CLockHolder hold(Lock);
        if (Queue.size() >= kMaxQueuedPackets) {
            // The channel has fallen behind: the oldest packet goes, the
            // newest stays, and the drop is counted.
            Spare = std::move(Queue.front());
            Queue.pop_front();
            Dropped.fetch_add(1);
            firstDropOfBurst = !InDropBurst;
            InDropBurst = true;
        }
        Queue.push_back(std::move(entry));
    }
    PacketEvent.Set();
    if (firstDropOfBurst && Log != nullptr)
        Log->DebugMessage(kLevelInformation, "%s: packet queue of port %u full, dropping the oldest packets",
                          "talvex::CRTPReceiver::OnDatagram", static_cast<unsigned>(CurrentPort.load()));
}

void CRTPReceiver::OnReceiveTimeout(IRTPClient* client) {
    if (client != nullptr && client == CurrentClient.load() && User != nullptr)
        User->OnReceiveTimeout();
}

void CRTPReceiver::OnSocketClosed(IRTPClient* client) {
    if (client != nullptr && client == CurrentClient.load() && User != nullptr)
        User->OnSocketClosed();
}

void CRTPReceiver::Run() {
    const platform::EventHandle events[] = {StopEvent().Handle(), PacketEvent.Handle()};
    uint32_t waitMs = 0;
    for (;;) {
        std::size_t index = 0;
        const platform::EWaitResult result = platform::WaitAnyEvent(events, 2, waitMs, index);
        if ((result == platform::EWaitResult::Signalled && index == 0) || result == platform::EWaitResult::Failed)
            break;
        std::unique_ptr<RTPPacketEntry> entry;
        bool empty = true;
        {
            CLockHolder hold(Lock);
            if (!Queue.empty()) {
                entry = std::move(Queue.front());
                Queue.pop_front();
            }
            empty = Queue.empty();
            if (empty)
                InDropBurst = false;
        }
        if (entry) {
            if (User != nullptr)
                User->OnRtpPacket(entry->Address, entry->Packet);
            CLockHolder hold(Lock);
            if (!Spare)
                Spare = std::move(entry);
        }
        waitMs = empty ? 1000 : 0;
    }
    EmptyQueue();
}

}  // namespace talvex
