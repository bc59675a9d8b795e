#include "parsers/H264Sps.h"

#include <array>

#include "base/CBitReader.h"

namespace talvex {

namespace {

constexpr std::size_t kSpsSearchWindow = 64;
constexpr uint8_t kNalTypeMask = 0x1F;
constexpr uint8_t kNalSps = 7;
// Room for the fields up to the cropping window even with twelve scaling
// lists of the largest deltas; a longer SPS is cut, not overrun.
constexpr std::size_t kMaxRbspBytes = 3072;
// Far beyond any level of the standard; larger values are garbage.
constexpr uint32_t kMaxDimension = 65536;

// The profiles whose SPS carries chroma format, bit depths and scaling lists.
bool HasChromaInfo(uint32_t profile) {
    switch (profile) {
        case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118:
        case 128: case 138: case 139: case 134: case 135:
            return true;
        default:
            return false;
    }
}

// Walks a scaling list: each delta moves the next scale; a next scale of 0
// repeats the last one for the rest of the list.
bool SkipScalingList(CBitReader& bits, unsigned entries) {
    int32_t lastScale = 8, nextScale = 8;
    for (unsigned j = 0; j < entries; ++j) {
        if (nextScale != 0) {
            int32_t delta = 0;
            // A delta outside -128..127 is no SPS a real encoder writes.
            if (!bits.ReadSe(delta) || delta < -128 || delta > 127) return false;
            nextScale = ((lastScale + delta) % 256 + 256) % 256;
        }
        if (nextScale != 0) lastScale = nextScale;
    }
    return true;
}

// The SPS body without its emulation prevention bytes (00 00 03 -> 00 00).
std::size_t Unescape(const uint8_t* in, std::size_t size, std::array<uint8_t, kMaxRbspBytes>& out) {
    std::size_t written = 0, zeros = 0;
    for (std::size_t i = 0; i < size && written < out.size(); ++i) {
        if (zeros >= 2 && in[i] == 0x03) {
            zeros = 0;
            continue;
        }
        zeros = in[i] == 0 ? zeros + 1 : 0;
        out[written++] = in[i];
    }
    return written;
}

struct SChroma {
    uint32_t formatIdc = 1;  // 4:2:0 unless the SPS says otherwise
    bool separatePlanes = false;
};

bool ReadChromaInfo(CBitReader& bits, SChroma& chroma) {
    uint32_t v = 0;
    if (!bits.ReadUe(chroma.formatIdc) || chroma.formatIdc > 3) return false;
    if (chroma.formatIdc == 3) {
        if (!bits.ReadBit(v)) return false;
        chroma.separatePlanes = v != 0;
    }
    uint32_t flag = 0;
    // bit depths, transform bypass flag, scaling matrix flag
    if (!bits.ReadUe(v) || !bits.ReadUe(v) || !bits.ReadBit(v) || !bits.ReadBit(flag)) return false;
    if (flag == 0) return true;
    const unsigned lists = chroma.formatIdc == 3 ? 12 : 8;
    for (unsigned i = 0; i < lists; ++i) {
        if (!bits.ReadBit(flag)) return false;
        if (flag != 0 && !SkipScalingList(bits, i < 6 ? 16 : 64)) return false;
    }
    return true;
}

bool SkipPictureOrderCount(CBitReader& bits) {
    uint32_t type = 0, v = 0;
    int32_t s = 0;
    if (!bits.ReadUe(type)) return false;
    if (type == 0) return bits.ReadUe(v);
    if (type != 1) return type == 2;
    uint32_t cycle = 0;
    if (!bits.ReadBit(v) || !bits.ReadSe(s) || !bits.ReadSe(s) || !bits.ReadUe(cycle) || cycle > 255) return false;
    for (uint32_t i = 0; i < cycle; ++i)
        if (!bits.ReadSe(s)) return false;
    return true;
}

}  // namespace

bool ReadSpsSize(const uint8_t* nal, std::size_t size, uint32_t& width, uint32_t& height) {
    if (nal == nullptr || size < 2 || (nal[0] & kNalTypeMask) != kNalSps) return false;
    std::array<uint8_t, kMaxRbspBytes> rbsp;
    CBitReader bits(rbsp.data(), Unescape(nal + 1, size - 1, rbsp));

    uint32_t profile = 0, v = 0;
    // profile_idc, constraint flags and reserved bits, level_idc, seq_parameter_set_id
    if (!bits.ReadBits(8, profile) || !bits.ReadBits(8, v) || !bits.ReadBits(8, v) || !bits.ReadUe(v)) return false;
    SChroma chroma;
    if (HasChromaInfo(profile) && !ReadChromaInfo(bits, chroma)) return false;
    // log2_max_frame_num_minus4
    if (!bits.ReadUe(v) || !SkipPictureOrderCount(bits)) return false;
    uint32_t widthMbs = 0, heightMapUnits = 0, frameMbsOnly = 0, cropping = 0;
    // max_num_ref_frames, gaps_in_frame_num_allowed_flag
    if (!bits.ReadUe(v) || !bits.ReadBit(v) || !bits.ReadUe(widthMbs) || !bits.ReadUe(heightMapUnits) ||
        !bits.ReadBit(frameMbsOnly))
        return false;
    if (frameMbsOnly == 0 && !bits.ReadBit(v)) return false;  // mb_adaptive_frame_field_flag
    if (!bits.ReadBit(v) || !bits.ReadBit(cropping)) return false;  // direct_8x8_inference_flag

    uint64_t w = (uint64_t{widthMbs} + 1) * 16;
    uint64_t h = (2 - uint64_t{frameMbsOnly}) * (uint64_t{heightMapUnits} + 1) * 16;
    if (cropping != 0) {
        uint32_t left = 0, right = 0, top = 0, bottom = 0;
        if (!bits.ReadUe(left) || !bits.ReadUe(right) || !bits.ReadUe(top) || !bits.ReadUe(bottom)) return false;
        // Crop offsets count in chroma samples, and in field lines when the
        // frame is coded as two fields (H.264 7.4.2.1.1).
        const bool monochromeOrPlanes = chroma.formatIdc == 0 || chroma.separatePlanes;
        const uint64_t unitX = monochromeOrPlanes || chroma.formatIdc == 3 ? 1 : 2;
        const uint64_t unitY = (monochromeOrPlanes || chroma.formatIdc != 1 ? 1 : 2) * (2 - uint64_t{frameMbsOnly});
        const uint64_t cropX = unitX * (uint64_t{left} + right), cropY = unitY * (uint64_t{top} + bottom);
        if (cropX >= w || cropY >= h) return false;
        w -= cropX;
        h -= cropY;
    }
    if (w > kMaxDimension || h > kMaxDimension) return false;
    width = static_cast<uint32_t>(w);
    height = static_cast<uint32_t>(h);
    return true;
}

bool FindSpsSize(const uint8_t* buffer, std::size_t size, uint32_t& width, uint32_t& height) {
    if (buffer == nullptr) return false;
    const std::size_t window = size < kSpsSearchWindow ? size : kSpsSearchWindow;
    for (std::size_t i = 0; i < window && size - i > 3; ++i) {
        if (buffer[i] != 0 || buffer[i + 1] != 0 || buffer[i + 2] != 1) continue;
        if ((buffer[i + 3] & kNalTypeMask) != kNalSps) continue;
        // The SPS ends at the next start code.
        const uint8_t* nal = buffer + i + 3;
        std::size_t length = size - i - 3;
        for (std::size_t j = 1; j + 2 < length; ++j)
            if (nal[j] == 0 && nal[j + 1] == 0 && nal[j + 2] == 1) {
                length = j;
                break;
            }
        return ReadSpsSize(nal, length, width, height);
    }
    return false;
}

}  // namespace talvex
