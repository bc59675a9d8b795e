#include "rtsp/CRTPReceiver.h"

#include "base/FormatString.h"
#include "rtsp/CUDPClient.h"
#include "rtsp/LatencyProbe.h"

#include <algorithm>

namespace talvex {

CRTPReceiver::CRTPReceiver(IDebugMessage* log) : CBaseThread(log), Log(log) {}

CRTPReceiver::~CRTPReceiver() {
    Stop();
}

bool CRTPReceiver::Start(uint16_t port) {
    auto* udp = new CUDPClient(Log);
    Client = static_cast<IRTPClient*>(udp);
    udp->SetBufferSize(1536);
    udp->SetBatchSize(kReceiveBatch);
    udp->SetSocketBufferSize(kSocketBufferBytes);
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
    Pool.clear();
    InDropBurst = false;
    ConsumerIdle = true;
    QueuedPictureEnd.Reset();
}

void CRTPReceiver::Recycle(std::unique_ptr<RTPPacketEntry> entry) {
    // Enough for a full queue's worth of turnover, not a second queue.
    if (entry && Pool.size() < 2 * kReceiveBatch)
        Pool.push_back(std::move(entry));
}

void CRTPReceiver::OnDatagram(IRTPClient* client, const platform::SUdpAddress& sender, const uint8_t* bytes,
                              std::size_t length) {
    platform::SUdpDatagram one;
    one.Buffer = const_cast<uint8_t*>(bytes);  // only read
    one.Capacity = one.Size = length;
    one.Sender = sender;
    one.Result = platform::EUdpReceive::Datagram;
    OnDatagrams(client, &one, 1);
}

void CRTPReceiver::OnDatagrams(IRTPClient* client, const platform::SUdpDatagram* datagrams, std::size_t count) {
    if (client == nullptr || client != CurrentClient.load())
        return;
    const int64_t receivedNs = latency::Now();
    std::unique_ptr<RTPPacketEntry> parsed[kReceiveBatch];
    std::size_t done = 0;
    while (done < count) {
        const std::size_t chunk = std::min<std::size_t>(count - done, kReceiveBatch);
        std::size_t ready = 0;
        {
            CLockHolder hold(Lock);
            for (std::size_t i = 0; i < chunk && !Pool.empty(); ++i) {
                parsed[i] = std::move(Pool.back());
                Pool.pop_back();
            }
        }
        for (std::size_t i = 0; i < chunk; ++i) {
            const platform::SUdpDatagram& datagram = datagrams[done + i];
            if (datagram.Result != platform::EUdpReceive::Datagram || datagram.Size == 0)
                continue;
            std::unique_ptr<RTPPacketEntry>& entry = parsed[ready];
            if (!entry)
                entry = std::make_unique<RTPPacketEntry>();
            entry->Address = datagram.Sender;
            entry->ReceivedNs = receivedNs;
            if (entry->Packet.Parse(static_cast<const uint8_t*>(datagram.Buffer), datagram.Size))
                ++ready;  // a packet that failed keeps its entry for the next datagram
        }
        done += chunk;
        if (StopEvent().Wait(0))
            ready = 0;
        bool firstDropOfBurst = false;
        bool wake = false;
        {
            CLockHolder hold(Lock);
            bool pictureComplete = false;
            for (std::size_t i = 0; i < ready; ++i) {
                const CRTPPacket& packet = parsed[i]->Packet;
                pictureComplete = QueuedPictureEnd.Note(packet.Marker() != 0, packet.Timestamp()) || pictureComplete;
                if (Queue.size() >= kMaxQueuedPackets) {
                    // The channel has fallen behind: the oldest packet goes,
                    // the newest stays, and the drop is counted.
                    Recycle(std::move(Queue.front()));
                    Queue.pop_front();
                    Dropped.fetch_add(1);
                    firstDropOfBurst = firstDropOfBurst || !InDropBurst;
                    InDropBurst = true;
                }
                Queue.push_back(std::move(parsed[i]));
            }
            for (std::size_t i = ready; i < chunk; ++i)
                Recycle(std::move(parsed[i]));
            // The channel's thread looks at the queue again before it sleeps,
            // so only a thread that found it empty needs waking, and only
            // when it has a picture to finish (or its time-out takes the rest).
            wake = ConsumerIdle && ready > 0 && (pictureComplete || Queue.size() >= kWakePackets);
            if (wake)
                ConsumerIdle = false;
        }
        if (wake)
            PacketEvent.Set();
        if (firstDropOfBurst && Log != nullptr)
            Log->DebugMessage(kLevelInformation, "%s: packet queue of port %u full, dropping the oldest packets",
                              "talvex::CRTPReceiver::OnDatagram", static_cast<unsigned>(CurrentPort.load()));
    }
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
        if (waitMs == 0) {
            // More packets wait: only a stop request matters, and a look at
            // that event takes no lock.
            if (StopEvent().Wait(0))
                break;
        } else {
            std::size_t index = 0;
            const platform::EWaitResult result = platform::WaitAnyEvent(events, 2, waitMs, index);
            if ((result == platform::EWaitResult::Signalled && index == 0) || result == platform::EWaitResult::Failed)
                break;
        }
        std::unique_ptr<RTPPacketEntry> entry;
        bool empty = true;
        {
            CLockHolder hold(Lock);
            if (!Queue.empty()) {
                entry = std::move(Queue.front());
                Queue.pop_front();
            }
            empty = Queue.empty();
            if (empty) {
                InDropBurst = false;
                ConsumerIdle = true;
            }
        }
        if (entry) {
            latency::SetPacketReceived(entry->ReceivedNs);
            if (User != nullptr)
                User->OnRtpPacket(entry->Address, entry->Packet);
            CLockHolder hold(Lock);
            Recycle(std::move(entry));
        }
        waitMs = empty ? 1000 : 0;
    }
    EmptyQueue();
}

}  // namespace talvex
