// The description of one request to a camera's web server, built per
// request and handed to Web::CHttpSender::Send.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Web {

// Bits of HttpRequest::Flags.
enum : int32_t {
    kRequestEscapeDisableQuery = 0x01,  // send the query exactly as given
    kRequestIgnoreCertErrors = 0x02,    // with Secure: accept any certificate
    kRequestNoRedirects = 0x04,         // answer 3xx to the caller
    kRequestNoWait = 0x08,              // leave the request open without waiting for the answer
};

struct HttpRequest {
    HttpRequest(std::string verb, std::string path);

    std::string Verb;
    std::string Path;  // object path with its query
    int32_t Secure = 0;  // 1: HTTPS
    // The scheme to use before the sender has learned one; see AuthSchemeKind.
    int32_t AuthScheme = 0;
    std::vector<uint8_t> Body;
    uint32_t TotalLength = 0;  // announced body length when larger than Body
    std::vector<std::string> Headers;  // complete header lines
    int32_t Flags = kRequestEscapeDisableQuery | kRequestNoRedirects;
};

// The transport's scheme bit for a request's AuthScheme value:
// 0 Basic, 1 NTLM, 2 Passport, 3 Digest, 4 (bit 2) Negotiate.
uint32_t AuthSchemeKind(int32_t authScheme);

}  // namespace Web
