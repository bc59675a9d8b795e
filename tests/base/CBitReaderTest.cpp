#include "base/CBitReader.h"

#include <gtest/gtest.h>

#include <vector>


namespace {

using talvex::CBitReader;

TEST(CBitReaderTest, ReadsExpGolombCodesAndFailsPastTheEnd) {
    struct SCase {
        const char* name;
        std::vector<uint8_t> bytes;
        bool ok;
        uint32_t value;
    };
    const SCase cases[] = {
        {"1 is 0", {0x80}, true, 0},
        {"010 is 1", {0x40}, true, 1},
        {"011 is 2", {0x60}, true, 2},
        {"00111 is 6", {0x38}, true, 6},
        {"31 zeros then 1 and 31 ones is the largest value",
         {0x00, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFE}, true, 0xFFFFFFFEu},
        {"32 zeros is a failed read, not an overflow", {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, false, 0},
        {"suffix cut by the end", {0x01}, false, 0},
        {"only zeros", {0x00, 0x00}, false, 0},
        {"empty", {}, false, 0},
    };
    for (const auto& c : cases) {
        CBitReader reader(c.bytes.data(), c.bytes.size());
        uint32_t value = 0;
        EXPECT_EQ(reader.ReadUe(value), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.name;
        }
        if (!c.ok) {
            EXPECT_EQ(reader.BitPosition(), 0u) << c.name;
        }
    }
}

TEST(CBitReaderTest, ReadsFieldsAcrossByteBoundariesAndSignedCodes) {
    const uint8_t bytes[] = {0xA5, 0x39, 0x40};  // 101 0 0101 0011 1 00101 000000
    CBitReader reader(bytes, sizeof bytes);
    uint32_t v = 0;
    ASSERT_TRUE(reader.ReadBits(3, v));
    EXPECT_EQ(v, 5u);
    ASSERT_TRUE(reader.ReadBits(9, v));
    EXPECT_EQ(v, 0x053u);
    int32_t s = 0;
    ASSERT_TRUE(reader.ReadSe(s));  // 1 -> ue 0
    EXPECT_EQ(s, 0);
    ASSERT_TRUE(reader.ReadSe(s));  // 00101 -> ue 4 -> -2
    EXPECT_EQ(s, -2);
    EXPECT_FALSE(reader.ReadBits(8, v));
    EXPECT_TRUE(reader.Overrun());
    reader.AlignToByte();
    EXPECT_EQ(reader.RemainingBits(), 0u);
}

}  // namespace
