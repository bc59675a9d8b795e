#pragma once

#include <cstdint>

namespace camsim {

// Stamps the frame counter into the luma plane of a picture, in two forms:
// - a code strip across the top: kCodeBits cells of equal width (width / kCodeBits pixels),
//   StripHeight(height) rows high, most significant bit on the left, light (luma 235) for 1
//   and dark (luma 16) for 0, holding the counter modulo 2^kCodeBits. A decoder reads it back
//   by averaging the centre of each cell, so tests can check picture order and loss;
// - the decimal counter in seven-segment digits below the strip, for people watching.
class CFramePainter {
public:
    static constexpr int kCodeBits = 16;

    static int StripHeight(int height);
    static void Paint(std::uint8_t* luma, int stride, int width, int height, std::uint64_t frameNumber);
    // Reads the code strip back (for tests); luma of a decoded picture.
    static std::uint32_t ReadCode(const std::uint8_t* luma, int stride, int width, int height);

private:
    static void FillRect(std::uint8_t* luma, int stride, int width, int height, int x, int y, int w,
                         int h, std::uint8_t value);
    static void DrawDigit(std::uint8_t* luma, int stride, int width, int height, int x, int y,
                          int digitHeight, int digit);
};

}  // namespace camsim
