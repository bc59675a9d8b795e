// HTTP Digest access authentication (RFC 7616 with MD5, and the older
// RFC 2069 form for servers that offer no qop), for transports that answer
// a camera's challenge themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace talvex {

struct SDigestChallenge {
    std::string realm;
    std::string nonce;
    std::string opaque;
    std::string algorithm;  // empty or "MD5" / "MD5-sess"
    bool qopAuth = false;   // the server offers qop "auth"
    bool stale = false;
};

// Parses the parameters of one "WWW-Authenticate: Digest ..." challenge (the
// text after the scheme word). Nothing without a nonce, or with an algorithm
// other than MD5 / MD5-sess, which this client cannot compute.
std::optional<SDigestChallenge> ParseDigestChallenge(const std::string& parameters);

// The value of an Authorization header answering the challenge for one
// request: "Digest username=..., response=...". nonceCount counts the uses of
// the nonce, starting at 1.
std::string BuildDigestAuthorization(const SDigestChallenge& challenge, const std::string& user,
                                     const std::string& password, const std::string& method,
                                     const std::string& uri, uint32_t nonceCount, const std::string& clientNonce);

}  // namespace talvex
