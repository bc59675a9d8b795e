// The bit-stream header readers on their own: the H.264 SPS reader and the
// MPEG-4 configuration header reader, each on an exact copy of the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "parsers/H264Sps.h"
#include "parsers/Mpeg4VideoHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const uint8_t* p = bytes.empty() ? nullptr : bytes.data();
    uint32_t width = 0, height = 0;
    talvex::FindSpsSize(p, bytes.size(), width, height);
    talvex::ReadSpsSize(p, bytes.size(), width, height);
    talvex::ReadVideoSize(p, bytes.size(), width, height);
    return 0;
}
