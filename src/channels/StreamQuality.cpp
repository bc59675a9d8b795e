#include "channels/StreamQuality.h"

namespace talvex {

namespace {

constexpr int kVbrByLevel[] = {28, 24, 21, 19, 17, 14, 10, 7, 5, 4};  // levels 1..10
constexpr int kVbrOutsideTable = 1;

}  // namespace

int VbrLevel(uint32_t quality) {
    if (quality < 10) return 1;
    return static_cast<int>(quality / 10);
}

int VbrValue(uint32_t quality) {
    const int level = VbrLevel(quality);
    if (level < 1 || level > static_cast<int>(sizeof kVbrByLevel / sizeof kVbrByLevel[0])) return kVbrOutsideTable;
    return kVbrByLevel[level - 1];
}

int FrameRateOf(uint32_t frameIntervalMs) {
    if (frameIntervalMs == 0) return 1;
    return static_cast<int>(1000.0 / frameIntervalMs + 0.5);
}

}  // namespace talvex
