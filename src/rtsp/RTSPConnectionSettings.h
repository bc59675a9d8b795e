// What the channel tells the RTSP client about one session.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

struct RTSPConnectionSettings {
    uint16_t Port = 554;
    uint16_t ClientRtpPort = 0;
    uint16_t ClientRtcpPort = 0;
    std::string Host;
    std::string UserName;
    std::string Password;
    uint32_t ConnectTimeout = 5000;        // ms
    uint32_t ReceiveTimeout = 5000;        // ms
    uint32_t ReceiveBufferSize = 65536;    // bytes
    uint32_t SendTimeout = 1000;           // ms
    uint32_t KeepAliveInterval = 60;       // s, when the server gives no session time-out
    uint32_t AuthScheme = 0;               // 0 none, 1 Basic, 2 Digest
    std::string StreamPath;
    uint32_t MediaKind = 1;                // 1 video, 2 audio, 3 data
};

}  // namespace talvex
