#include "parsers/Mpeg4HeaderReader.h"

namespace talvex {

bool ParseMpeg4PictureSize(const uint8_t* bytes, std::size_t size, uint32_t* width, uint32_t* height) {
    (void)bytes;
    (void)size;
    (void)width;
    (void)height;
    return false;  // PLACEHOLDER until the RTP path's header reader lands
}

}  // namespace talvex
