// Rebuilds MPEG-4 Part 2 pictures from an RFC 3016 stream, in which the
// elementary stream is carried as is. The configuration headers are kept as
// they arrive (or taken from the session description) and put in front of
// every I-VOP; after any loss nothing is delivered until the next I-VOP.
#pragma once

#include <vector>

#include "parsers/CMP4Parser.h"
#include "parsers/CRTPMediaParser.h"

namespace talvex {

class CMpeg4RTPMediaParser final : public CRTPMediaParser {
public:
    static constexpr uint32_t kFourCCKey = 0x58564944;    // "DIVX": an I-VOP whose size was read
    static constexpr uint32_t kFourCCOther = 0x49564944;  // "DIVI"

    CMpeg4RTPMediaParser(IDriver* driver, std::string sourceName);

    void ProcessPacket(const CRTPPacket& packet) override;
    void Reset() override;

    // The "config" bytes of the session description.
    void SetConfig(const std::vector<uint8_t>& config) { m_headers.SetConfig(config); }

    static bool ReadVideoSize(const uint8_t* bytes, std::size_t length, uint32_t& width, uint32_t& height);

    const CMP4Parser& Headers() const { return m_headers; }
    bool WaitingForKeyFrame() const { return m_waitForKeyFrame; }

private:
    // Where the picture data of a packet starts, after any configuration
    // headers at its front (which are stored).
    std::size_t TakeConfiguration(const uint8_t* payload, std::size_t length);
    // The end of the picture that holds payload[from]: the next picture's
    // start in the packet, or its end.
    static std::size_t NextPictureBoundary(const uint8_t* payload, std::size_t length, std::size_t from);
    // False when the parser was reset and the rest of the packet is dropped.
    bool ProcessSegment(const uint8_t* segment, std::size_t length, bool ended, uint32_t rtpTime);
    void StartPicture(const uint8_t* payload, std::size_t length, std::size_t offset);
    void DeliverPicture();

    bool m_waitForKeyFrame = true;
    bool m_keyFrame = false;
    CMP4Parser m_headers;
};

}  // namespace talvex
