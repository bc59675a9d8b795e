// HTTP Digest access authentication (RFC 7616 with MD5, and the older
// RFC 2069 form for servers that offer no qop), for transports that answer
// a camera's challenge themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace talvex {

struct SDigestChallenge {
    std::string realm;
    std::string nonce;
    std::string opaque;
    std::string algorithm;  // empty, "MD5" or "MD5-sess" (whatever the device's spelling)
    bool qopAuth = false;   // the server offers qop "auth"
    bool stale = false;
};

// The longest challenge value (realm, nonce, opaque, ...) this client takes.
// Real cameras send a few dozen bytes; every value goes back in each later
// request, so a device must not be able to inflate them.
inline constexpr std::size_t kMaxDigestValueBytes = 1024;

// Why a challenge was not taken.
enum class EDigestRefusal {
    None,
    Malformed,         // a quoted value that never closes
    NoNonce,           // no nonce, or an empty one
    UnknownAlgorithm,  // not MD5 or MD5-sess, all this client computes
    ControlCharacter,  // a byte below 0x20 other than a tab, or 0x7F
    OverlongValue,     // a value longer than kMaxDigestValueBytes
};

// The reason in words for a log line ("a control character").
const char* DigestRefusalText(EDigestRefusal refusal);

// True when the text holds a byte that may not stand in a header line: a
// device could otherwise end the driver's next header line early.
bool HasControlCharacter(const std::string& text);

// Parses the parameters of one "WWW-Authenticate: Digest ..." challenge (the
// text after the scheme word). Nothing when refused; refusal, when given,
// then says why.
std::optional<SDigestChallenge> ParseDigestChallenge(const std::string& parameters,
                                                     EDigestRefusal* refusal = nullptr);

// value as the inside of a quoted string: a backslash before every double
// quote and backslash (RFC 7616 section 3.4, the quoted-string of RFC 7230).
std::string QuoteDigestValue(const std::string& value);

// The value of an Authorization header answering the challenge for one
// request: "Digest username=..., response=...". nonceCount counts the uses of
// the nonce, starting at 1.
std::string BuildDigestAuthorization(const SDigestChallenge& challenge, const std::string& user,
                                     const std::string& password, const std::string& method,
                                     const std::string& uri, uint32_t nonceCount, const std::string& clientNonce);

}  // namespace talvex
