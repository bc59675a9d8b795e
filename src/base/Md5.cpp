#include "base/Md5.h"

#include <algorithm>
#include <cstring>

namespace talvex {

namespace {

// Per-round left rotations and the sine-derived constants of RFC 1321 3.4.
constexpr uint32_t kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                  5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                  4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                  6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t RotateLeft(uint32_t value, uint32_t bits) { return (value << bits) | (value >> (32 - bits)); }

uint32_t ReadLe32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

}  // namespace

CMd5::CMd5() : m_state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void CMd5::Transform(const uint8_t* block) {
    uint32_t words[16];
    for (std::size_t i = 0; i < 16; ++i) words[i] = ReadLe32(block + 4 * i);

    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (uint32_t i = 0; i < 64; ++i) {
        uint32_t mixed = 0;
        uint32_t wordIndex = 0;
        if (i < 16) {
            mixed = (b & c) | (~b & d);
            wordIndex = i;
        } else if (i < 32) {
            mixed = (d & b) | (~d & c);
            wordIndex = (5 * i + 1) % 16;
        } else if (i < 48) {
            mixed = b ^ c ^ d;
            wordIndex = (3 * i + 5) % 16;
        } else {
            mixed = c ^ (b | ~d);
            wordIndex = (7 * i) % 16;
        }
        const uint32_t rotated = RotateLeft(a + mixed + kSines[i] + words[wordIndex], kShifts[i]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
}

void CMd5::Update(const uint8_t* data, std::size_t size) {
    m_totalBytes += size;
    while (size > 0) {
        const std::size_t take = std::min(size, m_block.size() - m_blockFill);
        std::memcpy(m_block.data() + m_blockFill, data, take);
        m_blockFill += take;
        data += take;
        size -= take;
        if (m_blockFill == m_block.size()) {
            Transform(m_block.data());
            m_blockFill = 0;
        }
    }
}

void CMd5::Update(std::string_view text) {
    Update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

Md5Digest CMd5::Finish() {
    // Padding: one 1 bit, zeros up to 56 bytes into a block, then the message
    // length in bits as a little-endian 64-bit number.
    const uint64_t totalBits = m_totalBytes * 8;
    static const uint8_t kPadding[64] = {0x80};
    const std::size_t padSize = m_blockFill < 56 ? 56 - m_blockFill : 120 - m_blockFill;
    Update(kPadding, padSize);
    uint8_t lengthBytes[8];
    for (std::size_t i = 0; i < 8; ++i) lengthBytes[i] = static_cast<uint8_t>(totalBits >> (8 * i));
    Update(lengthBytes, sizeof lengthBytes);

    Md5Digest digest{};
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(m_state[i] >> (8 * j));
    return digest;
}

std::string Md5Hex(std::string_view text) {
    CMd5 md5;
    md5.Update(text);
    const Md5Digest digest = md5.Finish();
    static const char kHexDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(32);
    for (uint8_t byte : digest) {
        hex.push_back(kHexDigits[byte >> 4]);
        hex.push_back(kHexDigits[byte & 0x0F]);
    }
    return hex;
}

}  // namespace talvex
