#include "base/CByteReader.h"

#include <gtest/gtest.h>

namespace {

using talvex::CByteReader;

TEST(CByteReaderTest, RefusesEveryReadBeyondTheSpanAndKeepsItsPlace) {
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    CByteReader reader(bytes, sizeof bytes);
    uint32_t u32 = 0;
    uint16_t u16 = 0;
    ASSERT_TRUE(reader.ReadU16(u16));
    EXPECT_EQ(u16, 0x0102);
    EXPECT_FALSE(reader.ReadU32(u32));
    EXPECT_EQ(reader.Remaining(), 3u);
    ASSERT_TRUE(reader.ReadU24(u32));
    EXPECT_EQ(u32, 0x030405u);
    uint8_t u8 = 0;
    EXPECT_FALSE(reader.ReadU8(u8));
    EXPECT_FALSE(reader.Skip(1));
    EXPECT_EQ(reader.Current(), nullptr);
    CByteReader trimmed(bytes, sizeof bytes);
    EXPECT_FALSE(trimmed.TrimEnd(6));
    EXPECT_TRUE(trimmed.TrimEnd(5));
    EXPECT_EQ(trimmed.Remaining(), 0u);
}

}  // namespace
