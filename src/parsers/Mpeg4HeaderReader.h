// The picture size of an MPEG-4 part 2 key plane, read from the video object
// layer (or short video header) in front of it: the reader built into the
// driver for installations without the external header parser library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvex {

// True, with both sizes written, when the bytes hold a readable header.
bool ParseMpeg4PictureSize(const uint8_t* bytes, std::size_t size, uint32_t* width, uint32_t* height);

}  // namespace talvex
