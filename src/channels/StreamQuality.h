// The camera's "VBR" quality class for the H.264 and MPEG-4 streams, shared by
// the HTTP and RTSP channels that ask for them.
#pragma once

#include <cstdint>

namespace talvex {

// The host's quality (0..100) in tens, at least 1.
int VbrLevel(uint32_t quality);
// The value sent as "VBR=": 28 (level 1) down to 4 (level 10); 1 for any
// level outside the table.
int VbrValue(uint32_t quality);
// The frame rate asked of the camera: 1000 / interval, rounded; 1 for 0.
int FrameRateOf(uint32_t frameIntervalMs);

}  // namespace talvex
