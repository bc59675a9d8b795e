// How a finished picture is described to the host: the capacity asked of the
// sample allocator and the picture's size class.
#pragma once

#include <cstdint>

namespace talvex {

// Sample capacities asked of the host: the first step that holds the
// picture, or the picture's own size above the last step.
uint32_t SampleBufferSize(uint32_t frameSize);
// 1 small, 2 medium, 3 wide, 4 large.
uint32_t PictureSizeClass(uint32_t width, uint32_t height);

}  // namespace talvex
