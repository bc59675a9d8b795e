#include "rtsp/CRTPPacket.h"

#include <cstring>

#include "base/CByteReader.h"

namespace talvex {

namespace {

//  0                   1                   2                   3
//  0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1
// |V=2|P|X|  CC   |M|     PT      |       sequence number         |
// |                           timestamp                           |
// |                             SSRC                              |
// |                  CSRC list (CC words) ...                     |
// | extension profile             |  extension length (words)     |
// |                  extension data ...                           |
// |                  payload ... | padding ... | padding count    |
constexpr std::size_t kFixedHeaderBytes = 12;
constexpr uint8_t kVersionMask = 0xC0;
constexpr uint8_t kVersion2 = 0x80;
constexpr uint8_t kPaddingBit = 0x20;
constexpr uint8_t kExtensionBit = 0x10;
constexpr uint8_t kCsrcCountMask = 0x0F;

}  // namespace

void CRTPPacket::Clear() {
    m_csrcList.clear();
    m_ssrc = 0;
    m_marker = 0;
    m_padding = 0;
    m_payloadType = 0;
    m_sequenceNumber = 0;
    m_timestamp = 0;
    m_extensionProfile = 0;
    m_extensionLength = 0;
    m_extensionData.clear();
    m_payload.clear();
}

bool CRTPPacket::Parse(const uint8_t* bytes, std::size_t length) {
    Clear();
    // Even an empty payload needs more than the fixed header.
    if (bytes == nullptr || length <= kFixedHeaderBytes) return false;
    CByteReader reader(bytes, length);
    uint8_t first = 0, second = 0;
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    const uint8_t* ssrc = nullptr;
    if (!reader.ReadU8(first) || !reader.ReadU8(second) || !reader.ReadU16(sequence) ||
        !reader.ReadU32(timestamp) || !reader.ReadSpan(4, ssrc))
        return false;
    if ((first & kVersionMask) != kVersion2) return false;

    const std::size_t csrcCount = first & kCsrcCountMask;
    if (csrcCount > 0) {
        // The list must leave at least one byte behind it.
        if (4 * csrcCount >= reader.Remaining()) return false;
        m_csrcList.resize(csrcCount);
        for (uint32_t& csrc : m_csrcList) {
            const uint8_t* word = nullptr;
            reader.ReadSpan(4, word);
            std::memcpy(&csrc, word, 4);
        }
    }
    if (first & kExtensionBit) {
        uint16_t profile = 0, words = 0;
        if (!reader.ReadU16(profile) || !reader.ReadU16(words)) return Fail();
        const uint8_t* data = nullptr;
        if (!reader.ReadSpan(std::size_t{4} * words, data)) return Fail();
        m_extensionProfile = profile;
        m_extensionLength = words;
        if (words > 0) m_extensionData.assign(data, data + std::size_t{4} * words);
    }
    if (first & kPaddingBit) {
        // The last byte counts the padding, itself included.
        if (!reader.TrimEnd(bytes[length - 1])) return Fail();
    }
    std::memcpy(&m_ssrc, ssrc, 4);
    m_padding = (first & kPaddingBit) ? 1 : 0;
    m_marker = second >> 7;
    m_payloadType = second & 0x7F;
    m_sequenceNumber = sequence;
    m_timestamp = timestamp;
    if (reader.Remaining() > 0) m_payload.assign(reader.Current(), reader.Current() + reader.Remaining());
    return true;
}

bool CRTPPacket::Fail() {
    Clear();
    return false;
}

}  // namespace talvex
