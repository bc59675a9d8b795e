// The picture size of an MPEG-4 Part 2 stream (ISO/IEC 14496-2), read from
// its configuration headers: visual object sequence, visual object and video
// object layer, or an H.263 style short video header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvex {

// The size as coded; when the layer gives a zero dimension, the size rounded
// up to whole macroblocks. False when the headers are cut short, malformed,
// or describe something other than a rectangular picture up to 32000 pixels.
bool ReadVideoSize(const uint8_t* bytes, std::size_t length, uint32_t& width, uint32_t& height);

}  // namespace talvex
