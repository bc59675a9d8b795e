#include "parsers/Mpeg4VideoHeader.h"

#include "base/CBitReader.h"

namespace talvex {

namespace {

constexpr uint32_t kSequenceStart = 0x000001B0;
constexpr uint32_t kUserDataStart = 0x000001B2;
constexpr uint32_t kVisualObjectStart = 0x000001B5;
constexpr uint32_t kVideoObjectPrefix27 = 0x000001 << 3;     // 00 00 01 00..1F
constexpr uint32_t kVideoLayerPrefix28 = 0x0000012;          // 00 00 01 20..2F
constexpr uint32_t kShortHeaderMarker22 = 0x20;              // 0000 0000 0000 0000 1000 00
constexpr uint32_t kVideoObjectType = 1;
constexpr uint32_t kMaxRoundedSize = 32000;

bool NextStartCode(CBitReader& bits, uint32_t& code) {
    return bits.PeekBits(32, code);
}

// Moves to the next byte-aligned start code at or after the current byte.
bool SeekStartCode(CBitReader& bits) {
    bits.AlignToByte();
    uint32_t prefix = 0;
    while (bits.PeekBits(24, prefix)) {
        if (prefix == 0x000001) return true;
        bits.SkipBits(8);
    }
    return false;
}

void SkipUserData(CBitReader& bits) {
    uint32_t code = 0;
    while (bits.IsByteAligned() && NextStartCode(bits, code) && code == kUserDataStart) {
        bits.SkipBits(32);
        if (!SeekStartCode(bits)) return;
    }
}

// Scans start codes until a video object layer begins.
bool SeekVideoLayer(CBitReader& bits) {
    uint32_t prefix = 0;
    for (;;) {
        if (!SeekStartCode(bits)) return false;
        if (bits.PeekBits(28, prefix) && prefix == kVideoLayerPrefix28) return true;
        if (!bits.SkipBits(24)) return false;
    }
}

bool ReadVisualObject(CBitReader& bits) {
    uint32_t v = 0, code = 0, type = 0;
    if (!bits.SkipBits(32 + 8)) return false;  // start code, profile_and_level_indication
    SkipUserData(bits);
    if (!bits.ReadBits(32, code) || code != kVisualObjectStart) return false;
    if (!bits.ReadBit(v)) return false;  // is_visual_object_identifier
    if (v != 0 && !bits.SkipBits(4 + 3)) return false;
    if (!bits.ReadBits(4, type)) return false;
    if (type == kVideoObjectType) {
        if (!bits.ReadBit(v)) return false;  // video_signal_type
        if (v != 0) {
            uint32_t colour = 0;
            if (!bits.SkipBits(3 + 1) || !bits.ReadBit(colour)) return false;
            if (colour != 0 && !bits.SkipBits(24)) return false;
        }
    }
    bits.AlignToByte();
    SkipUserData(bits);
    uint32_t prefix = 0;
    if (type == kVideoObjectType && bits.PeekBits(27, prefix) && prefix == kVideoObjectPrefix27) {
        bits.SkipBits(32);
        if (bits.PeekBits(28, prefix) && prefix == kVideoLayerPrefix28) return true;
    }
    return SeekVideoLayer(bits);
}

bool ReadShortHeader(CBitReader& bits, uint32_t& width, uint32_t& height) {
    struct SFormat { uint32_t width, height; };
    static constexpr SFormat kFormats[] = {{0, 0}, {128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
    uint32_t format = 0;
    // marker, temporal_reference, marker, zero_bit, three flags
    if (!bits.SkipBits(22 + 8 + 1 + 4) || !bits.ReadBits(3, format)) return false;
    // 0 is forbidden, 6 reserved; 7 (the extended picture type) is not taken.
    if (format == 0 || format > 5) return false;
    width = kFormats[format].width;
    height = kFormats[format].height;
    return true;
}

bool ReadMarker(CBitReader& bits) {
    uint32_t marker = 0;
    return bits.ReadBit(marker) && marker == 1;
}

bool SkipLayerControl(CBitReader& bits) {
    uint32_t v = 0, chroma = 0;
    if (!bits.ReadBit(v)) return false;  // vol_control_parameters
    if (v == 0) return true;
    // chroma_format must be 4:2:0; low_delay is not looked at.
    if (!bits.ReadBits(2, chroma) || chroma != 1 || !bits.ReadBit(v) || !bits.ReadBit(v)) return false;
    if (v == 0) return true;  // vbv_parameters
    // bit rate, buffer size and occupancy halves, each followed by a marker
    return bits.SkipBits(15) && ReadMarker(bits) && bits.SkipBits(15) && ReadMarker(bits) && bits.SkipBits(15) &&
           ReadMarker(bits) && bits.SkipBits(3 + 11) && ReadMarker(bits) && bits.SkipBits(15) && ReadMarker(bits);
}

bool ReadVideoLayer(CBitReader& bits, uint32_t& width, uint32_t& height) {
    uint32_t v = 0, type = 0, aspect = 0, shape = 0, resolution = 0, fixedRate = 0;
    // start code and layer id, random_accessible_vol
    if (!bits.SkipBits(32 + 1) || !bits.ReadBits(8, type) || type == 0) return false;
    if (!bits.ReadBit(v)) return false;  // is_object_layer_identifier
    if (v != 0 && !bits.SkipBits(4 + 3)) return false;
    if (!bits.ReadBits(4, aspect)) return false;
    if (aspect == 15 && !bits.SkipBits(16)) return false;  // par_width, par_height
    if (!SkipLayerControl(bits)) return false;
    if (!bits.ReadBits(2, shape) || shape != 0 || !ReadMarker(bits)) return false;
    if (!bits.ReadBits(16, resolution) || resolution == 0 || !ReadMarker(bits) || !bits.ReadBit(fixedRate))
        return false;
    if (fixedRate != 0) {
        unsigned increment = 1;
        while (increment < 16 && (resolution - 1) >> increment != 0) ++increment;
        if (!bits.SkipBits(increment)) return false;
    }
    uint32_t w = 0, h = 0;
    if (!ReadMarker(bits) || !bits.ReadBits(13, w) || !ReadMarker(bits) || !bits.ReadBits(13, h)) return false;
    const uint32_t roundedWidth = (w + 15) & ~15u, roundedHeight = (h + 15) & ~15u;
    if (roundedWidth == 0 || roundedHeight == 0 || roundedWidth > kMaxRoundedSize || roundedHeight > kMaxRoundedSize)
        return false;
    const bool exact = w >= 1 && h >= 1;
    width = exact ? w : roundedWidth;
    height = exact ? h : roundedHeight;
    return true;
}

}  // namespace

bool ReadVideoSize(const uint8_t* bytes, std::size_t length, uint32_t& width, uint32_t& height) {
    if (bytes == nullptr) return false;
    CBitReader bits(bytes, length);
    uint32_t code = 0, prefix = 0;
    if (NextStartCode(bits, code) && code == kSequenceStart) {
        if (!ReadVisualObject(bits)) return false;
    } else if (bits.PeekBits(27, prefix) && prefix == kVideoObjectPrefix27) {
        bits.SkipBits(32);
        if (!(bits.PeekBits(28, prefix) && prefix == kVideoLayerPrefix28) && !SeekVideoLayer(bits)) return false;
    } else if (bits.PeekBits(22, prefix) && prefix == kShortHeaderMarker22) {
        return ReadShortHeader(bits, width, height);
    } else if (!(bits.PeekBits(28, prefix) && prefix == kVideoLayerPrefix28)) {
        // A configuration that starts directly with its layer is read too.
        return false;
    }
    return ReadVideoLayer(bits, width, height);
}

}  // namespace talvex
