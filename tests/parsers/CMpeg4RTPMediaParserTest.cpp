#include "parsers/CMpeg4RTPMediaParser.h"

#include <gtest/gtest.h>

#include <memory>

#include "CFakeDriver.h"
#include "RtpVectors.h"

namespace {

using talvex::CMpeg4RTPMediaParser;
using wftest::Bytes;

using wftest::Concat;
Bytes Rtp(uint16_t sequence, bool marker, const Bytes& payload) { return wftest::RtpPacket(sequence, marker, payload); }

// Visual object sequence, visual object, video object, a 352x288 layer and
// user data, as an encoder wrote them.
const Bytes kConfig = wftest::HexBytes(
    "000001b001000001b58913000001000000012000c48d8ffffd0b04241463000001b24c61766335392e33372e313030");
const Bytes kIVop = {0x00, 0x00, 0x01, 0xB6, 0x10, 0x60, 0x31, 0x82};
const Bytes kPVop = {0x00, 0x00, 0x01, 0xB6, 0x51, 0x22, 0x04, 0x07};
const Bytes kGroup = {0x00, 0x00, 0x01, 0xB3, 0x00, 0x10, 0x07};

class CMpeg4RTPMediaParserTest : public ::testing::Test {
protected:
    CMpeg4RTPMediaParserTest() {
        driver.allocator = &allocator;
        parser.SetClient(&client);
    }
    void Feed(const std::vector<Bytes>& packets) { wftest::FeedPackets(parser, packets); }
    std::vector<std::string> Codes() const {
        std::vector<std::string> codes;
        for (const auto& p : client.pictures)
            codes.push_back(wftest::FourCC(p.fourcc) + " " + std::to_string(p.width) + "x" + std::to_string(p.height));
        return codes;
    }

