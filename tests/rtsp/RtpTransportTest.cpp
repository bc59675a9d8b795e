// The UDP client, the RTP receiver and the RTCP handler over loopback UDP.
#include <gtest/gtest.h>

#include "CRecordingLog.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/PlatformUdp.h"
#include "rtsp/CRTCPHandler.h"
#include "rtsp/CRTPReceiver.h"
#include "rtsp/CUDPClient.h"

namespace {

using namespace talvex;
using Bytes = std::vector<uint8_t>;
constexpr uint32_t kLoopback = 0x7F000001;

// Ports are tried upwards from a base that differs between test processes.
uint16_t NextPort() {
    static uint16_t next = static_cast<uint16_t>(
        20000 + (std::chrono::steady_clock::now().time_since_epoch().count() / 1000) % 20000 * 2);
    next = static_cast<uint16_t>(next + 2);
    if (next < 20000 || next > 60000)
        next = 20000;
    return next;
}

template <typename F>
uint16_t OpenOnFreePort(F open) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        const uint16_t port = NextPort();
        if (open(port))
            return port;
    }
    return 0;
}

// A test socket playing the camera.
struct SPeer {
    SPeer() {
        Port = OpenOnFreePort([this](uint16_t p) { return (Socket = platform::OpenUdp(p, 0, 0, 0)) != nullptr; });
    }
    ~SPeer() { platform::CloseUdp(Socket); }
    bool Send(const Bytes& bytes, uint16_t port) {
        return platform::SendDatagram(Socket, bytes.data(), bytes.size(), {kLoopback, port});
    }
    // The next datagram within 10 s, or nothing.
    Bytes Receive() {
        if (platform::WaitUdpReadable(Socket, 10, 0) != platform::EUdpWait::Readable)
            return {};
        Bytes buffer(2048);
        std::size_t size = 0;
        platform::SUdpAddress from;
        if (platform::ReceiveDatagram(Socket, buffer.data(), buffer.size(), size, from) != platform::EUdpReceive::Datagram)
            return {};
        buffer.resize(size);
        return buffer;
    }
    platform::UdpHandle Socket = nullptr;
    uint16_t Port = 0;
};

// marker: the packet ends its picture (each of these pictures has time stamp 1).
Bytes Rtp(uint16_t sequence, std::size_t payload = 20, bool marker = false) {
    Bytes p = {0x80, static_cast<uint8_t>(marker ? 0xE0 : 0x60), static_cast<uint8_t>(sequence >> 8),
               static_cast<uint8_t>(sequence), 0, 0, 0, 1, 1, 2, 3, 4};
    p.resize(12 + payload, 0x5A);
    return p;
}

class CWaiter {
public:
    template <typename P>
    bool WaitFor(P predicate) {
        std::unique_lock<std::mutex> lock(Mutex);
        return Changed.wait_for(lock, std::chrono::seconds(20), predicate);
    }
    std::mutex Mutex;
    std::condition_variable Changed;
};

class CUdpUser : public IRTPClientUser, public CWaiter {
public:
    void OnDatagram(IRTPClient*, const platform::SUdpAddress&, const uint8_t*, std::size_t length) override {
        std::lock_guard<std::mutex> lock(Mutex);
        Sizes.push_back(length);
        Changed.notify_all();
    }
    void OnReceiveTimeout(IRTPClient*) override {
        std::lock_guard<std::mutex> lock(Mutex);
        ++Timeouts;
        Changed.notify_all();
    }
    void OnSocketClosed(IRTPClient*) override {
        std::lock_guard<std::mutex> lock(Mutex);
        ++Closed;
    }
    std::vector<std::size_t> Sizes;
    int Timeouts = 0;
    int Closed = 0;
};

