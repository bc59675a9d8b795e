// Rebuilds H.264 access units (Annex B byte stream) from RFC 6184 payloads:
// single NAL unit packets, STAP-A and FU-A. Each picture ends with an access
// unit delimiter; the parameter sets of the session description go in front
// of an IDR picture that does not carry its own; after any loss nothing is
// delivered until a picture with a readable SPS.
#pragma once

#include <vector>

#include "parsers/CRTPMediaParser.h"

namespace talvex {

class CH264RTPMediaParser final : public CRTPMediaParser {
public:
    static constexpr uint32_t kFourCCKey = 0x34363248;    // "H264": the picture carries an SPS
    static constexpr uint32_t kFourCCOther = 0x34363249;  // "I264"

    CH264RTPMediaParser(IDriver* driver, std::string sourceName);

    void ProcessPacket(const CRTPPacket& packet) override;
    void Reset() override;

    // The parameter sets of the session description (NAL units without start
    // codes); ignored unless both are given.
    void SetParameterSets(const std::vector<uint8_t>& sps, const std::vector<uint8_t>& pps);

    static bool FindSpsSize(const uint8_t* buffer, std::size_t size, uint32_t& width, uint32_t& height);

    bool WaitingForKeyFrame() const { return m_waitForKeyFrame; }

private:
    bool AppendPayload(const uint8_t* payload, std::size_t length);
    bool AppendSingle(const uint8_t* payload, std::size_t length);
    bool AppendAggregate(const uint8_t* payload, std::size_t length);
    bool AppendFragment(const uint8_t* payload, std::size_t length);
    // One whole NAL unit (header byte first) behind a start code.
    void AppendNal(const uint8_t* nal, std::size_t length);
    void NoteNalType(uint8_t type, const uint8_t* body, std::size_t bodyLength);
    void InsertParameterSets();
    void DeliverPicture();
    void StartPicture();

    bool m_waitForKeyFrame = true;
    std::vector<uint8_t> m_sps;
    std::vector<uint8_t> m_pps;
    // The picture being assembled.
    bool m_hasSps = false;
    bool m_hasPps = false;
    bool m_hasIdr = false;
    bool m_fragmentOpen = false;  // an FU-A unit has started and not ended
    bool m_sliceSeen = false;
    bool m_startsAtFirstSlice = false;  // the first slice collected is the picture's first
};

}  // namespace talvex
