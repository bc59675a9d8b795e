#include "parsers/CJpegRTPMediaParser.h"

#include <gtest/gtest.h>

#include <memory>

#include "CFakeDriver.h"
#include "RtpVectors.h"

namespace {

using talvex::CJpegRTPMediaParser;
using wftest::Bytes;

using wftest::Concat;
Bytes Rtp(uint16_t sequence, bool marker, const Bytes& payload) { return wftest::RtpPacket(sequence, marker, payload); }

// Main header, then for types 64-127 the restart header.
Bytes Header(uint32_t offset, uint8_t type, uint8_t q, uint8_t widthUnits, uint8_t heightUnits,
             uint16_t restartInterval = 0) {
    Bytes h = {0, static_cast<uint8_t>(offset >> 16), static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset),
               type, q, widthUnits, heightUnits};
    if (type >= 64 && type < 128) {
        h.push_back(static_cast<uint8_t>(restartInterval >> 8));
        h.push_back(static_cast<uint8_t>(restartInterval));
        h.push_back(0xFF);
        h.push_back(0xFF);
    }
    return h;
}

Bytes TableHeader(uint8_t precision, const Bytes& tables) {
    return Concat({0, precision, static_cast<uint8_t>(tables.size() >> 8), static_cast<uint8_t>(tables.size())}, tables);
}

// The position of the first marker 0xFF m in a JPEG header, or npos.
std::size_t FindMarker(const Bytes& jpeg, uint8_t marker) {
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] != 0xFF) continue;
        if (jpeg[i + 1] == marker) return i;
        if (jpeg[i + 1] == 0xDA) break;  // scan data follows
    }
    return std::string::npos;
}

// Bytes after the scan header.
Bytes ScanData(const Bytes& jpeg) {
    const std::size_t sos = FindMarker(jpeg, 0xDA);
    if (sos == std::string::npos) return {};
    const std::size_t start = sos + 2 + static_cast<std::size_t>(jpeg[sos + 2] << 8 | jpeg[sos + 3]);
    return Bytes(jpeg.begin() + static_cast<std::ptrdiff_t>(start), jpeg.end());
}

class CJpegRTPMediaParserTest : public ::testing::Test {
protected:
    CJpegRTPMediaParserTest() {
        driver.allocator = &allocator;
        parser.SetClient(&client);
    }
    void Feed(const std::vector<Bytes>& packets) { wftest::FeedPackets(parser, packets); }

    wftest::CFakeDriver driver;
    wftest::CHostSampleAllocator allocator;
    wftest::CCollectingClient client;
    CJpegRTPMediaParser parser{&driver, "Wrenfield"};
};

const Bytes kScan = [] {
    Bytes scan;
    for (int i = 0; i < 300; ++i) scan.push_back(static_cast<uint8_t>(i * 7 % 0xFF));
    return scan;
}();

