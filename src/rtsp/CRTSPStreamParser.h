// Finds RTP packets framed inside the RTSP connection ("$", channel, 16-bit
// length, packet) and hands those of channel 0 to the user. Frames of other
// channels (RTCP on channel 1) are skipped by their length, so bytes inside
// them never start a frame. Chunks may split a frame at any byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtsp/CRTPPacket.h"

namespace talvex {

class IRTPReceiverUser;

class CRTSPStreamParser {
public:
    explicit CRTSPStreamParser(IRTPReceiverUser* user);
    virtual ~CRTSPStreamParser() = default;
    CRTSPStreamParser(const CRTSPStreamParser&) = delete;
    CRTSPStreamParser& operator=(const CRTSPStreamParser&) = delete;

    void Feed(const std::vector<uint8_t>& chunk);
    void Feed(const uint8_t* bytes, std::size_t length);

private:
    void Reset();

    uint32_t MatchIndex = 0;  // 0 searching for "$", 1 expecting the channel byte
    uint32_t Remaining = 0;
    std::vector<uint8_t> LengthBytes;
    std::vector<uint8_t> PacketBytes;
    uint8_t FrameMarker = 0x24;
    uint8_t RtpChannel = 0;
    uint8_t Channel = 0;
    IRTPReceiverUser* User;
    CRTPPacket Packet;
};

}  // namespace talvex
