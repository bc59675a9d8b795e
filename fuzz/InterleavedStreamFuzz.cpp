// An RTSP connection carrying interleaved frames, cut into chunks at points
// the input chooses: every delivered packet must be a whole parsed packet,
// and the same bytes fed at once must deliver the same packets.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "rtsp/CRTSPStreamParser.h"
#include "rtsp/IRTPReceiverUser.h"

namespace {

class CCountingUser : public talvex::IRTPReceiverUser {
public:
    void OnInterleavedPacket(const talvex::CRTPPacket& packet) override { Sequences.push_back(packet.SequenceNumber()); }
    void OnRtpPacket(const talvex::platform::SUdpAddress&, const talvex::CRTPPacket&) override {}
    void OnReceiveTimeout() override {}
    void OnSocketClosed() override {}
    void OnSdpParameters(const talvex::SdpCodecParameters&) override {}
    std::vector<uint16_t> Sequences;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t step = 1 + data[0] % 64;
    const uint8_t* stream = data + 1;
    const std::size_t length = size - 1;

    CCountingUser whole;
    talvex::CRTSPStreamParser wholeParser(&whole);
    wholeParser.Feed(stream, length);

    CCountingUser pieces;
    talvex::CRTSPStreamParser piecesParser(&pieces);
    for (std::size_t at = 0; at < length; at += step) {
        const std::vector<uint8_t> chunk(stream + at, stream + (at + step < length ? at + step : length));
        piecesParser.Feed(chunk);
    }
    if (whole.Sequences != pieces.Sequences)
        std::abort();
    return 0;
}
