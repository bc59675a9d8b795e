#include "rtsp/CTimeStampConverter.h"

#include <gtest/gtest.h>

#include "platform/PlatformTime.h"

namespace {

using talvex::CTimeStampConverter;

constexpr uint64_t kMs = 10000;
constexpr uint64_t kStart = 133000000000000000ull;  // a file time in 2022
uint64_t g_now = kStart;
uint64_t FakeClock() { return g_now; }

struct SStep {
    uint64_t advanceMs;  // wall clock before the picture completes
    uint32_t rtpTime;
    int64_t expectedMsFromStart;
    uint16_t expectedAdjustments;
};

TEST(CTimeStampConverterTest, KeepsPictureTimesStrictlyIncreasingAndPaysBackAdjustments) {
    const SStep steps[] = {
        {0, 9000, 0, 0},      // the first picture takes the clock
        {40, 12600, 40, 0},   // a normal step
        {0, 12600, 41, 1},    // repeated RTP time: 1 ms later, owed once
        {0, 16200, 42, 2},    // a new RTP time within the same millisecond
        {1, 19800, 43, 3},    // the clock has not caught up yet
        {40, 23400, 80, 2},   // a real pause: 1 ms behind the clock while owing
        {40, 27000, 120, 1},
        {40, 30600, 160, 0},
        {40, 34200, 201, 0},  // paid back: the clock again
        {40, 34150, 202, 1},  // RTP time went backwards: a repeated time
    };
    g_now = kStart;
    CTimeStampConverter converter(&FakeClock);
    uint64_t previous = 0;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        g_now += steps[i].advanceMs * kMs;
        converter.Update(steps[i].rtpTime);
        EXPECT_EQ(static_cast<int64_t>(converter.FrameTime() - kStart), steps[i].expectedMsFromStart * int64_t{kMs})
            << "step " << i;
        EXPECT_EQ(converter.Adjustments(), steps[i].expectedAdjustments) << "step " << i;
        EXPECT_GT(converter.FrameTime(), previous) << "step " << i;
        previous = converter.FrameTime();
    }
}

TEST(CTimeStampConverterTest, IgnoresAZeroRtpTimeOrAnUnreadableClock) {
    g_now = kStart;
    CTimeStampConverter converter(&FakeClock);
    converter.Update(0);
    EXPECT_EQ(converter.FrameTime(), 0u);
    g_now = 0;
    converter.Update(3000);
    EXPECT_EQ(converter.FrameTime(), 0u);
}

TEST(CTimeStampConverterTest, GivesTheStampedTimeAsASystemTime) {
    g_now = talvex::platform::kFileTimeUnixEpoch + 10000ull * 1500;  // 1970-01-01 00:00:01.500
    CTimeStampConverter converter(&FakeClock);
    converter.Update(1);
    SYSTEMTIME time{};
    converter.GetFrameTime(time);
    EXPECT_EQ(time.wYear, 1970);
    EXPECT_EQ(time.wSecond, 1);
    EXPECT_EQ(time.wMilliseconds, 500);
    CTimeStampConverter fresh(&FakeClock);
    fresh.GetFrameTime(time);  // before any picture: the current time
    EXPECT_GE(time.wYear, 2020);
}

}  // namespace
