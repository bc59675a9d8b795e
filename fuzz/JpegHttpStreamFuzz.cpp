// The multipart MJPEG stream into the HTTP JPEG cutter. The first byte picks
// how the rest is split into reads; every picture must run from a start of
// image to an end of image, and the pictures must be the same as when the
// stream arrives in one read.
#include "HttpStreamSupport.h"
#include "parsers/CJpegMediaParser.h"

namespace {

std::vector<wffuzz::SPicture> Cut(const uint8_t* data, std::size_t size, uint8_t seed) {
    wffuzz::CDriver driver;
    wffuzz::CPictureReceiver receiver;
    talvex::CJpegMediaParser parser(&receiver, &driver, "Wrenfield");
    wffuzz::FeedInReads(parser, data, size, seed);
    if (seed % 5 == 4) {
        // A broken connection forgets the picture in progress; the stream
        // that follows it is cut as if fresh.
        parser.Resync();
        wffuzz::FeedInReads(parser, data, size, seed);
    }
    return receiver.pictures;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t seed = data[0];
    const std::vector<wffuzz::SPicture> split = Cut(data + 1, size - 1, seed);
    for (const wffuzz::SPicture& picture : split) {
        const std::vector<uint8_t>& b = picture.bytes;
        if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8 || b[b.size() - 2] != 0xFF || b[b.size() - 1] != 0xD9)
            __builtin_trap();
        if (picture.fourcc != talvex::CJpegMediaParser::kFourCC) __builtin_trap();
    }
    if (seed != 0 && seed % 5 != 4 && split != Cut(data + 1, size - 1, 0)) __builtin_trap();
    return 0;
}