    wftest::CFakeDriver driver;
    wftest::CHostSampleAllocator allocator;
    wftest::CCollectingClient client;
    CMpeg4RTPMediaParser parser{&driver, "Wrenfield"};
};

TEST_F(CMpeg4RTPMediaParserTest, ReadsTheConfigurationUsedByTheOtherTests) {
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(CMpeg4RTPMediaParser::ReadVideoSize(kConfig.data(), kConfig.size(), width, height));
    EXPECT_EQ(width, 352u);
    EXPECT_EQ(height, 288u);
}

TEST_F(CMpeg4RTPMediaParserTest, PutsTheConfigurationInFrontOfEveryIntraPicture) {
    struct SCase {
        const char* name;
        std::vector<Bytes> payloads;  // one picture each
        std::vector<std::string> codes;
        Bytes firstPicture;
    };
    const SCase cases[] = {
        {"headers and I-VOP in one packet", {Concat(kConfig, kIVop), kPVop, kIVop},
         {"DIVX 352x288", "DIVI 352x288", "DIVX 352x288"}, Concat(kConfig, kIVop)},
        {"headers in a packet of their own", {kConfig, kIVop, kPVop}, {"DIVX 352x288", "DIVI 352x288"}, Concat(kConfig, kIVop)},
        {"a group of VOPs leads the I-VOP", {Concat(kConfig, Concat(kGroup, kIVop)), Concat(kGroup, kIVop)},
         {"DIVX 352x288", "DIVX 352x288"}, Concat(kConfig, Concat(kGroup, kIVop))},
        {"P-VOPs while waiting are ignored", {kPVop, Concat(kConfig, kIVop), kPVop}, {"DIVX 352x288", "DIVI 352x288"},
         Concat(kConfig, kIVop)},
        {"an I-VOP without any headers is dropped", {kIVop, kPVop}, {}, {}},
    };
    uint16_t sequence = 0;
    for (const auto& c : cases) {
        CMpeg4RTPMediaParser fresh(&driver, "Wrenfield");
        wftest::CCollectingClient collected;
        fresh.SetClient(&collected);
        std::vector<Bytes> packets;
        for (std::size_t i = 0; i < c.payloads.size(); ++i) {
            // A packet holding headers alone carries no marker.
            const bool alone = c.payloads[i] == kConfig;
            packets.push_back(Rtp(sequence++, !alone, c.payloads[i]));
        }
        wftest::FeedPackets(fresh, packets);
        std::vector<std::string> codes;
        for (const auto& p : collected.pictures)
            codes.push_back(wftest::FourCC(p.fourcc) + " " + std::to_string(p.width) + "x" + std::to_string(p.height));
        EXPECT_EQ(codes, c.codes) << c.name;
        if (!collected.pictures.empty()) {
            EXPECT_EQ(collected.pictures[0].data, c.firstPicture) << c.name;
        }
    }
}

TEST_F(CMpeg4RTPMediaParserTest, UsesTheSessionConfigurationUntilHeadersArriveInBand) {
    parser.SetConfig(kConfig);
    Bytes other = kConfig;
    other[other.size() - 1] ^= 0x01;  // same size, different bytes
    Feed({Rtp(1, true, kIVop), Rtp(2, true, kPVop), Rtp(3, true, Concat(other, kIVop)), Rtp(4, true, kIVop)});
    ASSERT_EQ(client.pictures.size(), 4u);
    EXPECT_EQ(client.pictures[0].data, Concat(kConfig, kIVop));
    EXPECT_EQ(client.pictures[3].data, Concat(other, kIVop));
}

TEST_F(CMpeg4RTPMediaParserTest, WaitsForAnIntraPictureAfterALossOrAPictureMissingItsEnd) {
    parser.SetConfig(kConfig);
    const Bytes half = Bytes(kPVop.begin() + 4, kPVop.end());
    // 2 -> 4 is a gap; the I-VOP at 6 lost its marker, so the P-VOP at 7,
    // which refers to it, is not delivered either.
    Feed({Rtp(1, true, kIVop), Rtp(2, false, kPVop), Rtp(4, true, half), Rtp(5, true, kPVop), Rtp(6, false, kIVop),
          Rtp(7, false, kPVop), Rtp(8, true, half), Rtp(9, true, kIVop), Rtp(10, true, kPVop)});
    EXPECT_EQ(Codes(), (std::vector<std::string>{"DIVX 352x288", "DIVX 352x288", "DIVI 352x288"}));
}

TEST_F(CMpeg4RTPMediaParserTest, MakesAPictureOfEachVopInAPacket) {
    parser.SetConfig(kConfig);
    Feed({Rtp(1, true, Concat(Concat(kIVop, kPVop), Concat(kGroup, kIVop)))});
    EXPECT_EQ(Codes(), (std::vector<std::string>{"DIVX 352x288", "DIVI 352x288", "DIVX 352x288"}));
    ASSERT_EQ(client.pictures.size(), 3u);
    EXPECT_EQ(client.pictures[1].data, kPVop);
    EXPECT_EQ(client.pictures[2].data, Concat(kConfig, Concat(kGroup, kIVop)));
}

TEST_F(CMpeg4RTPMediaParserTest, ReportsAnOverflowOnceAndStartsOver) {
    parser.SetConfig(kConfig);
    std::vector<Bytes> flood = {Rtp(0, false, kIVop)};
    const Bytes chunk(60000, 0x33);
    for (std::size_t sent = 0; sent <= CMpeg4RTPMediaParser::kMaxFrameBytes; sent += chunk.size())
        flood.push_back(Rtp(static_cast<uint16_t>(flood.size()), false, chunk));
    flood.push_back(Rtp(static_cast<uint16_t>(flood.size()), true, kIVop));
    Feed(flood);
    EXPECT_EQ(driver.Count("Frame buffer overflow detected"), 1u);
    EXPECT_EQ(client.pictures.size(), 1u);
}

struct SVector {
    const char* name;
    bool sdpConfig;
};
const SVector kVectors[] = {{"mpeg4-inband", false}, {"mpeg4-sdp-only", true}};

std::vector<wftest::SDeliveredPicture> Depacketize(const SVector& v, const wftest::SRtpVector& vector,
                                                   wftest::CFakeDriver& driver) {
    wftest::CCollectingClient client;
    CMpeg4RTPMediaParser parser(&driver, "Wrenfield");
    parser.SetClient(&client);
    if (v.sdpConfig) parser.SetConfig(wftest::HexBytes(wftest::CapsField(vector.caps, "config")));
    wftest::FeedPackets(parser, vector.packets);
    return client.pictures;
}

// The pictures of an elementary stream: each runs from the first header
// after the previous VOP to the end of its own VOP.
std::vector<Bytes> SplitPictures(const Bytes& stream) {
    std::vector<Bytes> pictures;
    std::size_t start = 0;
    bool inVop = false;
    for (std::size_t i = 0; i + 4 <= stream.size(); ++i) {
        if (stream[i] != 0 || stream[i + 1] != 0 || stream[i + 2] != 1) continue;
        if (inVop && i > start) {
            pictures.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(start), stream.begin() + static_cast<std::ptrdiff_t>(i));
            start = i;
        }
        inVop = stream[i + 3] == 0xB6;
    }
    pictures.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(start), stream.end());
    return pictures;
}

