#include "parsers/SampleSizes.h"

namespace talvex {

namespace {

constexpr uint32_t kSampleSteps[] = {4096, 16384, 32768, 131072};

}  // namespace

uint32_t SampleBufferSize(uint32_t frameSize) {
    for (uint32_t step : kSampleSteps)
        if (frameSize <= step) return step;
    return frameSize;
}

uint32_t PictureSizeClass(uint32_t width, uint32_t height) {
    if (width < 200) return 1;
    if (width < 400) return 2;
    if (width < 1024 && width > 2 * height) return 3;
    return 4;
}

}  // namespace talvex
