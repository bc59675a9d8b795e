// Test helper: builds bit streams (H.264 SPS, MPEG-4 headers) field by field.
#pragma once

#include <cstdint>
#include <vector>

namespace wftest {

using Bytes = std::vector<uint8_t>;

// Writes bit-stream fields most significant bit first.
class CBitWriter {
public:
    CBitWriter& U(unsigned bits, uint32_t value) {
        for (unsigned i = bits; i-- > 0;) Bit((value >> i) & 1);
        return *this;
    }
    CBitWriter& Ue(uint32_t value) {
        const uint64_t code = uint64_t{value} + 1;
        unsigned length = 0;
        while ((code >> length) > 1) ++length;
        U(length, 0);
        for (unsigned i = length + 1; i-- > 0;) Bit(static_cast<unsigned>((code >> i) & 1));
        return *this;
    }
    CBitWriter& Se(int32_t value) { return Ue(value > 0 ? 2 * static_cast<uint32_t>(value) - 1 : 2 * static_cast<uint32_t>(-value)); }
    // Stop bit and zero fill.
    Bytes Finish() {
        Bit(1);
        return Aligned();
    }
    // Zero fill.
    Bytes Aligned() {
        while (m_bits % 8) Bit(0);
        return m_bytes;
    }

private:
    void Bit(unsigned bit) {
        if (m_bits % 8 == 0) m_bytes.push_back(0);
        if (bit) m_bytes.back() |= static_cast<uint8_t>(0x80 >> (m_bits % 8));
        ++m_bits;
    }
    Bytes m_bytes;
    std::size_t m_bits = 0;
};

}  // namespace wftest
