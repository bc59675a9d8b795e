// Bounds-checked reading of a byte span that the reader does not own. Every
// read either succeeds completely or fails and leaves the cursor unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvex {

class CByteReader {
public:
    CByteReader() = default;
    CByteReader(const uint8_t* data, std::size_t size) : m_data(size == 0 ? nullptr : data), m_size(data ? size : 0) {}

    std::size_t Remaining() const { return m_size - m_pos; }
    std::size_t Position() const { return m_pos; }
    std::size_t Size() const { return m_size; }
    // The unread bytes; null when none remain.
    const uint8_t* Current() const { return Remaining() == 0 ? nullptr : m_data + m_pos; }

    bool PeekU8(uint8_t& value) const;
    bool ReadU8(uint8_t& value);
    bool ReadU16(uint16_t& value);  // big-endian
    bool ReadU24(uint32_t& value);  // big-endian
    bool ReadU32(uint32_t& value);  // big-endian
    bool Skip(std::size_t count);
    // A view of the next count bytes, consumed.
    bool ReadSpan(std::size_t count, const uint8_t*& span);
    // The first count bytes of what remains, as a reader of their own.
    bool ReadReader(std::size_t count, CByteReader& part);
    // Drops count bytes from the end (RTP padding).
    bool TrimEnd(std::size_t count);

private:
    const uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
};

}  // namespace talvex
