// Codec set-up bytes a camera announces in its session description, handed
// to the channel before SETUP so the depacketizer can start without waiting
// for them in band.
#pragma once

#include <cstdint>
#include <vector>

namespace talvex {

struct SdpCodecParameters {
    std::vector<uint8_t> Sps;     // H.264 sequence parameter set
    std::vector<uint8_t> Pps;     // H.264 picture parameter set
    std::vector<uint8_t> Config;  // MPEG-4 decoder configuration
};

}  // namespace talvex
