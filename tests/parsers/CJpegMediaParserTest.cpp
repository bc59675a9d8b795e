#include "parsers/CJpegMediaParser.h"

#include <gtest/gtest.h>

#include "CFakeDriver.h"
#include "CHostSampleAllocator.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A minimal baseline JPEG: SOI, SOF0 with the size, some payload with a
// stuffed 0xFF, EOI.
Bytes Picture(uint16_t width, uint16_t height, std::size_t payload, uint8_t seed) {
    Bytes bytes = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08,
                   static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
                   static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width), 0x03};
    for (std::size_t i = 0; i < payload; ++i) bytes.push_back(static_cast<uint8_t>((i * 7 + seed) % 0xFE));
    bytes.push_back(0xFF);
    bytes.push_back(0x00);
    bytes.push_back(seed);
    bytes.push_back(0xFF);
    bytes.push_back(0xD9);
    return bytes;
}

Bytes Part(const Bytes& picture) {
    const std::string head = "--myboundary\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                             std::to_string(picture.size()) + "\r\n\r\n";
    Bytes part(head.begin(), head.end());
    part.insert(part.end(), picture.begin(), picture.end());
    part.push_back('\r');
    part.push_back('\n');
    return part;
}

class CCollectingReceiver final : public talvex::IMediaReceiver {
public:
    bool OnMediaSample(talvex::ipcapture::IHostMediaSample* sample) override {
        auto* s = static_cast<wftest::CHostMediaSample*>(sample);
        pictures.push_back(s->Data());
        sizes.emplace_back(s->width, s->height);
        sizeClasses.push_back(s->sizeClass);
        fourccs.push_back(s->fourcc);
        timeNowCalls += s->timeNowCalls;
        requested.push_back(static_cast<uint32_t>(s->buffer.size()));
        return accept;
    }
    std::vector<Bytes> pictures;
    std::vector<std::pair<uint32_t, uint32_t>> sizes;
    std::vector<uint32_t> sizeClasses;
    std::vector<uint32_t> fourccs;
    std::vector<uint32_t> requested;
    int timeNowCalls = 0;
    bool accept = true;
};

class CJpegMediaParserTest : public ::testing::Test {
protected:
    CJpegMediaParserTest() { driver.allocator = &allocator; }

    std::vector<Bytes> Feed(const std::vector<Bytes>& chunks) {
        CCollectingReceiver receiver;
        talvex::CJpegMediaParser parser(&receiver, &driver, "Wrenfield");
        for (const auto& chunk : chunks) parser.Parse(chunk);
        last = receiver;
        return receiver.pictures;
    }

    wftest::CFakeDriver driver;
    wftest::CHostSampleAllocator allocator;
    CCollectingReceiver last;
};

TEST_F(CJpegMediaParserTest, CutsMultipartStreamIntoWholePictures) {
    const Bytes first = Picture(352, 288, 300, 1);
    const Bytes second = Picture(352, 288, 500, 2);
    Bytes stream = Part(first);
    const Bytes secondPart = Part(second);
    stream.insert(stream.end(), secondPart.begin(), secondPart.end());
    const auto pictures = Feed({stream});
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0], first);
    EXPECT_EQ(pictures[1], second);
    EXPECT_EQ(last.sizes[0], std::make_pair(352u, 288u));
    EXPECT_EQ(last.sizeClasses[0], 2u);
    EXPECT_EQ(last.fourccs[0], talvex::CJpegMediaParser::kFourCC);
    EXPECT_EQ(last.timeNowCalls, 2);
    EXPECT_EQ(last.requested[0], first.size());
    EXPECT_EQ(allocator.created.load(), allocator.released.load());
}

TEST_F(CJpegMediaParserTest, EveryTwoChunkSplitGivesTheSamePictures) {
    const Bytes first = Picture(704, 576, 120, 3);
    const Bytes second = Picture(704, 576, 80, 4);
    Bytes stream = Part(first);
    const Bytes secondPart = Part(second);
    stream.insert(stream.end(), secondPart.begin(), secondPart.end());
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        const Bytes head(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
        const Bytes tail(stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end());
        const auto pictures = Feed({head, tail});
        ASSERT_EQ(pictures.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(pictures[0], first) << "cut at " << cut;
        EXPECT_EQ(pictures[1], second) << "cut at " << cut;
        EXPECT_EQ(last.sizes[1], std::make_pair(704u, 576u)) << "cut at " << cut;
    }
}

TEST_F(CJpegMediaParserTest, OneByteReadsReassembleEveryPicture) {
    const Bytes picture = Picture(1280, 720, 64, 5);
    Bytes stream = Part(picture);
    const Bytes again = Part(picture);
    stream.insert(stream.end(), again.begin(), again.end());
    std::vector<Bytes> chunks;
    for (uint8_t b : stream) chunks.push_back({b});
    const auto pictures = Feed(chunks);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[1], picture);
    EXPECT_EQ(last.sizeClasses[0], 4u);
}

TEST_F(CJpegMediaParserTest, PicturesWithoutAKnownSizeAreHeldBackUntilABaselineOneArrives) {
    // A progressive picture (SOF2) first: no size yet, so nothing is delivered.
    const Bytes progressive = {0xFF, 0xD8, 0xFF, 0xC2, 0x00, 0x11, 0x08, 0x01, 0x00, 0x02, 0x00, 0x11, 0xFF, 0xD9};
    const Bytes baseline = Picture(176, 144, 10, 6);
    const auto pictures = Feed({progressive, baseline, progressive});
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0], baseline);
    EXPECT_EQ(pictures[1], progressive);  // with the last known size
    EXPECT_EQ(last.sizes[1], std::make_pair(176u, 144u));
    EXPECT_EQ(last.sizeClasses[1], 1u);
}

