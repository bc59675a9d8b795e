#pragma once

#include "CamSimTypes.h"

#include <cstdint>
#include <functional>
#include <string>

namespace camsim {

// Checks the Authorization header of a camera page request: Basic (RFC 7617) or Digest with
// MD5 (RFC 7616, qop "auth", and the older form without qop that simple clients send).
// Nonces carry their issue time and a keyed digest, so no nonce table is kept; a nonce older
// than kNonceLifetimeSec is answered with stale=true.
class CHttpAuthenticator {
public:
    static constexpr std::int64_t kNonceLifetimeSec = 300;

    enum class EVerdict { Allowed, Challenge, BadRequest };
    struct SResult {
        EVerdict verdict = EVerdict::Allowed;
        std::string challenge;  // WWW-Authenticate value when verdict is Challenge
    };

    using Clock = std::function<std::int64_t()>;  // seconds, any fixed origin

    CHttpAuthenticator(EAuthMode mode, std::string user, std::string password, std::string realm,
                       Clock clock = nullptr);

    // target is the request-URI exactly as it appeared on the request line.
    SResult Check(const std::string& method, const std::string& target,
                  const std::string& authorization) const;

    std::string Challenge(bool stale = false) const;
    EAuthMode Mode() const { return m_mode; }

private:
    SResult CheckBasic(const std::string& credentials) const;
    SResult CheckDigest(const std::string& method, const std::string& target,
                        const std::string& parameters) const;
    std::string MakeNonce(std::int64_t issuedSec) const;
    // 1: fresh, 0: ours but expired, -1: not ours.
    int NonceState(const std::string& nonce) const;
    SResult Refuse(bool stale = false) const { return {EVerdict::Challenge, Challenge(stale)}; }

    const EAuthMode m_mode;
    const std::string m_user;
    const std::string m_password;
    const std::string m_realm;
    const std::string m_secret;
    const std::string m_opaque;
    const Clock m_clock;
};

// MD5 of the text as 32 lowercase hexadecimal digits.
std::string Md5Hex(const std::string& text);

}  // namespace camsim
