#include "parsers/CMpegMediaParser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "CFakeDriver.h"
#include "CHostSampleAllocator.h"

namespace {

using Bytes = std::vector<uint8_t>;
using talvex::CMpegMediaParser;

// Streams encoded by FFmpeg (scripts/make-mpeg4-stream-vectors.sh): QCIF with
// a key plane every 10 planes, QVGA with one every 5, headers before each.
Bytes ReadVector(const char* name) {
    std::ifstream file(std::string(WF_TEST_DATA_DIR) + "/mpeg4/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::size_t> StartCodes(const Bytes& stream, uint8_t code) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i + 3 < stream.size(); ++i)
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1 && stream[i + 3] == code) found.push_back(i);
    return found;
}

bool StartsWithStartCode(const Bytes& bytes, uint8_t code) {
    return bytes.size() >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] == code;
}

struct SSample {
    Bytes data;
    uint32_t fourcc;
    uint32_t width;
    uint32_t height;
    uint32_t capacity;
};

class CCollectingReceiver final : public talvex::IMediaReceiver {
public:
    bool OnMediaSample(talvex::ipcapture::IHostMediaSample* sample) override {
        auto* s = static_cast<wftest::CHostMediaSample*>(sample);
        samples.push_back({s->Data(), s->fourcc, s->width, s->height, static_cast<uint32_t>(s->buffer.size())});
        return true;
    }
    std::vector<SSample> samples;
};

// Throws from every third sample it is asked for.
class CFailingAllocator final : public talvex::ipcapture::IHostSampleAllocator {
public:
    talvex::ipcapture::IHostMediaSample* CreateSample(unsigned int fourcc, unsigned int size, const char* name) override {
        if (++m_calls % 3 == 0) throw std::runtime_error("host out of samples");
        return inner.CreateSample(fourcc, size, name);
    }
    void ReleaseSample(talvex::ipcapture::IHostMediaSample* sample) override { inner.ReleaseSample(sample); }
    wftest::CHostSampleAllocator inner;

private:
    int m_calls = 0;
};

class CMpegMediaParserTest : public ::testing::Test {
protected:
    CMpegMediaParserTest() { driver.allocator = &allocator; }

    std::vector<SSample> Feed(const std::vector<Bytes>& chunks, const std::string& library = kNoLibrary) {
        CCollectingReceiver receiver;
        CMpegMediaParser parser(&receiver, &driver, "Wrenfield", library);
        for (const auto& chunk : chunks) parser.Parse(chunk);
        return receiver.samples;
    }

    static inline const std::string kNoLibrary = "no-such-directory/NoMpeg4Parse.library";
    wftest::CFakeDriver driver;
    wftest::CHostSampleAllocator allocator;
};

TEST_F(CMpegMediaParserTest, CutsAnEncodedStreamIntoPlanesWithTheHeaderBeforeEveryKeyPlane) {
    const Bytes stream = ReadVector("qcif-gop10.m4v");
    ASSERT_FALSE(stream.empty());
    const auto planes = StartCodes(stream, 0xB6);
    const auto samples = Feed({stream});
    // The last plane waits for the start code that would end it.
    ASSERT_EQ(samples.size(), planes.size() - 1);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const bool key = i % 10 == 0;
        EXPECT_EQ(samples[i].fourcc, key ? CMpegMediaParser::kKeyFourCC : CMpegMediaParser::kDeltaFourCC) << i;
        // A key plane starts with the sequence header, any other with its plane.
        EXPECT_TRUE(StartsWithStartCode(samples[i].data, key ? 0xB0 : 0xB6)) << i;
        EXPECT_EQ(samples[i].width, 176u) << i;
        EXPECT_EQ(samples[i].height, 144u) << i;
    }
    // Together the samples are the encoder's bytes up to the last plane: the
    // plane before a key plane does not carry the start of the next header.
    Bytes joined;
    for (const auto& sample : samples) joined.insert(joined.end(), sample.data.begin(), sample.data.end());
    EXPECT_EQ(joined, Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(planes.back())));
    EXPECT_EQ(samples[9].data.size(), StartCodes(stream, 0xB0)[1] - planes[9]);
    EXPECT_EQ(allocator.created.load(), allocator.released.load());
}

