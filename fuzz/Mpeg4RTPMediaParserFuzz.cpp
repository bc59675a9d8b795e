// Framed RTP packets into the MPEG-4 depacketizer, with or without a
// configuration from the session description.
#include "FuzzSupport.h"
#include "parsers/CMpeg4RTPMediaParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> kConfig = {0x00, 0x00, 0x01, 0xB0, 0x01, 0x00, 0x00, 0x01, 0xB5, 0x89,
                                                 0x13, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00,
                                                 0xC4, 0x8D, 0x8F, 0xFF, 0xFD, 0x0B, 0x04, 0x24, 0x14, 0x63};
    wffuzz::CDriver driver;
    wffuzz::CClient client;
    talvex::CMpeg4RTPMediaParser parser(&driver, "Wrenfield");
    parser.SetClient(&client);
    if (size > 0 && (data[0] & 1)) parser.SetConfig(kConfig);
    wffuzz::FeedFramedPackets(parser, data, size);
    return 0;
}
