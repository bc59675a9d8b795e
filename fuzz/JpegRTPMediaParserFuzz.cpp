// Framed RTP packets into the JPEG depacketizer.
#include "FuzzSupport.h"
#include "parsers/CJpegRTPMediaParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    wffuzz::CDriver driver;
    wffuzz::CClient client;
    talvex::CJpegRTPMediaParser parser(&driver, "Wrenfield");
    parser.SetClient(&client);
    wffuzz::FeedFramedPackets(parser, data, size);
    return 0;
}
