// The channel's face towards the RTP transport: packets from UDP or from the
// RTSP connection, quiet periods, socket loss and the session's codec
// parameters. Implemented by the RTP channels above this folder.
#pragma once

#include "platform/PlatformUdp.h"
#include "rtsp/CRTPPacket.h"
#include "rtsp/SdpCodecParameters.h"

namespace talvex {

class IRTPReceiverUser {
public:
    virtual ~IRTPReceiverUser() = default;
    // A packet that arrived interleaved on the RTSP connection.
    virtual void OnInterleavedPacket(const CRTPPacket& packet) = 0;
    // A packet received by UDP from senderAddress.
    virtual void OnRtpPacket(const platform::SUdpAddress& senderAddress, const CRTPPacket& packet) = 0;
    virtual void OnReceiveTimeout() = 0;
    virtual void OnSocketClosed() = 0;
    // Delivered once per session after DESCRIBE.
    virtual void OnSdpParameters(const SdpCodecParameters& parameters) = 0;
};

}  // namespace talvex
