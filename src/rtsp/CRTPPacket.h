// One RTP packet (RFC 3550) in parsed form: the fixed header fields in host
// order, the CSRC list, the header extension, and the payload without its
// padding. The arrays are owned copies, so a packet outlives the datagram it
// came from; parsing into the same object again reuses their storage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvex {

class CRTPPacket {
public:
    CRTPPacket() = default;
    virtual ~CRTPPacket() = default;
    CRTPPacket(const CRTPPacket&) = default;
    CRTPPacket& operator=(const CRTPPacket&) = default;
    CRTPPacket(CRTPPacket&&) noexcept = default;
    CRTPPacket& operator=(CRTPPacket&&) noexcept = default;

    // False for anything that is not a whole version 2 packet; the packet is
    // then left cleared.
    bool Parse(const uint8_t* bytes, std::size_t length);
    // Empties the arrays and zeroes every field.
    void Clear();

    uint8_t CsrcCount() const { return static_cast<uint8_t>(m_csrcList.size()); }
    // The CSRC words as received (network byte order).
    const std::vector<uint32_t>& CsrcList() const { return m_csrcList; }
    // As received (network byte order), not converted.
    uint32_t Ssrc() const { return m_ssrc; }
    uint8_t Marker() const { return m_marker; }
    uint8_t Padding() const { return m_padding; }
    uint8_t PayloadType() const { return m_payloadType; }
    uint16_t SequenceNumber() const { return m_sequenceNumber; }
    uint32_t Timestamp() const { return m_timestamp; }
    uint16_t ExtensionProfile() const { return m_extensionProfile; }
    // In 32-bit words.
    uint16_t ExtensionLength() const { return m_extensionLength; }
    const std::vector<uint8_t>& ExtensionData() const { return m_extensionData; }
    uint32_t PayloadLength() const { return static_cast<uint32_t>(m_payload.size()); }
    // Null when the payload is empty.
    const uint8_t* Payload() const { return m_payload.empty() ? nullptr : m_payload.data(); }

private:
    bool Fail();

    std::vector<uint32_t> m_csrcList;
    uint32_t m_ssrc = 0;
    uint8_t m_marker = 0;
    uint8_t m_padding = 0;
    uint8_t m_payloadType = 0;
    uint16_t m_sequenceNumber = 0;
    uint32_t m_timestamp = 0;
    uint16_t m_extensionProfile = 0;
    uint16_t m_extensionLength = 0;
    std::vector<uint8_t> m_extensionData;
    std::vector<uint8_t> m_payload;
};

}  // namespace talvex