TEST(RtpTransportTest, UdpClientGrowsItsBufferAndNeverDeliversACutDatagram) {
    CUDPClient client(nullptr);
    CUdpUser user;
    client.SetBufferSize(1536);
    client.SetSelectTimeout(0, 200);
    const uint16_t port = OpenOnFreePort([&](uint16_t p) { return client.Open(&user, p); });
    ASSERT_NE(port, 0);
    EXPECT_EQ(client.GetPort(), port);
    CUDPClient second(nullptr);
    EXPECT_FALSE(second.Open(&user, port)) << "the port is taken";

    SPeer peer;
    ASSERT_TRUE(peer.Send(Bytes(2000, 1), port));  // lost, grows the read size to 2560
    ASSERT_TRUE(peer.Send(Bytes(100, 2), port));
    ASSERT_TRUE(user.WaitFor([&] { return !user.Sizes.empty(); }));
    ASSERT_TRUE(peer.Send(Bytes(2000, 3), port));
    ASSERT_TRUE(user.WaitFor([&] { return user.Sizes.size() == 2 && user.Timeouts > 0; }));
    EXPECT_EQ(user.Sizes, (std::vector<std::size_t>{100, 2000}));
    client.Close();
    EXPECT_EQ(client.GetPort(), 0);
    EXPECT_EQ(user.Closed, 1);
}

// A batched client reports quiet periods, delivers what arrives, and Close
// wakes its thread even when it waits far longer than Close may take.
TEST(RtpTransportTest, BatchedUdpClientReportsQuietPeriodsAndStopsAtOnce) {
    for (const uint32_t seconds : {0u, 30u}) {
        CUDPClient client(nullptr);
        CUdpUser user;
        client.SetBatchSize(CRTPReceiver::kReceiveBatch);
        client.SetSelectTimeout(seconds, 200);
        const uint16_t port = OpenOnFreePort([&](uint16_t p) { return client.Open(&user, p); });
        ASSERT_NE(port, 0);
        SPeer peer;
        ASSERT_TRUE(peer.Send(Bytes(100, 1), port));
        ASSERT_TRUE(peer.Send(Bytes(300, 2), port));
        ASSERT_TRUE(user.WaitFor([&] { return user.Sizes.size() == 2 && (seconds != 0 || user.Timeouts >= 3); }));
        const auto closing = std::chrono::steady_clock::now();
        client.Close();
        EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(3)) << "waits " << seconds << " s";
        EXPECT_EQ(user.Sizes, (std::vector<std::size_t>{100, 300}));
        EXPECT_EQ(user.Closed, 1);
    }
}

TEST(RtpTransportTest, BatchReceiveReturnsTheQueuedDatagramsInOrder) {
    SPeer receiver;
    SPeer sender;
    ASSERT_NE(receiver.Port, 0);
    // More than one batch, with one datagram too large for its slot among them.
    constexpr std::size_t kCount = 45, kTooLarge = 7, kSlotBytes = 256;
    for (std::size_t i = 0; i < kCount; ++i)
        ASSERT_TRUE(sender.Send(Bytes(i == kTooLarge ? 1000 : 10 + i, static_cast<uint8_t>(i)), receiver.Port));
    std::vector<Bytes> buffers(32, Bytes(kSlotBytes));
    std::vector<platform::SUdpDatagram> slots(buffers.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        slots[i].Buffer = buffers[i].data();
        slots[i].Capacity = kSlotBytes;
    }
    std::vector<std::size_t> sizes;
    std::vector<platform::EUdpReceive> results;
    while (results.size() < kCount) {
        ASSERT_EQ(platform::WaitUdpReadable(receiver.Socket, 10, 0), platform::EUdpWait::Readable);
        const std::size_t got = platform::ReceiveDatagrams(receiver.Socket, slots.data(), slots.size());
        ASSERT_GE(got, 1u);
        for (std::size_t i = 0; i < got; ++i) {
            results.push_back(slots[i].Result);
            sizes.push_back(slots[i].Size);
            if (slots[i].Result == platform::EUdpReceive::Datagram) {
                EXPECT_EQ(buffers[i][0], static_cast<uint8_t>(results.size() - 1)) << "datagram " << results.size() - 1;
                EXPECT_EQ(slots[i].Sender.Port, sender.Port);
            }
        }
    }
    ASSERT_EQ(results.size(), kCount);
    for (std::size_t i = 0; i < kCount; ++i) {
        EXPECT_EQ(results[i], i == kTooLarge ? platform::EUdpReceive::Truncated : platform::EUdpReceive::Datagram) << i;
        EXPECT_EQ(sizes[i], i == kTooLarge ? 0 : 10 + i) << i;
    }
}

