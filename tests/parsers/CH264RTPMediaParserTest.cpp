#include "parsers/CH264RTPMediaParser.h"

#include <gtest/gtest.h>

#include <memory>

#include "CFakeDriver.h"
#include "RtpVectors.h"
#include "parsers/SampleSizes.h"

namespace {

using talvex::CH264RTPMediaParser;
using wftest::Bytes;

constexpr uint8_t kNalIdr = 5, kNalSps = 7, kNalPps = 8, kNalDelimiter = 9;
const Bytes kPictureEnd = {0x00, 0x00, 0x01, 0x09, 0x30};

using wftest::Concat;
Bytes Rtp(uint16_t sequence, bool marker, const Bytes& payload) { return wftest::RtpPacket(sequence, marker, payload); }

class CH264RTPMediaParserTest : public ::testing::Test {
protected:
    CH264RTPMediaParserTest() {
        driver.allocator = &allocator;
        parser.SetClient(&client);
        const wftest::SRtpVector v = wftest::LoadRtpVector("h264-baseline");
        std::tie(sps, pps) = wftest::SpropParameterSets(v.caps);
    }
    void Feed(const std::vector<Bytes>& packets) { wftest::FeedPackets(parser, packets); }

    wftest::CFakeDriver driver;
    wftest::CHostSampleAllocator allocator;
    wftest::CCollectingClient client;
    CH264RTPMediaParser parser{&driver, "Wrenfield"};
    Bytes sps, pps;  // 320x240
};

Bytes StartCoded(std::initializer_list<Bytes> units) {
    Bytes out;
    for (const Bytes& u : units) {
        out.insert(out.end(), {0, 0, 1});
        out.insert(out.end(), u.begin(), u.end());
    }
    return out;
}

Bytes StapA(std::initializer_list<Bytes> units) {
    Bytes out = {0x78};
    for (const Bytes& u : units) {
        out.push_back(static_cast<uint8_t>(u.size() >> 8));
        out.push_back(static_cast<uint8_t>(u.size()));
        out.insert(out.end(), u.begin(), u.end());
    }
    return out;
}

const Bytes kIdr = {0x65, 0x88, 0x84, 0x21, 0xA0};       // first_mb_in_slice 0
const Bytes kIdrLater = {0x65, 0x41, 0x9A, 0x21, 0xA0};  // first_mb_in_slice 1
const Bytes kSlice = {0x41, 0x9A, 0x02, 0x04};

TEST_F(CH264RTPMediaParserTest, PutsTheSessionParameterSetsInFrontOfAnIdrOfEveryPacketKind) {
    parser.SetParameterSets(sps, pps);
    struct SCase {
        const char* name;
        std::vector<Bytes> payloads;
        Bytes expected;  // without the closing delimiter
    };
    const SCase cases[] = {
        {"FU-A start 0x85", {{0x7C, 0x85, 0x88, 0x84}, {0x7C, 0x45, 0x21, 0xA0}}, StartCoded({sps, pps, kIdr})},
        {"single NAL unit", {kIdr}, StartCoded({sps, pps, kIdr})},
        {"STAP-A", {StapA({{0x06, 0x05, 0x01}, kIdr})}, StartCoded({sps, pps, {0x06, 0x05, 0x01}, kIdr})},
        {"in-band sets are kept, none added", {sps, pps, {0x7C, 0x85, 0x88, 0x84}, {0x7C, 0x45, 0x21, 0xA0}},
         StartCoded({sps, pps, kIdr})},
        {"camera's delimiter dropped", {{0x09, 0xF0}, kIdr}, StartCoded({sps, pps, kIdr})},
    };
    uint16_t sequence = 100;
    for (const auto& c : cases) {
        client.pictures.clear();
        std::vector<Bytes> packets;
        for (std::size_t i = 0; i < c.payloads.size(); ++i)
            packets.push_back(Rtp(sequence++, i + 1 == c.payloads.size(), c.payloads[i]));
        Feed(packets);
        ASSERT_EQ(client.pictures.size(), 1u) << c.name;
        const auto& picture = client.pictures[0];
        EXPECT_EQ(picture.data, Concat(c.expected, kPictureEnd)) << c.name;
        EXPECT_EQ(wftest::FourCC(picture.fourcc), "H264") << c.name;
        EXPECT_EQ(picture.width, 320u) << c.name;
        EXPECT_EQ(picture.height, 240u) << c.name;
        EXPECT_EQ(picture.bufferSize, talvex::SampleBufferSize(static_cast<uint32_t>(picture.data.size()))) << c.name;
        EXPECT_TRUE(picture.timeSet) << c.name;
    }
}

TEST_F(CH264RTPMediaParserTest, DropsThePictureForEachMalformedOrRefusedPacket) {
    parser.SetParameterSets(sps, pps);
    struct SCase {
        const char* name;
        Bytes payload;
    };
    const SCase cases[] = {
        {"empty payload", {}},
        {"two-byte NAL unit", {0x41, 0x9A}},
        {"STAP-B", {0x19, 0, 2, 0x41, 0x9A}},
        {"MTAP16", {0x1A, 0, 0, 2, 0x41, 0x9A}},
        {"MTAP24", {0x1B, 0, 0, 2, 0x41, 0x9A}},
        {"FU-B", {0x1D, 0x81, 0, 1, 0x9A}},
        {"kind 0", {0x00, 0x41, 0x9A}},
        {"kind 30", {0x1E, 0x41, 0x9A}},
        {"kind 31", {0x1F, 0x41, 0x9A}},
        {"STAP-A shorter than 4 bytes", {0x78, 0, 1}},
        {"STAP-A unit beyond the payload", {0x78, 0, 9, 0x41, 0x9A, 0x02}},
        {"FU-A shorter than 3 bytes", {0x7C, 0x81}},
        {"FU-A continuation without a start", {0x7C, 0x01, 0x02, 0x03}},
        {"FU-A end without a start", {0x7C, 0x41, 0x02, 0x03}},
    };
    uint16_t sequence = 7;
    for (const auto& c : cases) {
        // A key picture first, then a picture the bad packet lands in: the
        // bad packet drops it and the next non-key picture too.
        client.pictures.clear();
        Feed({Rtp(sequence, true, kIdr), Rtp(sequence + 1, false, kSlice), Rtp(sequence + 2, false, c.payload),
              Rtp(sequence + 3, true, kSlice), Rtp(sequence + 4, true, kSlice), Rtp(sequence + 5, true, kIdr)});
        sequence = static_cast<uint16_t>(sequence + 6);
        ASSERT_EQ(client.pictures.size(), 2u) << c.name;
        EXPECT_EQ(wftest::FourCC(client.pictures[1].fourcc), "H264") << c.name;
    }
}

TEST_F(CH264RTPMediaParserTest, AfterAGapWaitsForAWholePictureWithAnSps) {
    // 65535 -> 0 is continuous; 0 -> 2 is a gap. The SDP gave no parameter
    // sets and the camera sends them in band only once.
    Feed({Rtp(65534, false, StapA({sps, pps})), Rtp(65535, true, kIdr), Rtp(0, true, kSlice), Rtp(2, true, kSlice),
          Rtp(3, true, kIdr), Rtp(4, true, kSlice)});
    std::vector<std::string> codes;
    for (const auto& p : client.pictures) codes.push_back(wftest::FourCC(p.fourcc) + " " + std::to_string(p.width));
    EXPECT_EQ(codes, (std::vector<std::string>{"H264 320", "I264 320"}));
    EXPECT_TRUE(parser.WaitingForKeyFrame());
    parser.SetParameterSets(sps, pps);
    client.pictures.clear();
    // A later slice of an IDR is not made a key picture; the next whole IDR is.
    Feed({Rtp(5, true, kIdrLater), Rtp(6, true, kIdr), Rtp(7, true, kSlice)});
    ASSERT_EQ(client.pictures.size(), 2u);
    EXPECT_EQ(client.pictures[0].data, Concat(StartCoded({sps, pps, kIdr}), kPictureEnd));
    EXPECT_EQ(wftest::FourCC(client.pictures[1].fourcc), "I264");
}

TEST_F(CH264RTPMediaParserTest, ReportsAnOverflowOnceAndStartsOver) {
    parser.SetParameterSets(sps, pps);
    const Bytes big(60000, 0x5A);
    uint16_t sequence = 0;
    Feed({Rtp(sequence++, true, kIdr)});
    Bytes payload = {0x41};
    payload.insert(payload.end(), big.begin(), big.end());
    std::vector<Bytes> flood;
    for (std::size_t sent = 0; sent <= CH264RTPMediaParser::kMaxFrameBytes; sent += payload.size() + 3)
        flood.push_back(Rtp(sequence++, false, payload));
    Feed(flood);
    Feed({Rtp(sequence++, true, kSlice), Rtp(sequence++, true, kIdr)});
    EXPECT_EQ(driver.Count("Frame buffer overflow detected, device 127.0.0.1:80"), 1u);
    ASSERT_EQ(client.pictures.size(), 2u);
    EXPECT_EQ(wftest::FourCC(client.pictures[1].fourcc), "H264");
}

TEST_F(CH264RTPMediaParserTest, WaitsForAKeyPictureWhenTheHostRefusesOne) {
    parser.SetParameterSets(sps, pps);
    client.accept = false;
    Feed({Rtp(1, true, kIdr)});
    client.accept = true;
    Feed({Rtp(2, true, kSlice), Rtp(3, true, kIdr)});
    ASSERT_EQ(client.pictures.size(), 2u);
    EXPECT_EQ(wftest::FourCC(client.pictures[1].fourcc), "H264");
    EXPECT_EQ(allocator.created.load(), allocator.released.load());
}

// The vectors, with the sizes ffprobe reports for their elementary streams.
struct SVector {
    const char* name;
    uint32_t width, height;
    bool sdpOnly;  // parameter set packets are taken out: they come from the SDP alone
};
const SVector kVectors[] = {
    {"h264-baseline", 320, 240, false},    {"h264-high-stapa", 352, 288, false},
    {"h264-1080-crop", 1920, 1080, false}, {"h264-interlaced", 1920, 1080, false},
    {"h264-444-cqm", 176, 144, false},     {"h264-sdp-only", 320, 240, true},
};

// Packets as the camera sends them; for an SDP-only vector without the
// parameter set packets, renumbered so that no gap shows.
std::vector<Bytes> CameraPackets(const SVector& v, const wftest::SRtpVector& vector) {
    std::vector<Bytes> packets;
    for (const Bytes& p : vector.packets) {
        const uint8_t kind = p.size() > 12 ? p[12] & 0x1F : 0;
        if (v.sdpOnly && (kind == kNalSps || kind == kNalPps)) continue;
        packets.push_back(p);
    }
    if (!packets.empty()) {
        const uint16_t first = static_cast<uint16_t>(packets[0][2] << 8 | packets[0][3]);
        for (std::size_t i = 0; i < packets.size(); ++i) {
            packets[i][2] = static_cast<uint8_t>((first + i) >> 8);
            packets[i][3] = static_cast<uint8_t>(first + i);
        }
    }
    return packets;
}

std::vector<Bytes> WithoutTypes(const std::vector<Bytes>& units, std::initializer_list<uint8_t> types) {
    std::vector<Bytes> kept;
    for (const Bytes& u : units) {
        bool skip = u.empty();
        for (uint8_t t : types) skip = skip || (u[0] & 0x1F) == t;
        if (!skip) kept.push_back(u);
    }
    return kept;
}

std::vector<wftest::SDeliveredPicture> Depacketize(const SVector& v, const wftest::SRtpVector& vector,
                                                   wftest::CFakeDriver& driver) {
    wftest::CCollectingClient client;
    CH264RTPMediaParser parser(&driver, "Wrenfield");
    parser.SetClient(&client);
    const auto sets = wftest::SpropParameterSets(vector.caps);
    parser.SetParameterSets(sets.first, sets.second);
    wftest::FeedPackets(parser, CameraPackets(v, vector));
    return client.pictures;
}

TEST_F(CH264RTPMediaParserTest, DeliversEveryVectorNalUnitForNalUnit) {
    for (const SVector& v : kVectors) {
        const wftest::SRtpVector vector = wftest::LoadRtpVector(v.name);
        ASSERT_FALSE(vector.packets.empty()) << v.name;
        const auto pictures = Depacketize(v, vector, driver);
        std::size_t markers = 0;
        for (const Bytes& p : vector.packets) markers += (p[1] & 0x80) ? 1 : 0;
        EXPECT_EQ(pictures.size(), markers) << v.name;
        std::vector<Bytes> delivered;
        for (const auto& picture : pictures) {
            ASSERT_GE(picture.data.size(), kPictureEnd.size()) << v.name;
            EXPECT_TRUE(std::equal(kPictureEnd.begin(), kPictureEnd.end(), picture.data.end() - 5)) << v.name;
            const auto units = wftest::SplitNalUnits(picture.data);
            // Every IDR picture carries SPS and PPS ahead of its first slice.
            bool sps = false, pps = false, idr = false;
            for (const Bytes& u : units) {
                const uint8_t type = u[0] & 0x1F;
                sps = sps || type == kNalSps;
                pps = pps || type == kNalPps;
                if (type == kNalIdr && !idr) {
                    idr = true;
                    EXPECT_TRUE(sps && pps) << v.name;
                }
            }
            EXPECT_EQ(wftest::FourCC(picture.fourcc), sps ? "H264" : "I264") << v.name;
            EXPECT_EQ(picture.width, v.width) << v.name;
            EXPECT_EQ(picture.height, v.height) << v.name;
            EXPECT_EQ(picture.sizeClass, talvex::PictureSizeClass(v.width, v.height)) << v.name;
            for (const Bytes& u : units) delivered.push_back(u);
        }
        // Apart from parameter sets and delimiters, the units are the encoder's own.
        EXPECT_EQ(WithoutTypes(delivered, {kNalSps, kNalPps, kNalDelimiter}),
                  WithoutTypes(wftest::SplitNalUnits(vector.elementaryStream), {kNalSps, kNalPps, kNalDelimiter}))
            << v.name;
    }
}

TEST_F(CH264RTPMediaParserTest, DeliversStreamsThatFfprobeDecodesAtTheSizeRead) {
    if (!wftest::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not available";
    for (const SVector& v : kVectors) {
        const auto pictures = Depacketize(v, wftest::LoadRtpVector(v.name), driver);
        // Each picture ends with the delimiter that opens the next access unit;
        // the last one opens none, so the file leaves it out.
        const auto result = wftest::ProbeAndDecode(pictures, wftest::ScratchPath(std::string(v.name) + ".h264"), kPictureEnd.size());
        EXPECT_EQ(result.value_or("tools failed"), std::to_string(v.width) + "," + std::to_string(v.height) + "\n") << v.name;
    }
}

TEST_F(CH264RTPMediaParserTest, NeverDeliversAPartialPictureAroundLossReorderingOrDuplication) {
    for (const SVector& v : kVectors) {
        const wftest::SRtpVector vector = wftest::LoadRtpVector(v.name);
        const auto sets = wftest::SpropParameterSets(vector.caps);
        std::string firstBreach;
        const int breaches = wftest::CountFaultPolicyBreaches(
            CameraPackets(v, vector),
            [&](wftest::CCollectingClient& c) {
                auto parser = std::make_unique<CH264RTPMediaParser>(&driver, "Wrenfield");
                parser->SetClient(&c);
                parser->SetParameterSets(sets.first, sets.second);
                return parser;
            },
            [](const Bytes& picture) {
                Bytes slices;
                for (const Bytes& u : wftest::SplitNalUnits(picture))
                    if ((u[0] & 0x1F) >= 1 && (u[0] & 0x1F) <= kNalIdr) slices.insert(slices.end(), u.begin(), u.end());
                return slices;
            },
            CH264RTPMediaParser::kFourCCKey, firstBreach);
        EXPECT_EQ(breaches, 0) << v.name << ": " << firstBreach;
    }
}

}  // namespace
