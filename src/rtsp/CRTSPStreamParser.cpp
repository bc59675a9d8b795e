#include "rtsp/CRTSPStreamParser.h"

#include <algorithm>

#include "rtsp/IRTPReceiverUser.h"

namespace talvex {

namespace {
constexpr uint8_t kMaxChannel = 31;
}  // namespace

CRTSPStreamParser::CRTSPStreamParser(IRTPReceiverUser* user) : User(user) {
    LengthBytes.reserve(2);
}

void CRTSPStreamParser::Reset() {
    MatchIndex = 0;
    Remaining = 0;
    Channel = 0;
    LengthBytes.clear();
    PacketBytes.clear();
}

void CRTSPStreamParser::Feed(const std::vector<uint8_t>& chunk) {
    Feed(chunk.data(), chunk.size());
}

void CRTSPStreamParser::Feed(const uint8_t* bytes, std::size_t length) {
    std::size_t i = 0;
    while (i < length) {
        if (MatchIndex == 0) {
            if (bytes[i++] == FrameMarker)
                MatchIndex = 1;
            continue;
        }
        if (MatchIndex == 1) {
            // Sessions use a handful of low channel numbers; any other byte
            // after "$" means the "$" was not a frame start, and that byte is
            // looked at again from the start.
            if (bytes[i] > kMaxChannel) {
                MatchIndex = 0;
                continue;
            }
            Channel = bytes[i++];
            MatchIndex = 2;
            continue;
        }
        if (LengthBytes.size() < 2) {
            LengthBytes.push_back(bytes[i++]);
            if (LengthBytes.size() == 2) {
                Remaining = static_cast<uint32_t>(LengthBytes[0]) << 8 | LengthBytes[1];
                if (Remaining == 0)
                    Reset();
            }
            continue;
        }
        const std::size_t take = std::min<std::size_t>(Remaining, length - i);
        if (Channel == RtpChannel)
            PacketBytes.insert(PacketBytes.end(), bytes + i, bytes + i + take);
        i += take;
        Remaining -= static_cast<uint32_t>(take);
        if (Remaining == 0) {
            if (Channel == RtpChannel && User != nullptr && Packet.Parse(PacketBytes.data(), PacketBytes.size()))
                User->OnInterleavedPacket(Packet);
            Reset();
        }
    }
}

}  // namespace talvex