// A 1080p key picture arrives as one burst of about 200 KiB while the socket
// thread may be busy: the receiver's socket buffer holds it whole.
TEST(RtpTransportTest, SocketBufferHoldsAKeyPictureBurst) {
    class CBlockingUser : public CUdpUser {
    public:
        void OnDatagram(IRTPClient* client, const platform::SUdpAddress& from, const uint8_t* bytes,
                        std::size_t length) override {
            CUdpUser::OnDatagram(client, from, bytes, length);
            std::unique_lock<std::mutex> lock(Mutex);
            Changed.wait(lock, [&] { return !Hold; });
        }
        bool Hold = true;
    };
    CUDPClient client(nullptr);
    CBlockingUser user;
    client.SetBufferSize(1536);
    client.SetSocketBufferSize(CRTPReceiver::kSocketBufferBytes);
    const uint16_t port = OpenOnFreePort([&](uint16_t p) { return client.Open(&user, p); });
    ASSERT_NE(port, 0);
    SPeer peer;
    ASSERT_TRUE(peer.Send(Bytes(100, 1), port));
    ASSERT_TRUE(user.WaitFor([&] { return user.Sizes.size() == 1; }));  // the socket thread now waits
    constexpr std::size_t kBurst = 150;  // 210 000 bytes
    for (std::size_t i = 0; i < kBurst; ++i) ASSERT_TRUE(peer.Send(Bytes(1400, 2), port));
    {
        std::lock_guard<std::mutex> lock(user.Mutex);
        user.Hold = false;
        user.Changed.notify_all();
    }
    EXPECT_TRUE(user.WaitFor([&] { return user.Sizes.size() == 1 + kBurst; })) << user.Sizes.size();
    client.Close();
}

class CReceiverUser : public IRTPReceiverUser, public CWaiter {
public:
    void OnInterleavedPacket(const CRTPPacket&) override {}
    void OnRtpPacket(const platform::SUdpAddress&, const CRTPPacket& packet) override {
        std::unique_lock<std::mutex> lock(Mutex);
        Sequences.push_back(packet.SequenceNumber());
        Changed.notify_all();
        Changed.wait(lock, [&] { return !Hold; });
    }
    void OnReceiveTimeout() override {}
    void OnSocketClosed() override {}
    void OnSdpParameters(const SdpCodecParameters&) override {}
    std::vector<uint16_t> Sequences;
    bool Hold = false;
};

TEST(RtpTransportTest, ReceiverDeliversInArrivalOrderAcrossRestarts) {
    CRTPReceiver receiver(nullptr);
    CReceiverUser user;
    receiver.User = &user;
    SPeer peer;
    for (int round = 0; round < 10; ++round) {
        const uint16_t port = OpenOnFreePort([&](uint16_t p) { return receiver.Start(p); });
        ASSERT_NE(port, 0);
        {
            std::lock_guard<std::mutex> lock(user.Mutex);
            user.Sequences.clear();
        }
        std::vector<uint16_t> expected;
        for (uint16_t s = 0; s < 20; ++s) {
            const uint16_t sequence = static_cast<uint16_t>(round * 100 + (s * 7) % 20);
            expected.push_back(sequence);
            ASSERT_TRUE(peer.Send(Rtp(sequence, 20, true), port));
            // One picture at a time: loopback UDP keeps order, and nothing is lost.
            ASSERT_TRUE(user.WaitFor([&] { return user.Sequences.size() == expected.size(); }));
        }
        ASSERT_TRUE(peer.Send({0x40, 0, 0, 0}, port));  // not RTP: dropped
        receiver.Stop();
        EXPECT_EQ(user.Sequences, expected);
    }
}

