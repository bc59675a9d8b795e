#include "platform/PlatformTime.h"

#include <gtest/gtest.h>

namespace {

using namespace talvex::platform;

SYSTEMTIME Make(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s, uint16_t ms) {
    SYSTEMTIME t{};
    t.wYear = y;
    t.wMonth = mo;
    t.wDay = d;
    t.wHour = h;
    t.wMinute = mi;
    t.wSecond = s;
    t.wMilliseconds = ms;
    return t;
}

TEST(PlatformTimeTest, KnownDatesConvertBothWays) {
    struct SCase {
        SYSTEMTIME time;
        uint64_t fileTime;
        uint16_t dayOfWeek;
    };
    const SCase cases[] = {
        {Make(1601, 1, 1, 0, 0, 0, 0), 0, 1},
        {Make(1970, 1, 1, 0, 0, 0, 0), kFileTimeUnixEpoch, 4},
        {Make(2000, 2, 29, 12, 34, 56, 789), 125963012967890000ull, 2},
        {Make(2038, 1, 19, 3, 14, 8, 0), 137919572480000000ull, 2},
    };
    for (const auto& c : cases) {
        uint64_t fileTime = 1;
        ASSERT_TRUE(SystemTimeToFileTime(c.time, fileTime));
        EXPECT_EQ(fileTime, c.fileTime) << c.time.wYear;
        SYSTEMTIME back{};
        ASSERT_TRUE(FileTimeToSystemTime(c.fileTime, back));
        EXPECT_EQ(back.wYear, c.time.wYear);
        EXPECT_EQ(back.wMonth, c.time.wMonth);
        EXPECT_EQ(back.wDay, c.time.wDay);
        EXPECT_EQ(back.wHour, c.time.wHour);
        EXPECT_EQ(back.wMinute, c.time.wMinute);
        EXPECT_EQ(back.wSecond, c.time.wSecond);
        EXPECT_EQ(back.wMilliseconds, c.time.wMilliseconds);
        EXPECT_EQ(back.wDayOfWeek, c.dayOfWeek);
    }
}

TEST(PlatformTimeTest, InvalidRecordsAreRefused) {
    uint64_t fileTime = 0;
    EXPECT_FALSE(SystemTimeToFileTime(Make(1600, 12, 31, 0, 0, 0, 0), fileTime));
    EXPECT_FALSE(SystemTimeToFileTime(Make(2001, 2, 29, 0, 0, 0, 0), fileTime));
    EXPECT_FALSE(SystemTimeToFileTime(Make(2000, 13, 1, 0, 0, 0, 0), fileTime));
    EXPECT_FALSE(SystemTimeToFileTime(Make(2000, 1, 1, 24, 0, 0, 0), fileTime));
    EXPECT_FALSE(SystemTimeToFileTime(Make(2000, 1, 1, 0, 0, 0, 1000), fileTime));
    SYSTEMTIME time{};
    EXPECT_FALSE(FileTimeToSystemTime(0x8000000000000000ull, time));
}

TEST(PlatformTimeTest, NowIsAfterTheYear2020AndTicksMoveForward) {
    uint64_t year2020 = 0;
    ASSERT_TRUE(SystemTimeToFileTime(Make(2020, 1, 1, 0, 0, 0, 0), year2020));
    EXPECT_GT(FileTimeNow(), year2020);
    const uint32_t first = TickCountMs();
    const uint32_t second = TickCountMs();
    EXPECT_LT(static_cast<uint32_t>(second - first), 1000u);
}

}  // namespace
