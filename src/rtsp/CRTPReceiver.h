// Turns the datagrams of one UDP client into parsed RTP packets and hands
// them, in arrival order, to the channel on a thread of its own
// ("RTP Packet Queue (%hu)"). The queue between the socket thread and that
// thread holds at most kMaxQueuedPackets: when the channel falls behind, the
// oldest packets are dropped and counted. That thread is woken once a
// picture is complete in the queue (kWakePackets).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "base/TSmartPtr.h"
#include "rtsp/CRTPPacket.h"
#include "rtsp/IRTPClient.h"
#include "rtsp/IRTPReceiverUser.h"
#include "thread/CBaseThread.h"
#include "thread/CEvent.h"
#include "thread/CRecursiveLock.h"

namespace talvex {

struct RTPPacketEntry {
    platform::SUdpAddress Address;
    CRTPPacket Packet;
    int64_t ReceivedNs = 0;  // for the latency probe only
};

// Tells, packet by packet in queue order, where a picture is complete: at
// its marker packet, or, when the marker was lost or the camera sets none,
// at the first packet of the next picture (a new time stamp).
class CPictureEnd {
public:
    bool Note(bool marker, uint32_t timestamp) {
        const bool completes = marker || (m_have && !m_marker && timestamp != m_timestamp);
        m_have = true;
        m_marker = marker;
        m_timestamp = timestamp;
        return completes;
    }
    void Reset() { m_have = false; }

private:
    bool m_have = false;
    bool m_marker = false;
    uint32_t m_timestamp = 0;
};

class CRTPReceiver : public IRTPClientUser, public CBaseThread {
public:
    // About two seconds of a busy high-resolution stream, a few MiB at most.
    static constexpr std::size_t kMaxQueuedPackets = 2048;
    // The RTP socket's receive buffer. A high-resolution key picture comes
    // as one burst of 100 to 200 KiB; 64 KiB (128 KiB as Linux counts it)
    // overflows before the socket thread is scheduled, loses the key picture
    // and with it every picture up to the next one.
    static constexpr uint32_t kSocketBufferBytes = 2 * 1024 * 1024;
    // Datagrams taken from the socket at once.
    static constexpr uint32_t kReceiveBatch = 32;
    // The channel's thread is woken when a picture is complete in the queue
    // (its marker packet, or the first packet of the next picture when the
    // marker was lost or the camera sets none), or when this many packets
    // wait: one wake-up per picture instead of one per datagram batch, and a
    // large picture is still taken in as it arrives.
    static constexpr std::size_t kWakePackets = 32;

    explicit CRTPReceiver(IDebugMessage* log);
    ~CRTPReceiver() override;

    bool Start(uint16_t port);
    void Stop();

    void OnDatagram(IRTPClient* client, const platform::SUdpAddress& sender, const uint8_t* bytes,
                    std::size_t length) override;
    void OnDatagrams(IRTPClient* client, const platform::SUdpDatagram* datagrams, std::size_t count) override;
    void OnReceiveTimeout(IRTPClient* client) override;
    void OnSocketClosed(IRTPClient* client) override;

    // Packets dropped because the queue was full, since construction.
    uint64_t DroppedPackets() const { return Dropped.load(); }
    uint16_t Port() const { return CurrentPort.load(); }
    // The face of the current UDP client, as OnDatagram expects it.
    IRTPClient* ClientFace() const { return CurrentClient.load(); }

    IRTPReceiverUser* User = nullptr;

protected:
    void Run() override;

private:
    void EmptyQueue();
    // Back to the pool, or freed when the pool is full (guarded by Lock).
    void Recycle(std::unique_ptr<RTPPacketEntry> entry);

    IDebugMessage* const Log;
    CRecursiveLock Lock;
    std::deque<std::unique_ptr<RTPPacketEntry>> Queue;
    // Entries that served and will again, guarded by Lock: a steady stream
    // allocates nothing per packet.
    std::vector<std::unique_ptr<RTPPacketEntry>> Pool;
    CAutoEvent PacketEvent;
    TSmartPtr<IRTPClient> Client;
    std::atomic<IRTPClient*> CurrentClient{nullptr};
    std::atomic<uint16_t> CurrentPort{0};
    std::atomic<uint64_t> Dropped{0};
    bool InDropBurst = false;  // guarded by Lock
    // Guarded by Lock: the channel's thread found the queue empty and waits
    // to be woken; where the queued packets complete a picture.
    bool ConsumerIdle = true;
    CPictureEnd QueuedPictureEnd;
};

}  // namespace talvex