TEST_F(CJpegRTPMediaParserTest, WritesTheHeaderOfEachPictureKind) {
    Bytes inBandTables(128);
    for (std::size_t i = 0; i < inBandTables.size(); ++i) inBandTables[i] = static_cast<uint8_t>(i + 1);
    struct SCase {
        const char* name;
        Bytes firstPayload;
        std::size_t headerBytes;
        uint8_t sampling;
        uint16_t restartInterval;  // 0: no DRI segment
        bool app0;
        uint8_t firstLuminanceQ;
        uint8_t chromaTable;
    };
    const SCase cases[] = {
        {"type 1, Q 50", Concat(Header(0, 1, 50, 80, 60), kScan), 605, 0x22, 0, false, 16, 1},
        {"type 0, Q 50 is 4:2:2", Concat(Header(0, 0, 50, 80, 60), kScan), 605, 0x21, 0, false, 16, 1},
        {"type 64, Q 50 is 4:2:2 with DRI", Concat(Header(0, 64, 50, 80, 60, 8), kScan), 611, 0x21, 8, false, 16, 1},
        {"type 65, Q 10", Concat(Header(0, 65, 10, 80, 60, 4), kScan), 611, 0x22, 4, false, 80, 1},
        {"type 65, Q 255, two tables", Concat(Concat(Header(0, 65, 255, 80, 60, 8), TableHeader(0, inBandTables)), kScan),
         629, 0x22, 8, true, 1, 1},
        {"type 0, Q 255, one table for all", Concat(Concat(Header(0, 0, 255, 80, 60), TableHeader(0, Bytes(64, 9))), kScan),
         554, 0x21, 0, true, 9, 0},
    };
    uint16_t sequence = 0;
    for (const auto& c : cases) {
        client.pictures.clear();
        Feed({Rtp(sequence, false, c.firstPayload), Rtp(sequence + 1, true, Concat(Header(300, c.firstPayload[4], c.firstPayload[5], 80, 60, c.restartInterval), kScan))});
        sequence = static_cast<uint16_t>(sequence + 2);
        ASSERT_EQ(client.pictures.size(), 1u) << c.name;
        const Bytes& jpeg = client.pictures[0].data;
        EXPECT_EQ(jpeg.size(), c.headerBytes + 600 + 2) << c.name;  // header, scan data, appended EOI
        EXPECT_EQ(ScanData(jpeg), Concat(Concat(kScan, kScan), {0xFF, 0xD9})) << c.name;
        EXPECT_EQ(FindMarker(jpeg, 0xE0) != std::string::npos, c.app0) << c.name;
        const std::size_t dri = FindMarker(jpeg, 0xDD);
        EXPECT_EQ(dri != std::string::npos, c.restartInterval != 0) << c.name;
        if (dri != std::string::npos) {
            EXPECT_EQ(jpeg[dri + 4] << 8 | jpeg[dri + 5], c.restartInterval) << c.name;
        }
        const std::size_t dqt = FindMarker(jpeg, 0xDB);
        ASSERT_NE(dqt, std::string::npos) << c.name;
        EXPECT_EQ(jpeg[dqt + 5], c.firstLuminanceQ) << c.name;
        const std::size_t sof = FindMarker(jpeg, 0xC0);
        ASSERT_NE(sof, std::string::npos) << c.name;
        EXPECT_EQ(jpeg[sof + 5] << 8 | jpeg[sof + 6], 480) << c.name;
        EXPECT_EQ(jpeg[sof + 7] << 8 | jpeg[sof + 8], 640) << c.name;
        EXPECT_EQ(jpeg[sof + 11], c.sampling) << c.name;
        EXPECT_EQ(jpeg[sof + 15], c.chromaTable) << c.name;
        EXPECT_EQ(jpeg[sof + 18], c.chromaTable) << c.name;
        EXPECT_EQ(wftest::FourCC(client.pictures[0].requestedFourCC), "JPEG") << c.name;
        EXPECT_EQ(client.pictures[0].bufferSize, 600u + 1024u) << c.name;
        EXPECT_EQ(client.pictures[0].width, 640u) << c.name;
        EXPECT_EQ(client.pictures[0].sizeClass, 4u) << c.name;
    }
}

TEST_F(CJpegRTPMediaParserTest, ScalesTheStandardTablesByQ) {
    struct SCase {
        uint32_t q;
        uint8_t firstLuminance, lastChrominance;
    };
    const SCase cases[] = {{50, 16, 99}, {10, 80, 255}, {0, 255, 255}, {1, 255, 255}, {99, 1, 2}, {127, 1, 2}, {75, 8, 50}};
    for (const auto& c : cases) {
        const auto tables = CJpegRTPMediaParser::MakeTables(c.q);
        EXPECT_EQ(tables[0], c.firstLuminance) << c.q;
        EXPECT_EQ(tables[127], c.lastChrominance) << c.q;
    }
    // Zig-zag order: the second luminance entry is K.1's (0, 1), the third its (1, 0).
    const auto q50 = CJpegRTPMediaParser::MakeTables(50);
    EXPECT_EQ(q50[1], 11);
    EXPECT_EQ(q50[2], 12);
    EXPECT_EQ(q50[3], 14);
}

