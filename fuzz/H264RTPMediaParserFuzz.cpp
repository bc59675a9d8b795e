// Framed RTP packets into the H.264 depacketizer, with parameter sets from a
// session description.
#include "FuzzSupport.h"
#include "parsers/CH264RTPMediaParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> kSps = {0x67, 0x42, 0xC0, 0x15, 0xDA, 0x05, 0x07, 0xEC, 0x05, 0xA8,
                                              0x30, 0x30, 0x35, 0x28, 0x00, 0x00, 0x03, 0x00, 0x08};
    static const std::vector<uint8_t> kPps = {0x68, 0xCE, 0x04, 0x72};
    wffuzz::CDriver driver;
    wffuzz::CClient client;
    talvex::CH264RTPMediaParser parser(&driver, "Wrenfield");
    parser.SetClient(&client);
    // The first byte decides whether the session gave parameter sets.
    if (size > 0 && (data[0] & 1)) parser.SetParameterSets(kSps, kPps);
    wffuzz::FeedFramedPackets(parser, data, size);
    return 0;
}
