// RTSP answers and session descriptions: the first byte picks the method the
// answer is read for, the rest is the answer; a second parse into the same
// record checks that carried-over fields stay usable.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rtsp/CRTSPResponseParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const uint32_t method = 1 + data[0] % 6;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    talvex::CRTSPResponseParser parser;
    parser.Parse(text, method);
    parser.Parse(text, talvex::RTSP_DESCRIBE);
    std::size_t capacity = 16;
    uint8_t buffer[16];
    talvex::CRTSPResponseParser::DecodeBase64(text.data(), text.size(), buffer, &capacity);
    return 0;
}
