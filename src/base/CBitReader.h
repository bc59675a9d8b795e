// Bounds-checked reading of a bit stream, most significant bit first, over a
// byte span that the reader does not own. A read that would run past the end
// fails, consumes nothing more, and marks the reader as overrun, so a caller
// can read a whole header and check once at the end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvex {

class CBitReader {
public:
    CBitReader(const uint8_t* data, std::size_t size) : m_data(data), m_sizeBits(data ? size * 8 : 0) {}

    // Up to 32 bits.
    bool ReadBits(unsigned count, uint32_t& value);
    bool ReadBit(uint32_t& value) { return ReadBits(1, value); }
    bool PeekBits(unsigned count, uint32_t& value) const;
    bool SkipBits(std::size_t count);
    // Exp-Golomb codes. More than 31 leading zeros cannot be a 32-bit value:
    // such a code fails rather than wrapping.
    bool ReadUe(uint32_t& value);
    bool ReadSe(int32_t& value);
    void AlignToByte();

    bool Overrun() const { return m_overrun; }
    std::size_t BitPosition() const { return m_posBits; }
    std::size_t RemainingBits() const { return m_sizeBits - m_posBits; }
    bool IsByteAligned() const { return (m_posBits & 7) == 0; }

private:
    bool Fail() {
        m_overrun = true;
        return false;
    }

    const uint8_t* m_data;
    std::size_t m_sizeBits;
    std::size_t m_posBits = 0;
    bool m_overrun = false;
};

}  // namespace talvex
