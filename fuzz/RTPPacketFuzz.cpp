// One datagram into the RTP packet parser.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtsp/CRTPPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    talvex::CRTPPacket packet;
    if (packet.Parse(bytes.empty() ? nullptr : bytes.data(), bytes.size()) && packet.PayloadLength() > size)
        __builtin_trap();
    return 0;
}
