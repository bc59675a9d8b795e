#include "parsers/SampleSizes.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(SampleSizesTest, SampleCapacitiesFollowTheSteps) {
    const std::pair<uint32_t, uint32_t> cases[] = {
        {0, 4096},         {4096, 4096},     {4097, 16384},   {5000, 16384},   {16384, 16384},
        {16385, 32768},    {20000, 32768},   {32769, 131072}, {131072, 131072}, {131073, 131073},
        {200000, 200000},
    };
    for (const auto& [frame, capacity] : cases) EXPECT_EQ(talvex::SampleBufferSize(frame), capacity) << frame;
}

TEST(SampleSizesTest, SizeClassesFollowWidthAndShape) {
    EXPECT_EQ(talvex::PictureSizeClass(176, 144), 1u);
    EXPECT_EQ(talvex::PictureSizeClass(352, 288), 2u);
    EXPECT_EQ(talvex::PictureSizeClass(704, 240), 3u);
    EXPECT_EQ(talvex::PictureSizeClass(704, 576), 4u);
    EXPECT_EQ(talvex::PictureSizeClass(1280, 720), 4u);
    EXPECT_EQ(talvex::PictureSizeClass(1023, 200), 3u);
    EXPECT_EQ(talvex::PictureSizeClass(1024, 200), 4u);
}

}  // namespace
