// Reads one RTSP response (status line, headers and, for DESCRIBE, the SDP
// body) into a record of session facts. The record lives for the client's
// life and is cleared only when a session starts: a value a response does not
// mention keeps what an earlier response of the session gave it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "rtsp/SdpCodecParameters.h"

namespace talvex {

// Method codes of the RTSP client; only DESCRIBE makes the body be read as SDP.
enum ERTSPMethod : uint32_t {
    RTSP_DESCRIBE = 1,
    RTSP_SETUP = 2,
    RTSP_PLAY = 3,
    RTSP_TEARDOWN = 4,
    RTSP_OPTIONS = 5,
    RTSP_PAUSE = 6,
};

// Authentication schemes, numbered as the client's own scheme setting.
enum ERTSPAuthScheme : uint32_t { RTSP_AUTH_NONE = 0, RTSP_AUTH_BASIC = 1, RTSP_AUTH_DIGEST = 2 };

// The longest response head (status line and headers, up to and including
// the empty line) the client reads; a longer head fails the request.
inline constexpr std::size_t kMaxRTSPHeadBytes = 16 * 1024;
// The largest body (a session description) accepted; a larger announced
// Content-Length fails the response.
inline constexpr uint32_t kMaxRTSPBodyBytes = 64 * 1024;
// Capacity of the buffer each parameter set is decoded into.
inline constexpr std::size_t kMaxParameterSetBytes = 256;

class CRTSPResponseParser {
public:
    CRTSPResponseParser() = default;
    virtual ~CRTSPResponseParser() = default;

    // Parses one complete response into the record. method is an ERTSPMethod.
    // A failure returns at once; fields written before it keep their values.
    bool Parse(const std::string& response, uint32_t method);
    void Reset();

    // Lenient base64: characters outside the alphabet are skipped, decoding
    // stops at a NUL or after length characters. *size is the capacity on
    // entry and the total decoded length on return; false when that exceeds
    // the capacity (only capacity bytes are written) or an argument is null.
    static bool DecodeBase64(const char* text, std::size_t length, uint8_t* output, std::size_t* size);

    std::string Version;
    uint32_t StatusCode = 0;
    uint32_t CSeq = 0;
    std::string ContentBase;
    std::string ContentType;
    uint32_t ContentLength = 0;
    std::string SessionId;
    uint32_t SessionTimeout = 0;
    std::string VideoControl;
    std::string VideoTransport;
    std::string AudioControl;
    std::string AudioTransport;
    std::string DataControl;
    std::string DataTransport;
    uint32_t AuthScheme = RTSP_AUTH_NONE;
    std::string Realm;
    std::string Nonce;
    SdpCodecParameters CodecParameters;
    // The parameter text of the last WWW-Authenticate header (after the
    // scheme word): the Digest answer needs its qop, opaque and algorithm.
    std::string AuthParameters;

private:
    bool ReadHeader(const std::string& line);
    bool ReadCSeq(const std::string& lower);
    bool ReadContentBase(const std::string& line);
    bool ReadContentType(const std::string& lower);
    bool ReadContentLength(const std::string& lower);
    bool ReadSession(const std::string& line);
    bool ReadWwwAuthenticate(const std::string& line);
    bool ParseSdp(const std::string& body);
    bool ParseFmtp(const std::string& line);
};

}  // namespace talvex
