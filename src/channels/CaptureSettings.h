#pragma once

#include <cstdint>

namespace talvex {

// What the host asks of one video input.
struct CaptureSettings {
    uint32_t FrameIntervalMs = 0;  // frame rate = 1000 / interval
    uint32_t Quality = 0;          // the host's compression quality value
    uint32_t Width = 0;
    uint32_t Height = 0;
};

}  // namespace talvex
