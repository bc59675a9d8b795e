// A host whose allocator or samples throw loses the pictures it failed on,
// never the depacketizer, and gets back every sample it handed out.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CFakeDriver.h"
#include "CHostSampleAllocator.h"
#include "RtpVectors.h"
#include "parsers/CH264RTPMediaParser.h"
#include "parsers/CJpegRTPMediaParser.h"
#include "parsers/CMpeg4RTPMediaParser.h"

namespace {

using namespace talvex;

template <typename TParser>
std::size_t Depacketize(const wftest::SRtpVector& vector, wftest::CFakeDriver& driver) {
    wftest::CCollectingClient client;
    TParser parser(&driver, "Wrenfield");
    parser.SetClient(&client);
    wftest::FeedPackets(parser, vector.packets);
    return client.pictures.size();
}

TEST(CRTPMediaParserHostFailureTest, AHostThatFailsEveryThirdSampleLosesThosePicturesOnly) {
    const struct {
        const char* vector;
        std::size_t (*depacketize)(const wftest::SRtpVector&, wftest::CFakeDriver&);
    } parsers[] = {
        {"h264-baseline", &Depacketize<CH264RTPMediaParser>},
        {"jpeg-q50", &Depacketize<CJpegRTPMediaParser>},
        {"mpeg4-inband", &Depacketize<CMpeg4RTPMediaParser>},
    };
    const char* const calls[] = {"CreateSample", "GetBuffer", "SetWidth", "SetTime", "ReleaseSample"};
    for (const auto& p : parsers) {
        const wftest::SRtpVector vector = wftest::LoadRtpVector(p.vector);
        wftest::CFakeDriver sound;
        wftest::CHostSampleAllocator soundAllocator;
        sound.allocator = &soundAllocator;
        const std::size_t all = p.depacketize(vector, sound);
        ASSERT_GE(all, 6u) << p.vector;
        for (const char* call : calls) {
            SCOPED_TRACE(std::string(p.vector) + " / " + call);
            wftest::CFakeDriver driver;
            wftest::CHostSampleAllocator allocator;
            allocator.failEvery = 3;
            allocator.failingCall = call;
            driver.allocator = &allocator;
            std::size_t delivered = 0;
            ASSERT_NO_THROW(delivered = p.depacketize(vector, driver));
            const std::size_t failures = driver.Count("The host failed to take a picture of 127.0.0.1:80");
            EXPECT_GE(failures, 1u);
            EXPECT_EQ(driver.Lines().size(), failures);
            // A failed release still delivered its picture; any other failure
            // loses at least that picture, and pictures follow it.
            if (std::string(call) == "ReleaseSample")
                EXPECT_EQ(delivered, all);
            else
                EXPECT_LE(delivered, all - failures);
            EXPECT_GE(delivered, 2u);
            EXPECT_EQ(allocator.created.load(), allocator.released.load());
        }
    }
}

}  // namespace
