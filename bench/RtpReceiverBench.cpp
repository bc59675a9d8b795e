// Cost per RTP packet of the receive path after the socket: parse into a
// CRTPPacket, queue, hand over to the receiver thread and deliver to the
// channel, beside a plain memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "rtsp/CRTPReceiver.h"

namespace {

constexpr std::size_t kPacketBytes = 1400;
constexpr int kBatch = 64;

std::vector<uint8_t> Packet(uint16_t sequence) {
    std::vector<uint8_t> p(kPacketBytes, 0x5A);
    const uint8_t head[] = {0x80, 0x60, static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence),
                            0, 0, 0x10, 0, 1, 2, 3, 4};
    std::memcpy(p.data(), head, sizeof(head));
    return p;
}

class CCountingUser final : public talvex::IRTPReceiverUser {
public:
    void OnInterleavedPacket(const talvex::CRTPPacket&) override {}
    void OnRtpPacket(const talvex::platform::SUdpAddress&, const talvex::CRTPPacket& packet) override {
        bytes.fetch_add(packet.PayloadLength(), std::memory_order_relaxed);
        delivered.fetch_add(1, std::memory_order_release);
    }
    void OnReceiveTimeout() override {}
    void OnSocketClosed() override {}
    void OnSdpParameters(const talvex::SdpCodecParameters&) override {}
    std::atomic<uint64_t> delivered{0};
    std::atomic<uint64_t> bytes{0};
};

void BM_RtpParseAndHandOff(benchmark::State& state) {
    talvex::CRTPReceiver receiver(nullptr);
    CCountingUser user;
    receiver.User = &user;
    bool started = false;
    for (uint16_t port = 47000; port < 47400 && !started; port = static_cast<uint16_t>(port + 2))
        started = receiver.Start(port);
    if (!started) {
        state.SkipWithError("no free UDP port");
        return;
    }
    talvex::IRTPClient* face = receiver.ClientFace();
    const talvex::platform::SUdpAddress sender{0x7F000001, 5000};
    std::vector<std::vector<uint8_t>> packets;
    for (uint16_t s = 0; s < kBatch; ++s)
        packets.push_back(Packet(s));
    uint64_t sent = 0;
    for (auto _ : state) {
        // One batch, waited for until the channel has seen every packet, so
        // the figure includes the hand-over to the receiver thread.
        for (const auto& p : packets)
            receiver.OnDatagram(face, sender, p.data(), p.size());
        sent += kBatch;
        while (user.delivered.load(std::memory_order_acquire) + receiver.DroppedPackets() < sent) {
        }
    }
    receiver.Stop();
    state.counters["ns_per_packet"] =
        benchmark::Counter(static_cast<double>(sent), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["dropped"] = static_cast<double>(receiver.DroppedPackets());
    state.SetBytesProcessed(static_cast<int64_t>(sent * kPacketBytes));
}
BENCHMARK(BM_RtpParseAndHandOff)->UseRealTime();

void BM_MemcpySamePackets(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> packets;
    for (uint16_t s = 0; s < kBatch; ++s)
        packets.push_back(Packet(s));
    std::vector<uint8_t> target(kPacketBytes);
    uint64_t copied = 0;
    for (auto _ : state) {
        for (const auto& p : packets) {
            std::memcpy(target.data(), p.data(), p.size());
            benchmark::ClobberMemory();
        }
        copied += kBatch;
    }
    state.counters["ns_per_packet"] =
        benchmark::Counter(static_cast<double>(copied), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<int64_t>(copied * kPacketBytes));
}
BENCHMARK(BM_MemcpySamePackets)->UseRealTime();

}  // namespace
