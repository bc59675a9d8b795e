// The picture size of an H.264 stream, read from its sequence parameter set
// (ITU-T H.264 7.3.2.1.1).
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvex {

// Looks for an SPS NAL unit starting (start code included) within the first
// 64 bytes of an Annex B buffer and reads the cropped picture size from it.
// False when there is none, or it is cut short or malformed.
bool FindSpsSize(const uint8_t* buffer, std::size_t size, uint32_t& width, uint32_t& height);

// Reads the cropped picture size from one SPS NAL unit (header byte first,
// emulation prevention bytes still in place).
bool ReadSpsSize(const uint8_t* nal, std::size_t size, uint32_t& width, uint32_t& height);

}  // namespace talvex