TEST_F(CJpegRTPMediaParserTest, DropsThePictureForEachBrokenFragment) {
    const Bytes first = Concat(Header(0, 1, 50, 80, 60), kScan);
    struct SCase {
        const char* name;
        std::vector<Bytes> payloads;  // the last one carries the marker
        std::size_t delivered;
    };
    const SCase cases[] = {
        {"whole picture", {first, Concat(Header(300, 1, 50, 80, 60), kScan)}, 1},
        {"an 8-byte payload is ignored", {first, Header(300, 1, 50, 80, 60), Concat(Header(300, 1, 50, 80, 60), kScan)}, 1},
        {"fragment offset jumps", {first, Concat(Header(301, 1, 50, 80, 60), kScan)}, 0},
        {"fragment offset overlaps", {first, Concat(Header(200, 1, 50, 80, 60), kScan)}, 0},
        {"continuation without a first fragment", {Concat(Header(300, 1, 50, 80, 60), kScan)}, 0},
        {"tables claimed beyond the payload", {Concat(Header(0, 1, 255, 80, 60), {0, 0, 0, 128, 1, 2, 3})}, 0},
        {"table header cut", {Concat(Header(0, 1, 255, 80, 60), {0, 0})}, 0},
        {"restart header cut", {{0, 0, 0, 0, 65, 50, 80, 60, 0, 8}}, 0},
        {"16-bit tables", {Concat(Concat(Header(0, 1, 255, 80, 60), TableHeader(3, Bytes(128, 1))), kScan)}, 0},
        {"tables of 100 bytes", {Concat(Concat(Header(0, 1, 255, 80, 60), TableHeader(0, Bytes(100, 1))), kScan)}, 0},
        {"a small picture is kept", {Concat(Header(0, 1, 50, 80, 60), {1, 2, 3})}, 1},
    };
    uint16_t sequence = 40;
    for (const auto& c : cases) {
        client.pictures.clear();
        parser.Reset();
        std::vector<Bytes> packets;
        for (std::size_t i = 0; i < c.payloads.size(); ++i)
            packets.push_back(Rtp(sequence++, i + 1 == c.payloads.size(), c.payloads[i]));
        Feed(packets);
        EXPECT_EQ(client.pictures.size(), c.delivered) << c.name;
        // The next picture comes through whole.
        Feed({Rtp(sequence, false, first), Rtp(static_cast<uint16_t>(sequence + 1), true, Concat(Header(300, 1, 50, 80, 60), kScan))});
        sequence = static_cast<uint16_t>(sequence + 2);
        EXPECT_EQ(client.pictures.size(), c.delivered + 1) << c.name;
    }
}

TEST_F(CJpegRTPMediaParserTest, ReusesTablesSentEarlierForTheSameQ) {
    const Bytes tables(128, 7);
    Feed({Rtp(1, true, Concat(Concat(Header(0, 1, 200, 80, 60), TableHeader(0, tables)), kScan)),
          Rtp(2, true, Concat(Concat(Header(0, 1, 200, 80, 60), TableHeader(0, {})), kScan))});
    ASSERT_EQ(client.pictures.size(), 2u);
    const Bytes& second = client.pictures[1].data;
    const std::size_t dqt = FindMarker(second, 0xDB);
    ASSERT_NE(dqt, std::string::npos);
    EXPECT_EQ(second[dqt + 5], 7);
}

TEST_F(CJpegRTPMediaParserTest, ReportsAnOverflowOnceAndStartsOver) {
    const Bytes chunk(60000, 0x11);
    std::vector<Bytes> flood = {Rtp(0, false, Concat(Header(0, 1, 50, 80, 60), chunk))};
    uint32_t offset = static_cast<uint32_t>(chunk.size());
    for (uint16_t s = 1; offset <= CJpegRTPMediaParser::kMaxFrameBytes; ++s, offset += static_cast<uint32_t>(chunk.size()))
        flood.push_back(Rtp(s, false, Concat(Header(offset, 1, 50, 80, 60), chunk)));
    Feed(flood);
    const uint16_t next = static_cast<uint16_t>(flood.size());
    Feed({Rtp(next, true, Concat(Header(offset, 1, 50, 80, 60), chunk)), Rtp(next + 1, true, Concat(Header(0, 1, 50, 80, 60), kScan))});
    EXPECT_EQ(driver.Count("Frame buffer overflow detected"), 1u);
    EXPECT_EQ(client.pictures.size(), 1u);
}

const char* const kVectors[] = {"jpeg-q50",         "jpeg-q50-422",        "jpeg-inband",
                                "jpeg-restart-420", "jpeg-restart-422", "jpeg-restart-inband"};