TEST_F(CMpegMediaParserTest, ReadsSplitAnywhereAroundAStartCodeGiveTheSameSamples) {
    const Bytes stream = ReadVector("qcif-gop10.m4v");
    const auto whole = Feed({stream});
    std::vector<std::size_t> cuts;
    for (uint8_t code : {uint8_t{0xB0}, uint8_t{0x00}, uint8_t{0xB6}})
        for (std::size_t at : StartCodes(stream, code))
            for (std::size_t delta = 0; delta <= 8; ++delta)
                if (at + delta >= 4) cuts.push_back(at + delta - 4);
    for (std::size_t cut : cuts) {
        const Bytes head(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
        const Bytes tail(stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end());
        const auto split = Feed({head, tail});
        ASSERT_EQ(split.size(), whole.size()) << "cut at " << cut;
        for (std::size_t i = 0; i < whole.size(); ++i) ASSERT_EQ(split[i].data, whole[i].data) << "cut at " << cut;
    }
    std::vector<Bytes> bytes;
    for (uint8_t b : stream) bytes.push_back({b});
    const auto single = Feed(bytes);
    ASSERT_EQ(single.size(), whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i) EXPECT_EQ(single[i].data, whole[i].data) << i;
}

TEST_F(CMpegMediaParserTest, AStreamJoinedMidGroupWaitsForAKeyPlaneAndFollowsANewHeader) {
    const Bytes qcif = ReadVector("qcif-gop10.m4v");
    const Bytes qvga = ReadVector("qvga-gop5.m4v");
    const auto planes = StartCodes(qcif, 0xB6);
    // Join at the third plane, and let a QVGA stream with its own header follow.
    Bytes stream(qcif.begin() + static_cast<std::ptrdiff_t>(planes[2]), qcif.end());
    stream.insert(stream.end(), qvga.begin(), qvga.end());
    const auto samples = Feed({stream});
    ASSERT_FALSE(samples.empty());
    EXPECT_EQ(samples[0].fourcc, CMpegMediaParser::kKeyFourCC);
    EXPECT_TRUE(StartsWithStartCode(samples[0].data, 0xB0));
    // Planes 2..9 were dropped; then 20 QCIF planes and all but the last QVGA plane.
    EXPECT_EQ(samples.size(), 20u + StartCodes(qvga, 0xB6).size() - 1);
    EXPECT_EQ(samples[0].width, 176u);
    EXPECT_EQ(samples.back().width, 320u);
    EXPECT_EQ(samples.back().height, 240u);
    EXPECT_EQ(samples[20].fourcc, CMpegMediaParser::kKeyFourCC);
    EXPECT_TRUE(StartsWithStartCode(samples[20].data, 0xB0));
}

TEST_F(CMpegMediaParserTest, TheHeaderLibraryGivesThePictureSizeWhenItIsThere) {
    const Bytes stream = ReadVector("qcif-gop10.m4v");
    {
        CCollectingReceiver receiver;
        CMpegMediaParser parser(&receiver, &driver, "Wrenfield", WF_MPEG4PARSE_STUB_PATH);
        EXPECT_TRUE(parser.UsesHeaderLibrary());
        parser.Parse(stream);
        ASSERT_FALSE(receiver.samples.empty());
        EXPECT_EQ(receiver.samples[0].width, 1234u);
        EXPECT_EQ(receiver.samples[0].height, 567u);
    }
    // No library, or a library without the entry: the built-in reader's size.
#if defined(_WIN32)
    const char* withoutEntry = "kernel32.dll";
#else
    const char* withoutEntry = "libm.so.6";
#endif
    for (const std::string& library : {kNoLibrary, std::string(withoutEntry)}) {
        CCollectingReceiver receiver;
        CMpegMediaParser parser(&receiver, &driver, "Wrenfield", library);
        EXPECT_FALSE(parser.UsesHeaderLibrary()) << library;
        parser.Parse(stream);
        ASSERT_FALSE(receiver.samples.empty()) << library;
        EXPECT_EQ(receiver.samples[0].width, 176u) << library;
        EXPECT_EQ(receiver.samples[0].height, 144u) << library;
    }
}

TEST_F(CMpegMediaParserTest, SampleCapacitiesFollowTheSizeSteps) {
    const Bytes stream = ReadVector("qcif-gop10.m4v");
    const auto planes = StartCodes(stream, 0xB6);
    // The encoder's header and a 20000-byte key plane without start codes in it.
    Bytes synthetic(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(planes[0]));
    synthetic.insert(synthetic.end(), {0x00, 0x00, 0x01, 0xB6, 0x10});
    synthetic.resize(synthetic.size() + 20000 - 5 - 0, 0x55);
    const std::size_t headerSize = planes[0];
    synthetic.insert(synthetic.end(), {0x00, 0x00, 0x01, 0xB6, 0x50, 0x00});
    const auto samples = Feed({synthetic}, WF_MPEG4PARSE_STUB_PATH);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].data.size(), headerSize + 20000u);
    EXPECT_EQ(samples[0].capacity, 32768u);
}

TEST_F(CMpegMediaParserTest, AnEndlessStreamWithoutStartCodesIsDroppedAtTheLimitAndResynchronised) {
    Bytes garbage(1 << 20, 0x42);
    std::vector<Bytes> chunks(11, garbage);
    chunks.push_back(ReadVector("qcif-gop10.m4v"));
    const auto samples = Feed(chunks);
    EXPECT_EQ(driver.Count("talvex::CHttpMediaParser::CheckBufferSize: Frame buffer overflow detected, device 127.0.0.1:80"), 1u);
    ASSERT_FALSE(samples.empty());
    EXPECT_EQ(samples[0].fourcc, CMpegMediaParser::kKeyFourCC);
}

TEST_F(CMpegMediaParserTest, ShortAndCutReadsAreHarmless) {
    const Bytes stream = ReadVector("qcif-gop10.m4v");
    for (std::size_t size = 0; size < 64; ++size) {
        const Bytes prefix(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_TRUE(Feed({prefix, {}, {0x00}, {0x00, 0x01}}).empty()) << size;
    }
}

TEST_F(CMpegMediaParserTest, AHostThatThrowsLosesOnlyThosePictures) {
    CFailingAllocator failing;
    driver.allocator = &failing;
    const Bytes stream = ReadVector("qcif-gop10.m4v");
    const auto samples = Feed({stream}, WF_MPEG4PARSE_STUB_PATH);
    // 29 planes complete; every third request for a sample threw.
    EXPECT_EQ(samples.size(), 29u - 29u / 3);
    EXPECT_EQ(failing.inner.created.load(), failing.inner.released.load());
    EXPECT_EQ(driver.Count("The host failed to take a picture"), 29u / 3);
}

}  // namespace
