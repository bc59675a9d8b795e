#include "rtsp/CRTPPacket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using talvex::CRTPPacket;

// Fixed header: V=2, marker set, PT 96, sequence 0x1234, timestamp
// 0x01020304, SSRC AA BB CC DD; first byte given.
Bytes Header(uint8_t first) { return {first, 0xE0, 0x12, 0x34, 0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD}; }

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct SCase {
    const char* name;
    Bytes bytes;
    bool accepted;
    std::size_t payloadLength;
};

const SCase kCases[] = {
    {"fixed header alone", Header(0x80), false, 0},
    {"one payload byte", Concat(Header(0x80), {0x42}), true, 1},
    {"version 1", Concat(Header(0x40), {0x42}), false, 0},
    {"version 3", Concat(Header(0xC0), {0x42}), false, 0},
    {"csrc list leaves one byte", Concat(Header(0x82), Bytes(9, 7)), true, 1},
    {"csrc list fills the packet", Concat(Header(0x82), Bytes(8, 7)), false, 0},
    {"csrc count beyond the packet", Concat(Header(0x8F), Bytes(20, 7)), false, 0},
    {"extension header cut", Concat(Header(0x90), {0xBE, 0xDE, 0x00}), false, 0},
    {"empty extension, no payload", Concat(Header(0x90), {0xBE, 0xDE, 0x00, 0x00}), true, 0},
    {"extension words beyond the packet", Concat(Header(0x90), {0xBE, 0xDE, 0x00, 0x02, 1, 2, 3, 4, 5}), false, 0},
    {"extension of one word then payload", Concat(Header(0x90), {0xBE, 0xDE, 0x00, 0x01, 1, 2, 3, 4, 9, 9}), true, 2},
    {"padding of 4 eats the whole payload area", Concat(Header(0xA0), {0, 0, 0, 4}), true, 0},
    {"padding of 2 leaves 2 bytes", Concat(Header(0xA0), {9, 9, 0, 2}), true, 2},
    {"padding larger than the payload area", Concat(Header(0xA0), {0, 0, 0, 5}), false, 0},
    {"padding count beyond what follows the extension", Concat(Header(0xB0), {0xBE, 0xDE, 0, 0, 9}), false, 0},
};

TEST(CRTPPacketTest, AcceptsOrRejectsEachPacketInTheTable) {
    for (const auto& c : kCases) {
        CRTPPacket packet;
        EXPECT_EQ(packet.Parse(c.bytes.data(), c.bytes.size()), c.accepted) << c.name;
        EXPECT_EQ(packet.PayloadLength(), c.payloadLength) << c.name;
        if (!c.accepted) {
            EXPECT_EQ(packet.SequenceNumber(), 0) << c.name;
        }
    }
}

TEST(CRTPPacketTest, ReadsEveryFieldOfAFullPacket) {
    const Bytes bytes = Concat(Header(0xB1), {1, 2, 3, 4, 0x10, 0x00, 0x00, 0x01, 5, 6, 7, 8, 0x65, 0x88, 0, 0, 3});
    CRTPPacket packet;
    ASSERT_TRUE(packet.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(packet.CsrcCount(), 1);
    EXPECT_EQ(packet.Marker(), 1);
    EXPECT_EQ(packet.Padding(), 1);
    EXPECT_EQ(packet.PayloadType(), 96);
    EXPECT_EQ(packet.SequenceNumber(), 0x1234);
    EXPECT_EQ(packet.Timestamp(), 0x01020304u);
    const uint8_t ssrc[] = {0xAA, 0xBB, 0xCC, 0xDD};
    const uint32_t received = packet.Ssrc();
    EXPECT_EQ(0, std::memcmp(&received, ssrc, 4));
    EXPECT_EQ(packet.ExtensionProfile(), 0x1000);
    EXPECT_EQ(packet.ExtensionLength(), 1);
    EXPECT_EQ(packet.ExtensionData(), (Bytes{5, 6, 7, 8}));
    ASSERT_EQ(packet.PayloadLength(), 2u);
    EXPECT_EQ(packet.Payload()[0], 0x65);
    EXPECT_EQ(packet.Payload()[1], 0x88);
}

TEST(CRTPPacketTest, ParsesEveryPrefixOfAPacketWithoutReadingPastIt) {
    const Bytes full = Concat(Header(0xB2), {1, 2, 3, 4, 5, 6, 7, 8, 0xBE, 0xDE, 0, 2, 1, 2, 3, 4, 5, 6, 7, 8,
                                              0x7C, 0x85, 0xAB, 0xCD, 0, 2});
    for (std::size_t n = 0; n <= full.size(); ++n) {
        // A heap copy of exactly n bytes, so AddressSanitizer sees any overread.
        std::vector<uint8_t> prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        CRTPPacket packet;
        const bool accepted = packet.Parse(prefix.empty() ? nullptr : prefix.data(), prefix.size());
        if (accepted) {
            EXPECT_LE(packet.PayloadLength(), n) << n;
        }
    }
}

}  // namespace
