// Rebuilds JPEG pictures from RFC 2435 payloads. The camera sends only the
// entropy-coded scan data behind a small header; the whole JPEG header
// (quantization tables, frame header, the standard Huffman tables, restart
// interval, scan header) is written here in front of it.
#pragma once

#include <array>
#include <vector>

#include "parsers/CRTPMediaParser.h"

namespace talvex {

class CJpegRTPMediaParser final : public CRTPMediaParser {
public:
    static constexpr uint32_t kFourCC = 0x4745504A;  // "JPEG"
    // Room asked of the host beyond the scan data, for the header.
    static constexpr uint32_t kHeaderArea = 1024;

    CJpegRTPMediaParser(IDriver* driver, std::string sourceName);

    void ProcessPacket(const CRTPPacket& packet) override;
    void Reset() override;

    // The 64 + 64 quantization values (zig-zag order) a receiver derives
    // from Q < 128: luminance, then chrominance.
    static std::array<uint8_t, 128> MakeTables(uint32_t q);

private:
    struct SPicture {
        uint8_t type = 0;
        uint8_t q = 0;
        uint32_t width = 0;
        uint32_t height = 0;
        uint16_t restartInterval = 0;
        bool tablesInBand = false;
        uint8_t tableCount = 2;
        std::array<uint8_t, 128> tables{};
    };

    bool AppendFragment(const uint8_t* payload, std::size_t length);
    bool ReadTables(class CByteReader& reader);
    // The header for the current picture; 0 when none can be written.
    std::size_t BuildHeader(uint8_t* out, std::size_t capacity) const;
    void DeliverJpeg();

    bool m_waitForFirstFragment = true;
    SPicture m_picture;
    // Tables of a Q from 128 to 254, which a camera may send only once.
    int m_cachedQ = -1;
    SPicture m_cachedTables;
};

}  // namespace talvex
