#include "parsers/H264Sps.h"

#include <gtest/gtest.h>

#include <vector>

#include "CBitWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;
using wftest::CBitWriter;

struct SSps {
    uint32_t profile = 66;
    uint32_t chromaFormat = 1;
    int scalingLists = -1;  // -1: no matrix; else how many lists are present (with deltas)
    uint32_t pocType = 0;
    uint32_t widthMbs = 120;
    uint32_t heightUnits = 68;
    uint32_t frameMbsOnly = 1;
    bool crop = false;
    uint32_t cropRight = 0, cropBottom = 0;
    int32_t firstDelta = 5;  // the first delta of each scaling list
};

Bytes MakeSps(const SSps& s) {
    CBitWriter w;
    w.U(8, 0x67).U(8, s.profile).U(8, 0).U(8, 40).Ue(0);
    if (s.profile >= 100 || s.profile == 44) {
        w.Ue(s.chromaFormat);
        if (s.chromaFormat == 3) w.U(1, 0);
        w.Ue(0).Ue(0).U(1, 0).U(1, s.scalingLists >= 0 ? 1 : 0);
        if (s.scalingLists >= 0) {
            const int lists = s.chromaFormat == 3 ? 12 : 8;
            for (int i = 0; i < lists; ++i) {
                const bool present = i < s.scalingLists;
                w.U(1, present);
                if (!present) continue;
                // Deltas that move the scale twice and then end the list early
                // (a scale of 0 repeats the last one for the rest of the list).
                const int32_t scale = ((8 + s.firstDelta - 3) % 256 + 256) % 256;
                w.Se(s.firstDelta).Se(-3).Se(scale > 128 ? 256 - scale : -scale);
            }
        }
    }
    w.Ue(0).Ue(s.pocType);
    if (s.pocType == 0) w.Ue(2);
    if (s.pocType == 1) w.U(1, 0).Se(-1).Se(2).Ue(3).Se(1).Se(-1).Se(0);
    w.Ue(1).U(1, 0).Ue(s.widthMbs - 1).Ue(s.heightUnits - 1).U(1, s.frameMbsOnly);
    if (!s.frameMbsOnly) w.U(1, 1);
    w.U(1, 1).U(1, s.crop ? 1 : 0);
    if (s.crop) w.Ue(0).Ue(s.cropRight).Ue(0).Ue(s.cropBottom);
    w.U(1, 0);  // no VUI
    Bytes nal = w.Finish();
    Bytes stream = {0, 0, 0, 1};
    stream.insert(stream.end(), nal.begin(), nal.end());
    return stream;
}

struct SCase {
    const char* name;
    SSps sps;
    bool ok;
    uint32_t width, height;
};