TEST(RtpTransportTest, ReceiverDeliversABurstWhole) {
    CRTPReceiver receiver(nullptr);
    CReceiverUser user;
    receiver.User = &user;
    SPeer peer;
    const uint16_t port = OpenOnFreePort([&](uint16_t p) { return receiver.Start(p); });
    ASSERT_NE(port, 0);
    // A picture's packets back to back, as a camera sends them: taken in
    // batches, handed on one by one.
    std::vector<uint16_t> expected;
    constexpr uint16_t kPackets = 2 * CRTPReceiver::kReceiveBatch + 5;
    for (uint16_t s = 0; s < kPackets; ++s) {
        expected.push_back(s);
        ASSERT_TRUE(peer.Send(Rtp(s, 200, s + 1 == kPackets), port));
    }
    ASSERT_TRUE(user.WaitFor([&] { return user.Sequences.size() == expected.size(); }));
    receiver.Stop();
    EXPECT_EQ(user.Sequences, expected);
    EXPECT_EQ(receiver.DroppedPackets(), 0u);
}

// The receiver's thread is woken once a picture is complete in the queue.
TEST(RtpTransportTest, PictureEndsAtTheMarkerOrAtTheNextTimeStamp) {
    struct SPacket {
        bool marker;
        uint32_t timestamp;
        bool completes;
    };
    struct SCase {
        const char* name;
        std::vector<SPacket> packets;
    };
    const SCase cases[] = {
        {"marked pictures", {{false, 10, false}, {false, 10, false}, {true, 10, true}, {false, 20, false}, {true, 20, true}}},
        {"one-packet pictures", {{true, 10, true}, {true, 20, true}, {true, 20, true}}},
        {"lost marker: the next picture's first packet",
         {{false, 10, false}, {false, 10, false}, {false, 20, true}, {false, 20, false}, {true, 20, true}}},
        {"a camera that never marks", {{false, 10, false}, {false, 20, true}, {false, 30, true}}},
        {"a new time stamp after a marker starts a picture", {{true, 10, true}, {false, 20, false}}},
    };
    for (const SCase& c : cases) {
        CPictureEnd end;
        for (std::size_t i = 0; i < c.packets.size(); ++i)
            EXPECT_EQ(end.Note(c.packets[i].marker, c.packets[i].timestamp), c.packets[i].completes)
                << c.name << ", packet " << i;
        end.Reset();
        // After a restart the first packet never ends an earlier picture.
        EXPECT_FALSE(end.Note(false, 99)) << c.name;
    }
}

TEST(RtpTransportTest, FullQueueDropsTheOldestAndCountsThem) {
    wftest::CRecordingLog log;
    CRTPReceiver receiver(&log);
    CReceiverUser user;
    receiver.User = &user;
    ASSERT_NE(OpenOnFreePort([&](uint16_t p) { return receiver.Start(p); }), 0);
    IRTPClient* face = receiver.ClientFace();
    user.Hold = true;
    const Bytes first = Rtp(0, 20, true);
    receiver.OnDatagram(face, {kLoopback, 1}, first.data(), first.size());
    ASSERT_TRUE(user.WaitFor([&] { return user.Sequences.size() == 1; }));
    constexpr uint16_t kExtra = 10;
    for (uint16_t s = 1; s <= CRTPReceiver::kMaxQueuedPackets + kExtra; ++s) {
        const Bytes p = Rtp(s);
        receiver.OnDatagram(face, {kLoopback, 1}, p.data(), p.size());
    }
    EXPECT_EQ(receiver.DroppedPackets(), kExtra);
    // One line for the whole burst, not one per dropped packet.
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_NE(log.Lines()[0].text.find("full, dropping the oldest packets"), std::string::npos) << log.Lines()[0].text;
    {
        std::lock_guard<std::mutex> lock(user.Mutex);
        user.Hold = false;
        user.Changed.notify_all();
    }
    ASSERT_TRUE(user.WaitFor([&] { return user.Sequences.size() == 1 + CRTPReceiver::kMaxQueuedPackets; }));
    receiver.Stop();
    EXPECT_EQ(user.Sequences[1], kExtra + 1);
    EXPECT_EQ(user.Sequences.back(), CRTPReceiver::kMaxQueuedPackets + kExtra);
}

