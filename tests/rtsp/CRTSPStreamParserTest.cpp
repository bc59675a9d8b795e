#include "rtsp/CRTSPStreamParser.h"

#include <gtest/gtest.h>

#include <vector>

#include "rtsp/IRTPReceiverUser.h"

namespace {

using Bytes = std::vector<uint8_t>;

class CRecordingUser : public talvex::IRTPReceiverUser {
public:
    void OnInterleavedPacket(const talvex::CRTPPacket& packet) override {
        Sequences.push_back(packet.SequenceNumber());
        Payloads.emplace_back(packet.Payload(), packet.Payload() + packet.PayloadLength());
    }
    void OnRtpPacket(const talvex::platform::SUdpAddress&, const talvex::CRTPPacket&) override {}
    void OnReceiveTimeout() override {}
    void OnSocketClosed() override {}
    void OnSdpParameters(const talvex::SdpCodecParameters&) override {}

    std::vector<uint16_t> Sequences;
    std::vector<Bytes> Payloads;
};

Bytes Rtp(uint16_t sequence, const Bytes& payload) {
    Bytes p = {0x80, 0x60, static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence), 0, 0, 0, 1, 0, 0, 0, 2};
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

Bytes Frame(uint8_t channel, const Bytes& packet) {
    Bytes f = {0x24, channel, static_cast<uint8_t>(packet.size() >> 8), static_cast<uint8_t>(packet.size())};
    f.insert(f.end(), packet.begin(), packet.end());
    return f;
}

void Append(Bytes& a, const Bytes& b) { a.insert(a.end(), b.begin(), b.end()); }

// An RTSP answer, an RTP frame, an RTCP frame whose body holds "$" 0 and a
// plausible length, a second RTP frame, a zero-length frame and a third one.
Bytes Stream() {
    Bytes s = {'R', 'T', 'S', 'P', '/', '1', '.', '0', ' ', '2', '0', '0', ' ', 'O', 'K', '\r', '\n', '\r', '\n'};
    Append(s, Frame(0, Rtp(1, {0xAA, 0x24, 0x00})));
    Append(s, Frame(1, {0x81, 0xC8, 0x24, 0x00, 0x00, 0x20, 0x24, 0x00, 0xFF, 0xFF, 0x24, 0x00}));
    Append(s, Frame(0, Rtp(2, {0x01})));
    Append(s, {0x24, 0x00, 0x00, 0x00});
    Append(s, Frame(0, Rtp(3, {0x02})));
    Append(s, Frame(0, {0x40, 0x00}));  // not version 2: dropped
    Append(s, Frame(0, Rtp(4, {0x24})));
    return s;
}

const std::vector<uint16_t> kExpected = {1, 2, 3, 4};

TEST(CRTSPStreamParserTest, WholeStreamAndEverySplitPosition) {
    const Bytes stream = Stream();
    {
        CRecordingUser user;
        talvex::CRTSPStreamParser parser(&user);
        parser.Feed(stream);
        EXPECT_EQ(user.Sequences, kExpected);
        ASSERT_EQ(user.Payloads.size(), 4u);
        EXPECT_EQ(user.Payloads[0], (Bytes{0xAA, 0x24, 0x00}));
    }
    for (std::size_t a = 0; a <= stream.size(); ++a) {
        for (std::size_t b = a; b <= stream.size(); b += 7) {
            CRecordingUser user;
            talvex::CRTSPStreamParser parser(&user);
            parser.Feed(Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(a)));
            parser.Feed(Bytes(stream.begin() + static_cast<std::ptrdiff_t>(a), stream.begin() + static_cast<std::ptrdiff_t>(b)));
            parser.Feed(Bytes(stream.begin() + static_cast<std::ptrdiff_t>(b), stream.end()));
            ASSERT_EQ(user.Sequences, kExpected) << "split at " << a << " and " << b;
        }
    }
    CRecordingUser user;
    talvex::CRTSPStreamParser parser(&user);
    for (uint8_t byte : stream)
        parser.Feed(&byte, 1);
    EXPECT_EQ(user.Sequences, kExpected);
}

TEST(CRTSPStreamParserTest, FalseStartBeforeFrame) {
    Bytes s = {0x24};
    Append(s, Frame(0, Rtp(9, {1, 2, 3})));
    CRecordingUser user;
    talvex::CRTSPStreamParser parser(&user);
    parser.Feed(s);
    EXPECT_EQ(user.Sequences, (std::vector<uint16_t>{9}));
}

}  // namespace
