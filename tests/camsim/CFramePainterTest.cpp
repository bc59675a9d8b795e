#include "CFramePainter.h"

#include <gtest/gtest.h>

#include <vector>

namespace camsim {
namespace {

TEST(CFramePainterTest, CodeStripReadsBackTheCounterModuloItsRange) {
    for (const auto& [width, height] : {std::pair{160, 120}, std::pair{640, 480}, std::pair{1280, 720}}) {
        std::vector<std::uint8_t> luma(static_cast<std::size_t>(width * height), 128);
        for (const std::uint64_t counter : {0ull, 1ull, 12345ull, 65535ull, 65536ull + 7}) {
            CFramePainter::Paint(luma.data(), width, width, height, counter);
            EXPECT_EQ(CFramePainter::ReadCode(luma.data(), width, width, height), counter & 0xFFFF)
                << width << "x" << height << " counter " << counter;
        }
    }
}

TEST(CFramePainterTest, StaysInsideTheSmallestPicture) {
    const int width = 16, height = 16, stride = 24;
    std::vector<std::uint8_t> luma(static_cast<std::size_t>(stride * height + 8), 7);
    CFramePainter::Paint(luma.data(), stride, width, height, 987654321);
    for (int row = 0; row < height; ++row)
        for (int x = width; x < stride; ++x) EXPECT_EQ(luma[static_cast<std::size_t>(row * stride + x)], 7);
    EXPECT_EQ(luma.back(), 7);
}

}  // namespace
}  // namespace camsim
