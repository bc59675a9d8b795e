#include "CFramePainter.h"

#include <algorithm>
#include <array>
#include <string>

namespace camsim {
namespace {

constexpr std::uint8_t kLight = 235;
constexpr std::uint8_t kDark = 16;

// Segments a to g of each decimal digit, bit 0 = a (top), clockwise, bit 6 = g (middle).
constexpr std::array<std::uint8_t, 10> kSegments = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                                    0x6D, 0x7D, 0x07, 0x7F, 0x6F};

}  // namespace

int CFramePainter::StripHeight(int height) {
    // A multiple of 8 rows, so that block-based encoders keep the cells crisp.
    return std::max(8, (height / 12) / 8 * 8);
}

void CFramePainter::FillRect(std::uint8_t* luma, int stride, int width, int height, int x, int y, int w,
                             int h, std::uint8_t value) {
    const int x0 = std::clamp(x, 0, width), x1 = std::clamp(x + w, 0, width);
    const int y0 = std::clamp(y, 0, height), y1 = std::clamp(y + h, 0, height);
    for (int row = y0; row < y1; ++row)
        std::fill(luma + row * stride + x0, luma + row * stride + x1, value);
}

void CFramePainter::DrawDigit(std::uint8_t* luma, int stride, int width, int height, int x, int y,
                              int digitHeight, int digit) {
    const int w = digitHeight / 2;
    const int t = std::max(2, digitHeight / 8);
    const int half = digitHeight / 2;
    const std::uint8_t segments = kSegments[static_cast<std::size_t>(digit)];
    FillRect(luma, stride, width, height, x - t, y - t, w + 3 * t, digitHeight + 3 * t, kDark);
    if (segments & 0x01) FillRect(luma, stride, width, height, x, y, w + t, t, kLight);                 // a
    if (segments & 0x02) FillRect(luma, stride, width, height, x + w, y, t, half + t, kLight);          // b
    if (segments & 0x04) FillRect(luma, stride, width, height, x + w, y + half, t, half + t, kLight);   // c
    if (segments & 0x08) FillRect(luma, stride, width, height, x, y + 2 * half, w + t, t, kLight);      // d
    if (segments & 0x10) FillRect(luma, stride, width, height, x, y + half, t, half + t, kLight);       // e
    if (segments & 0x20) FillRect(luma, stride, width, height, x, y, t, half + t, kLight);              // f
    if (segments & 0x40) FillRect(luma, stride, width, height, x, y + half, w + t, t, kLight);          // g
}

void CFramePainter::Paint(std::uint8_t* luma, int stride, int width, int height, std::uint64_t frameNumber) {
    const int strip = std::min(StripHeight(height), height);
    const int cell = width / kCodeBits;
    const auto code = static_cast<std::uint32_t>(frameNumber & ((1u << kCodeBits) - 1));
    for (int bit = 0; bit < kCodeBits; ++bit) {
        const bool set = (code >> (kCodeBits - 1 - bit)) & 1u;
        FillRect(luma, stride, width, height, bit * cell, 0, cell, strip, set ? kLight : kDark);
    }
    const int digitHeight = std::max(10, height / 8);
    const std::string digits = std::to_string(frameNumber);
    int x = digitHeight / 4 + 2;
    const int y = strip + digitHeight / 4 + 2;
    for (char c : digits) {
        DrawDigit(luma, stride, width, height, x, y, digitHeight, c - '0');
        x += digitHeight / 2 + digitHeight / 4 + 2;
    }
}

std::uint32_t CFramePainter::ReadCode(const std::uint8_t* luma, int stride, int width, int height) {
    const int strip = std::min(StripHeight(height), height);
    const int cell = width / kCodeBits;
    std::uint32_t code = 0;
    for (int bit = 0; bit < kCodeBits; ++bit) {
        const int cx = bit * cell + cell / 2;
        const int cy = strip / 2;
        const int value = luma[cy * stride + cx];
        code = (code << 1) | (value > (kLight + kDark) / 2 ? 1u : 0u);
    }
    return code;
}

}  // namespace camsim