TEST(RtpTransportTest, SequenceStatistics) {
    struct SCase {
        const char* name;
        std::vector<uint16_t> sequences;
        uint32_t extendedHighest;
    };
    const SCase cases[] = {
        {"in order", {10, 11, 12}, 12},
        {"wrap", {65534, 65535, 0, 1}, 65537},
        {"loss", {1, 2, 50, 51}, 51},
        {"duplicates and reordering", {100, 102, 101, 102, 100, 103}, 103},
        {"late across the wrap", {65535, 0, 1, 65534, 2}, 65538},
        {"jump ignored once", {10, 11, 5011}, 11},
        {"jump then continue restarts", {10, 11, 5011, 5012, 5013}, 5013},
        {"second wrap", {65535, 0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 11000, 12000, 13000,
                         14000, 15000, 16000, 17000, 18000, 19000, 20000, 21000, 22000, 23000, 24000, 25000, 26000,
                         27000, 28000, 29000, 30000, 31000, 32000, 33000, 34000, 35000, 36000, 37000, 38000, 39000,
                         40000, 41000, 42000, 43000, 44000, 45000, 46000, 47000, 48000, 49000, 50000, 51000, 52000,
                         53000, 54000, 55000, 56000, 57000, 58000, 59000, 60000, 61000, 62000, 63000, 64000, 65000,
                         464},
         2 * 65536 + 464},
    };
    for (const SCase& c : cases) {
        CRTCPHandler handler(nullptr);
        for (uint16_t s : c.sequences)
            handler.OnRtpSequence(s);
        EXPECT_EQ(handler.ExtendedHighestSequence(), c.extendedHighest) << c.name;
    }
}

Bytes SenderReport() {
    Bytes sr = {0x80, 200, 0, 6, 0xCA, 0xFE, 0xBA, 0xBE, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    sr.resize(28, 0);
    return sr;
}

uint32_t Big32(const Bytes& b, std::size_t at) {
    return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
           static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

TEST(RtpTransportTest, RtcpHandlerAnswersSenderReportsAndSaysBye) {
    SPeer camera;
    for (int round = 0; round < 5; ++round) {
        CRTCPHandler handler(nullptr);
        const uint16_t port = OpenOnFreePort([&](uint16_t p) { return handler.Start(p, kLoopback); });
        ASSERT_NE(port, 0);
        handler.OnRtpSequence(65535);
        handler.OnRtpSequence(0);
        ASSERT_TRUE(camera.Send(Bytes(14, 0x80), port));  // too short: ignored
        ASSERT_TRUE(camera.Send(SenderReport(), port));
        const Bytes report = camera.Receive();
        ASSERT_EQ(report.size(), 32u);
        EXPECT_EQ(report[0], 0x81);
        EXPECT_EQ(report[1], 201);
        EXPECT_EQ(Big32(report, 0) & 0xFFFF, 7u);
        EXPECT_EQ(Big32(report, 4), handler.OwnSsrcValue());
        EXPECT_EQ(Big32(report, 8), 0xCAFEBABEu);
        EXPECT_EQ(Big32(report, 12), 0u);
        EXPECT_EQ(Big32(report, 16), 65536u);
        EXPECT_EQ(Big32(report, 24), 0x33445566u);
        EXPECT_LT(Big32(report, 28), 65536u * 10) << "delay since the report, in 1/65536 s";
        handler.Stop();
        const Bytes bye = camera.Receive();
        ASSERT_EQ(bye.size(), 8u);
        EXPECT_EQ(bye[1], 203);
        EXPECT_EQ(Big32(bye, 4), handler.OwnSsrcValue());
    }
}

}  // namespace
