#include "base/CByteReader.h"

namespace talvex {

bool CByteReader::PeekU8(uint8_t& value) const {
    if (Remaining() < 1) return false;
    value = m_data[m_pos];
    return true;
}

bool CByteReader::ReadU8(uint8_t& value) {
    if (!PeekU8(value)) return false;
    ++m_pos;
    return true;
}

bool CByteReader::ReadU16(uint16_t& value) {
    if (Remaining() < 2) return false;
    value = static_cast<uint16_t>(m_data[m_pos] << 8 | m_data[m_pos + 1]);
    m_pos += 2;
    return true;
}

bool CByteReader::ReadU24(uint32_t& value) {
    if (Remaining() < 3) return false;
    value = static_cast<uint32_t>(m_data[m_pos]) << 16 | static_cast<uint32_t>(m_data[m_pos + 1]) << 8 |
            m_data[m_pos + 2];
    m_pos += 3;
    return true;
}

bool CByteReader::ReadU32(uint32_t& value) {
    if (Remaining() < 4) return false;
    value = static_cast<uint32_t>(m_data[m_pos]) << 24 | static_cast<uint32_t>(m_data[m_pos + 1]) << 16 |
            static_cast<uint32_t>(m_data[m_pos + 2]) << 8 | m_data[m_pos + 3];
    m_pos += 4;
    return true;
}

bool CByteReader::Skip(std::size_t count) {
    if (Remaining() < count) return false;
    m_pos += count;
    return true;
}

bool CByteReader::ReadSpan(std::size_t count, const uint8_t*& span) {
    if (Remaining() < count) return false;
    span = count == 0 ? nullptr : m_data + m_pos;
    m_pos += count;
    return true;
}

bool CByteReader::ReadReader(std::size_t count, CByteReader& part) {
    const uint8_t* span = nullptr;
    if (!ReadSpan(count, span)) return false;
    part = CByteReader(span, count);
    return true;
}

bool CByteReader::TrimEnd(std::size_t count) {
    if (Remaining() < count) return false;
    m_size -= count;
    return true;
}

}  // namespace talvex
