#include "parsers/Mpeg4VideoHeader.h"

#include <gtest/gtest.h>

#include "CBitWriter.h"

namespace {

using wftest::Bytes;
using wftest::CBitWriter;

struct SVol {
    uint32_t objectType = 1;
    bool controlParameters = false;
    bool vbv = false;
    uint32_t shape = 0;
    uint32_t resolution = 30000;
    bool fixedRate = true;
    uint32_t increment = 1001;
    uint32_t width = 352, height = 288;
    uint32_t marker = 1;  // the marker before the width
};

// Bits needed for vop_time_increment at a resolution.
unsigned IncrementBits(uint32_t resolution) {
    unsigned bits = 1;
    while (bits < 16 && (resolution - 1) >> bits) ++bits;
    return bits;
}

Bytes MakeVol(const SVol& v) {
    CBitWriter w;
    w.U(32, 0x00000120).U(1, 0).U(8, v.objectType).U(1, 1).U(4, 2).U(3, 1).U(4, 1);
    w.U(1, v.controlParameters);
    if (v.controlParameters) {
        w.U(2, 1).U(1, 1).U(1, v.vbv);
        if (v.vbv) w.U(15, 100).U(1, 1).U(15, 0).U(1, 1).U(15, 20).U(1, 1).U(3, 0).U(11, 5).U(1, 1).U(15, 0).U(1, 1);
    }
    w.U(2, v.shape).U(1, 1).U(16, v.resolution).U(1, 1).U(1, v.fixedRate);
    if (v.fixedRate) w.U(IncrementBits(v.resolution), v.increment);
    w.U(1, v.marker).U(13, v.width).U(1, 1).U(13, v.height).U(1, 1).U(1, 0);
    return w.Finish();
}

Bytes Concat(Bytes a, const Bytes& b) {
    for (uint8_t byte : b) a.push_back(byte);
    return a;
}

// Visual object sequence (with user data), visual object (with a video
// signal type) and video object start codes in front of a layer.
Bytes WithSequenceHeaders(const Bytes& vol) {
    Bytes head = {0, 0, 1, 0xB0, 0x03, 0, 0, 1, 0xB2, 'x', 'y', 0, 0, 1, 0xB5};
    CBitWriter w;
    w.U(1, 1).U(4, 2).U(3, 1).U(4, 1).U(1, 1).U(3, 5).U(1, 0).U(1, 1).U(8, 1).U(8, 1).U(8, 1);
    head = Concat(head, w.Aligned());
    return Concat(Concat(head, {0, 0, 1, 0x00}), vol);
}

Bytes ShortHeader(uint32_t sourceFormat) {
    CBitWriter w;
    w.U(22, 0x20).U(8, 7).U(1, 1).U(1, 0).U(3, 0).U(3, sourceFormat).U(8, 0);
    return w.Aligned();
}

TEST(Mpeg4VideoHeaderTest, ReadsTheSizeOfEachHeaderInTheTable) {
    struct SCase {
        const char* name;
        Bytes bytes;
        bool ok;
        uint32_t width, height;
    };
    const SCase cases[] = {
        {"layer 352x288", MakeVol({}), true, 352, 288},
        {"layer 350x286 keeps its exact size", MakeVol({1, false, false, 0, 30000, true, 1001, 350, 286}), true, 350, 286},
        {"a zero height is refused", MakeVol({1, false, false, 0, 30000, true, 1001, 350, 0}), false, 0, 0},
        {"resolution 2 takes a 1-bit increment", MakeVol({1, false, false, 0, 2, true, 1, 640, 480}), true, 640, 480},
        {"no fixed rate", MakeVol({1, false, false, 0, 25, false, 0, 640, 480}), true, 640, 480},
        {"control and VBV parameters", MakeVol({1, true, true, 0, 25, true, 1, 704, 576}), true, 704, 576},
        {"advanced simple object type", MakeVol({17, true, false, 0, 25, true, 1, 720, 576}), true, 720, 576},
        {"binary shape", MakeVol({1, false, false, 1, 25, true, 1, 720, 576}), false, 0, 0},
        {"missing marker", MakeVol({1, false, false, 0, 25, true, 1, 720, 576, 0}), false, 0, 0},
        {"the widest layer", MakeVol({1, false, false, 0, 25, true, 1, 8191, 576}), true, 8191, 576},
        {"sequence, object and layer", WithSequenceHeaders(MakeVol({})), true, 352, 288},
        {"video object then layer", Concat({0, 0, 1, 0x01}, MakeVol({})), true, 352, 288},
        {"short header CIF", ShortHeader(3), true, 352, 288},
        {"short header QCIF", ShortHeader(2), true, 176, 144},
        {"short header reserved format", ShortHeader(6), false, 0, 0},
        {"short header extended type", ShortHeader(7), false, 0, 0},
        {"a VOP is no header", {0, 0, 1, 0xB6, 0x10, 0x20}, false, 0, 0},
    };
    for (const auto& c : cases) {
        uint32_t width = 0, height = 0;
        EXPECT_EQ(talvex::ReadVideoSize(c.bytes.data(), c.bytes.size(), width, height), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(width, c.width) << c.name;
            EXPECT_EQ(height, c.height) << c.name;
        }
    }
}

TEST(Mpeg4VideoHeaderTest, FailsOnEveryCutOfTheHeaders) {
    const Bytes full = WithSequenceHeaders(MakeVol({1, true, true, 0, 30000, true, 1001, 352, 288}));
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(talvex::ReadVideoSize(full.data(), full.size(), width, height));
    // The height ends 3 bytes before the end (marker, interlaced and stop bits follow).
    for (std::size_t n = 0; n + 2 < full.size(); ++n) {
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(talvex::ReadVideoSize(prefix.data(), prefix.size(), width, height)) << n;
    }
}

}  // namespace