TEST(H264SpsTest, ReadsTheCroppedSizeOfEachSpsInTheTable) {
    const SCase cases[] = {
        {"baseline 1920x1088 cropped by 4 units of 2 lines", {66, 1, -1, 0, 120, 68, 1, true, 0, 4}, true, 1920, 1080},
        {"interlaced 1088 cropped by 2 units of 4 lines", {100, 1, -1, 0, 120, 34, 0, true, 0, 2}, true, 1920, 1080},
        {"interlaced without cropping", {77, 1, -1, 0, 120, 34, 0, false, 0, 0}, true, 1920, 1088},
        {"high with all eight scaling lists", {100, 1, 8, 0, 40, 30, 1, false, 0, 0}, true, 640, 480},
        {"4:4:4 with twelve scaling lists and 1-sample crop units", {244, 3, 12, 0, 11, 9, 1, true, 8, 0}, true, 168, 144},
        {"4:2:2 crops whole lines vertically", {122, 2, -1, 0, 45, 36, 1, true, 0, 16}, true, 720, 560},
        {"monochrome crops single samples", {100, 0, -1, 0, 45, 36, 1, true, 2, 16}, true, 718, 560},
        {"CAVLC 4:4:4 intra carries chroma information", {44, 3, -1, 0, 20, 15, 1, false, 0, 0}, true, 320, 240},
        {"picture order count type 1 with a cycle", {66, 1, -1, 1, 20, 15, 1, false, 0, 0}, true, 320, 240},
        {"picture order count type 2", {66, 1, -1, 2, 20, 15, 1, false, 0, 0}, true, 320, 240},
        {"cropping the whole picture away", {66, 1, -1, 0, 1, 1, 1, true, 0, 8}, false, 0, 0},
        {"the largest scaling delta", {100, 1, 8, 0, 40, 30, 1, false, 0, 0, 127}, true, 640, 480},
        {"the smallest scaling delta", {100, 1, 8, 0, 40, 30, 1, false, 0, 0, -128}, true, 640, 480},
        {"a scaling delta beyond a byte", {100, 1, 8, 0, 40, 30, 1, false, 0, 0, 128}, false, 0, 0},
        {"a scaling delta near the integer limit", {100, 1, 8, 0, 40, 30, 1, false, 0, 0, -2147483647}, false, 0, 0},
    };
    for (const auto& c : cases) {
        const Bytes stream = MakeSps(c.sps);
        uint32_t width = 0, height = 0;
        EXPECT_EQ(talvex::FindSpsSize(stream.data(), stream.size(), width, height), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(width, c.width) << c.name;
            EXPECT_EQ(height, c.height) << c.name;
        }
    }
}

TEST(H264SpsTest, FailsOnEveryCutOfAnSpsAndOnOverlongExpGolombCodes) {
    const Bytes full = MakeSps({100, 1, 8, 1, 120, 34, 0, true, 0, 2});
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(talvex::FindSpsSize(full.data(), full.size(), width, height));
    // No prefix reads past its end (each is a heap copy of exactly that size).
    for (std::size_t n = 0; n < full.size(); ++n) {
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        talvex::FindSpsSize(prefix.data(), prefix.size(), width, height);
    }
    const Bytes cut(full.begin(), full.end() - 3);
    EXPECT_FALSE(talvex::FindSpsSize(cut.data(), cut.size(), width, height));
    // seq_parameter_set_id with 32 leading zeros.
    const Bytes overlong = {0, 0, 1, 0x67, 66, 0, 40, 0, 0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(talvex::FindSpsSize(overlong.data(), overlong.size(), width, height));
}

TEST(H264SpsTest, LooksOnlyInTheFirst64BytesAndSkipsEmulationPrevention) {
    Bytes sps = MakeSps({66, 1, -1, 0, 120, 68, 1, true, 0, 4});
    uint32_t width = 0, height = 0;
    Bytes late(64, 0xAA);
    late.insert(late.end(), sps.begin() + 1, sps.end());  // start code at 64
    EXPECT_FALSE(talvex::FindSpsSize(late.data(), late.size(), width, height));
    Bytes early(63, 0xAA);
    early.insert(early.end(), sps.begin() + 1, sps.end());  // start code at 63
    EXPECT_TRUE(talvex::FindSpsSize(early.data(), early.size(), width, height));
    // level_idc 0 and an id of 0 give 00 00 in the body: an escaped SPS reads the same.
    const Bytes plain = {0, 0, 1, 0x67, 66, 0, 0, 0xF4, 0x01, 0x40, 0x5F, 0x11};
    Bytes escaped = {0, 0, 1, 0x67, 66, 0, 0, 3, 0xF4, 0x01, 0x40, 0x5F, 0x11};
    uint32_t w1 = 0, h1 = 0, w2 = 0, h2 = 0;
    const bool a = talvex::FindSpsSize(plain.data(), plain.size(), w1, h1);
    const bool b = talvex::FindSpsSize(escaped.data(), escaped.size(), w2, h2);
    EXPECT_EQ(a, b);
    EXPECT_EQ(w1, w2);
    EXPECT_EQ(h1, h2);
}

}  // namespace