// A picture from its group or VOP start code on.
Bytes WithoutConfiguration(const Bytes& picture) {
    for (std::size_t i = 0; i + 4 <= picture.size(); ++i)
        if (picture[i] == 0 && picture[i + 1] == 0 && picture[i + 2] == 1 && (picture[i + 3] == 0xB3 || picture[i + 3] == 0xB6))
            return Bytes(picture.begin() + static_cast<std::ptrdiff_t>(i), picture.end());
    return picture;
}

TEST_F(CMpeg4RTPMediaParserTest, DeliversEveryVectorPictureAsThePayloaderWasGivenIt) {
    for (const SVector& v : kVectors) {
        const wftest::SRtpVector vector = wftest::LoadRtpVector(v.name);
        ASSERT_FALSE(vector.packets.empty()) << v.name;
        const auto pictures = Depacketize(v, vector, driver);
        const auto originals = SplitPictures(vector.elementaryStream);
        ASSERT_EQ(pictures.size(), originals.size()) << v.name;
        const Bytes config = wftest::HexBytes(wftest::CapsField(vector.caps, "config"));
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            EXPECT_EQ(WithoutConfiguration(pictures[i].data), WithoutConfiguration(originals[i])) << v.name << " " << i;
            const bool key = wftest::FourCC(pictures[i].fourcc) == "DIVX";
            if (key) {
                EXPECT_TRUE(std::equal(config.begin(), config.end(), pictures[i].data.begin())) << v.name << " " << i;
            }
            EXPECT_EQ(pictures[i].width, 352u);
            EXPECT_EQ(pictures[i].height, 288u);
        }
    }
}

TEST_F(CMpeg4RTPMediaParserTest, DeliversStreamsThatFfprobeDecodesAtTheSizeRead) {
    if (!wftest::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not available";
    for (const SVector& v : kVectors) {
        const auto pictures = Depacketize(v, wftest::LoadRtpVector(v.name), driver);
        const auto result = wftest::ProbeAndDecode(pictures, wftest::ScratchPath(std::string(v.name) + ".m4v"));
        EXPECT_EQ(result.value_or("tools failed"), "352,288\n") << v.name;
    }
}

TEST_F(CMpeg4RTPMediaParserTest, NeverDeliversAPartialPictureAroundLossReorderingOrDuplication) {
    for (const SVector& v : kVectors) {
        const wftest::SRtpVector vector = wftest::LoadRtpVector(v.name);
        const Bytes config = v.sdpConfig ? wftest::HexBytes(wftest::CapsField(vector.caps, "config")) : Bytes{};
        std::string firstBreach;
        const int breaches = wftest::CountFaultPolicyBreaches(
            vector.packets,
            [&](wftest::CCollectingClient& c) {
                auto parser = std::make_unique<CMpeg4RTPMediaParser>(&driver, "Wrenfield");
                parser->SetClient(&c);
                parser->SetConfig(config);
                return parser;
            },
            [](const Bytes& picture) { return picture; }, CMpeg4RTPMediaParser::kFourCCKey, firstBreach);
        EXPECT_EQ(breaches, 0) << v.name << ": " << firstBreach;
    }
}

}  // namespace