// A start-of-frame segment cut short by the end of image: its sizes would
// come from the bytes behind the picture, and only when they happened to be
// in the same read. And a whole one followed by a cut one: its sizes count
// however the stream is split. Found by the HTTP JPEG cutter's fuzzer.
TEST_F(CJpegMediaParserTest, ASizeCountsOnlyWhenItsSegmentEndsInsideThePicture) {
    const Bytes sized = Picture(320, 240, 20, 7);
    const Bytes cut = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0xFF, 0xD9};
    const Bytes wholeThenCut = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x00, 0x78, 0x00, 0xA0, 0x03, 0x14,
                                0x50, 0xFF, 0xC0, 0xFF, 0xD9};
    const Bytes behind = {0x08, 0x3F, 0xFF, 0x01, 0x00, 0x37, 0x40, 0x28};
    struct SCase {
        const char* what;
        Bytes before;
        Bytes picture;
        std::vector<std::pair<uint32_t, uint32_t>> sizes;
    } cases[] = {
        {"cut, first picture", {}, cut, {}},
        {"cut, after a sized one", sized, cut, {{320, 240}, {320, 240}}},
        {"whole then cut", {}, wholeThenCut, {{160, 120}}},
    };
    for (const SCase& c : cases) {
        Bytes stream = c.before;
        stream.insert(stream.end(), c.picture.begin(), c.picture.end());
        stream.insert(stream.end(), behind.begin(), behind.end());
        for (std::size_t split = 0; split <= stream.size(); ++split) {
            Feed({Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(split)),
                  Bytes(stream.begin() + static_cast<std::ptrdiff_t>(split), stream.end())});
            EXPECT_EQ(last.sizes, c.sizes) << c.what << ", split at " << split;
        }
    }
}

TEST_F(CJpegMediaParserTest, GarbageAndPicturesWithoutEndMarkerNeverReachTheHost) {
    Bytes garbage;
    for (int i = 0; i < 5000; ++i) garbage.push_back(static_cast<uint8_t>(i * 31));
    garbage.push_back(0xFF);  // ends on a lone marker prefix
    Bytes truncated = Picture(352, 288, 40, 7);
    truncated.resize(truncated.size() - 2);  // no end of image
    const Bytes good = Picture(352, 288, 40, 8);
    const auto pictures = Feed({garbage, truncated, good});
    // The truncated picture is abandoned at the next start of image.
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0], good);
}

TEST_F(CJpegMediaParserTest, OversizePictureIsDroppedWithOneOverflowLine) {
    Bytes start = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0x20, 0x01, 0x60, 0x03};
    Bytes filler(1 << 20, 0x11);
    std::vector<Bytes> chunks = {start};
    for (int i = 0; i < 11; ++i) chunks.push_back(filler);  // past 10 MiB without an end marker
    chunks.push_back(filler);                               // ignored: not in a picture any more
    chunks.push_back({0xFF, 0xD9});                         // an end without a start
    const Bytes good = Picture(352, 288, 40, 9);
    chunks.push_back(good);
    driver.device.Address = "10.0.0.7";
    driver.device.Port = 8080;
    const auto pictures = Feed(chunks);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0], good);
    const auto lines = driver.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 1);
    EXPECT_EQ(lines[0].text,
              "talvex::CHttpMediaParser::CheckBufferSize: Frame buffer overflow detected, device 10.0.0.7:8080");
}

TEST_F(CJpegMediaParserTest, NoAllocatorOrNoSampleDropsThePicture) {
    const Bytes picture = Picture(352, 288, 40, 10);
    allocator.refuse = true;
    EXPECT_TRUE(Feed({picture}).empty());
    allocator.refuse = false;
    driver.allocator = nullptr;
    EXPECT_TRUE(Feed({picture}).empty());
}

TEST_F(CJpegMediaParserTest, AHostThatFailsLosesThatPictureOnly) {
    // Every third sample meets a host call that throws: that picture is lost
    // with one line, every sample goes back, the pictures around it arrive.
    const struct {
        const char* call;
        std::size_t delivered;
        std::size_t lines;
    } cases[] = {
        {"CreateSample", 6, 3}, {"SetWidth", 6, 3},      {"SetTimeNow", 6, 3},
        {"GetBuffer", 6, 3},    {"ReleaseSample", 9, 0},  // taken already; the host keeps its trouble
    };
    for (const auto& c : cases) {
        wftest::CFakeDriver hostDriver;
        wftest::CHostSampleAllocator failing;
        failing.failEvery = 3;
        failing.failingCall = c.call;
        hostDriver.allocator = &failing;
        CCollectingReceiver collected;
        talvex::CJpegMediaParser parser(&collected, &hostDriver, "Wrenfield");
        for (uint8_t i = 0; i < 9; ++i) parser.Parse(Part(Picture(320, 240, 100, i)));
        EXPECT_EQ(collected.pictures.size(), c.delivered) << c.call;
        EXPECT_EQ(hostDriver.Count("talvex::CJpegMediaParser::Deliver: The host failed to take a picture of Wrenfield; "
                                   "it was dropped"),
                  c.lines)
            << c.call;
        EXPECT_EQ(failing.created.load(), failing.released.load()) << c.call;
        for (const auto& picture : collected.pictures) EXPECT_EQ(picture.size(), Picture(320, 240, 100, 0).size());
    }
}

}  // namespace