// The pictures of an elementary stream, back to back.
std::vector<Bytes> SplitJpegs(const Bytes& stream) {
    std::vector<Bytes> pictures;
    std::size_t start = 0;
    for (std::size_t i = 2; i + 2 < stream.size(); ++i)
        if (stream[i - 2] == 0xFF && stream[i - 1] == 0xD9 && stream[i] == 0xFF && stream[i + 1] == 0xD8) {
            pictures.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(start), stream.begin() + static_cast<std::ptrdiff_t>(i));
            start = i;
        }
    pictures.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(start), stream.end());
    return pictures;
}

std::vector<wftest::SDeliveredPicture> Depacketize(const wftest::SRtpVector& vector, wftest::CFakeDriver& driver) {
    wftest::CCollectingClient client;
    CJpegRTPMediaParser parser(&driver, "Wrenfield");
    parser.SetClient(&client);
    wftest::FeedPackets(parser, vector.packets);
    return client.pictures;
}

TEST_F(CJpegRTPMediaParserTest, DeliversEveryVectorPictureWithTheEncodersScanData) {
    for (const char* name : kVectors) {
        const wftest::SRtpVector vector = wftest::LoadRtpVector(name);
        ASSERT_FALSE(vector.packets.empty()) << name;
        const auto pictures = Depacketize(vector, driver);
        const auto originals = SplitJpegs(vector.elementaryStream);
        ASSERT_EQ(pictures.size(), originals.size()) << name;
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            const Bytes& ours = pictures[i].data;
            const Bytes& theirs = originals[i];
            EXPECT_EQ(ScanData(ours), ScanData(theirs)) << name << " picture " << i;
            // Same sampling and restart interval as the encoder wrote.
            const std::size_t sofOurs = FindMarker(ours, 0xC0), sofTheirs = FindMarker(theirs, 0xC0);
            ASSERT_NE(sofOurs, std::string::npos);
            ASSERT_NE(sofTheirs, std::string::npos);
            EXPECT_EQ(ours[sofOurs + 11], theirs[sofTheirs + 11]) << name;
            const std::size_t driOurs = FindMarker(ours, 0xDD), driTheirs = FindMarker(theirs, 0xDD);
            ASSERT_EQ(driOurs != std::string::npos, driTheirs != std::string::npos) << name;
            if (driOurs != std::string::npos) {
                EXPECT_EQ(ours[driOurs + 5], theirs[driTheirs + 5]) << name;
            }
            EXPECT_EQ(pictures[i].width, 320u);
            EXPECT_EQ(pictures[i].height, 240u);
        }
    }
}

TEST_F(CJpegRTPMediaParserTest, DeliversPicturesThatDecodeLikeTheEncodersOwn) {
    if (!wftest::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not available";
    auto decodedMd5 = [](const Bytes& jpeg, const std::string& path) {
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) return std::string("unwritable");
        std::fwrite(jpeg.data(), 1, jpeg.size(), file);
        std::fclose(file);
        const auto md5 = wftest::RunTool("ffmpeg -v error -i '" + path + "' -f md5 - 2>&1");
        std::remove(path.c_str());
        return md5.value_or("failed");
    };
    for (const char* name : kVectors) {
        const wftest::SRtpVector vector = wftest::LoadRtpVector(name);
        const auto pictures = Depacketize(vector, driver);
        const auto originals = SplitJpegs(vector.elementaryStream);
        ASSERT_EQ(pictures.size(), originals.size()) << name;
        const std::string path = wftest::ScratchPath(std::string(name) + ".jpg");
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            const std::string ours = decodedMd5(pictures[i].data, path);
            EXPECT_EQ(ours.rfind("MD5=", 0), 0u) << name << ": " << ours;
            EXPECT_EQ(ours, decodedMd5(originals[i], path)) << name << " picture " << i;
        }
    }
}

TEST_F(CJpegRTPMediaParserTest, NeverDeliversAPartialPictureAroundLossReorderingOrDuplication) {
    for (const char* name : kVectors) {
        std::string firstBreach;
        const int breaches = wftest::CountFaultPolicyBreaches(
            wftest::LoadRtpVector(name).packets,
            [&](wftest::CCollectingClient& c) {
                auto parser = std::make_unique<CJpegRTPMediaParser>(&driver, "Wrenfield");
                parser->SetClient(&c);
                return parser;
            },
            [](const Bytes& picture) { return picture; }, 0u, firstBreach);
        EXPECT_EQ(breaches, 0) << name << ": " << firstBreach;
    }
}

}  // namespace
