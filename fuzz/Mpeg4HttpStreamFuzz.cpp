// The MPEG-4 elementary stream into the HTTP MPEG-4 cutter, with the header
// reader built into the driver (no header library is installed here). The
// first byte picks how the rest is split into reads; every delta sample must
// begin with a plane's start code, every key sample with the configuration
// header's (or a plane's), and the samples must be the same as when the
// stream arrives in one read.

#include "HttpStreamSupport.h"
#include "parsers/CMpegMediaParser.h"

namespace {

// A library path that names no file: the cutter falls back on its own reader.
constexpr const char* kNoLibrary = "/nonexistent/wf-fuzz-no-mpeg4parse.so";

std::vector<wffuzz::SPicture> Cut(const uint8_t* data, std::size_t size, uint8_t seed) {
    wffuzz::CDriver driver;
    wffuzz::CPictureReceiver receiver;
    talvex::CMpegMediaParser parser(&receiver, &driver, "Wrenfield", kNoLibrary);
    if (parser.UsesHeaderLibrary()) __builtin_trap();
    wffuzz::FeedInReads(parser, data, size, seed);
    for (const wffuzz::SPicture& picture : receiver.pictures) {
        const std::vector<uint8_t>& b = picture.bytes;
        if (b.size() < 4 || b[0] != 0 || b[1] != 0 || b[2] != 1) __builtin_trap();
        if (picture.fourcc == talvex::CMpegMediaParser::kKeyFourCC) {
            if (b[3] != 0xB0 && b[3] != 0x00 && b[3] != 0xB6) __builtin_trap();
        } else if (picture.fourcc != talvex::CMpegMediaParser::kDeltaFourCC || b[3] != 0xB6) {
            __builtin_trap();
        }
    }
    return receiver.pictures;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t seed = data[0];
    const std::vector<wffuzz::SPicture> split = Cut(data + 1, size - 1, seed);
    if (seed != 0 && split != Cut(data + 1, size - 1, 0)) __builtin_trap();
    return 0;
}
