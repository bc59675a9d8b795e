#include "base/CBitReader.h"

namespace talvex {

bool CBitReader::PeekBits(unsigned count, uint32_t& value) const {
    if (count > 32 || RemainingBits() < count) return false;
    uint64_t bits = 0;
    std::size_t pos = m_posBits;
    for (unsigned left = count; left > 0;) {
        const unsigned bitInByte = static_cast<unsigned>(pos & 7);
        const unsigned take = (8 - bitInByte) < left ? (8 - bitInByte) : left;
        const unsigned byte = m_data[pos >> 3];
        const unsigned chunk = (byte >> (8 - bitInByte - take)) & ((1u << take) - 1);
        bits = bits << take | chunk;
        pos += take;
        left -= take;
    }
    value = static_cast<uint32_t>(bits);
    return true;
}

bool CBitReader::ReadBits(unsigned count, uint32_t& value) {
    if (!PeekBits(count, value)) return Fail();
    m_posBits += count;
    return true;
}

bool CBitReader::SkipBits(std::size_t count) {
    if (RemainingBits() < count) return Fail();
    m_posBits += count;
    return true;
}

bool CBitReader::ReadUe(uint32_t& value) {
    const std::size_t start = m_posBits;
    unsigned zeros = 0;
    uint32_t bit = 0;
    for (;;) {
        if (!ReadBit(bit)) {
            m_posBits = start;
            return false;
        }
        if (bit == 1) break;
        if (++zeros > 31) {
            m_posBits = start;
            return Fail();
        }
    }
    uint32_t suffix = 0;
    if (zeros > 0 && !ReadBits(zeros, suffix)) {
        m_posBits = start;
        return false;
    }
    // zeros <= 31, so (1 << zeros) - 1 + suffix fits in 32 bits.
    value = static_cast<uint32_t>((uint64_t{1} << zeros) - 1 + suffix);
    return true;
}

bool CBitReader::ReadSe(int32_t& value) {
    uint32_t code = 0;
    if (!ReadUe(code)) return false;
    const int64_t magnitude = (static_cast<int64_t>(code) + 1) / 2;
    value = static_cast<int32_t>((code & 1) ? magnitude : -magnitude);
    return true;
}

void CBitReader::AlignToByte() {
    const std::size_t aligned = (m_posBits + 7) & ~static_cast<std::size_t>(7);
    m_posBits = aligned <= m_sizeBits ? aligned : m_sizeBits;
}

}  // namespace talvex
