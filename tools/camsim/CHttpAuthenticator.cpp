#include "CHttpAuthenticator.h"

#include <glib.h>

#include <chrono>
#include <map>
#include <memory>
#include <random>

namespace camsim {
namespace {

std::string RandomHex(std::size_t bytes) {
    std::random_device device;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes; ++i) {
        const unsigned value = device() & 0xFFu;
        text += kHex[value >> 4];
        text += kHex[value & 0xFu];
    }
    return text;
}

std::int64_t SteadySeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && ToLowerAscii(text.substr(0, prefix.size())) == prefix;
}

// Splits the parameter list of a Digest header (name=value or name="value", comma-separated,
// backslash escapes inside quotes). Nothing when the list is malformed.
std::optional<std::map<std::string, std::string>> ParseDigestParameters(const std::string& text) {
    std::map<std::string, std::string> params;
    std::size_t pos = 0;
    const auto skipSpace = [&] {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == ',')) ++pos;
    };
    skipSpace();
    while (pos < text.size()) {
        const std::size_t eq = text.find('=', pos);
        if (eq == std::string::npos) return std::nullopt;
        std::string name = ToLowerAscii(text.substr(pos, eq - pos));
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
        if (name.empty()) return std::nullopt;
        pos = eq + 1;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        std::string value;
        if (pos < text.size() && text[pos] == '"') {
            ++pos;
            bool closed = false;
            while (pos < text.size()) {
                const char c = text[pos++];
                if (c == '\\' && pos < text.size()) value += text[pos++];
                else if (c == '"') { closed = true; break; }
                else value += c;
            }
            if (!closed) return std::nullopt;
        } else {
            const std::size_t end = text.find(',', pos);
            value = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
            pos = end == std::string::npos ? text.size() : end;
        }
        params[name] = value;
        skipSpace();
    }
    return params;
}

}  // namespace

std::string Md5Hex(const std::string& text) {
    std::unique_ptr<gchar, decltype(&g_free)> digest(
        g_compute_checksum_for_data(G_CHECKSUM_MD5, reinterpret_cast<const guchar*>(text.data()), text.size()),
        &g_free);
    return digest ? std::string(digest.get()) : std::string();
}

CHttpAuthenticator::CHttpAuthenticator(EAuthMode mode, std::string user, std::string password,
                                       std::string realm, Clock clock)
    : m_mode(mode),
      m_user(std::move(user)),
      m_password(std::move(password)),
      m_realm(std::move(realm)),
      m_secret(RandomHex(16)),
      m_opaque(RandomHex(8)),
      m_clock(clock ? std::move(clock) : Clock(&SteadySeconds)) {}

std::string CHttpAuthenticator::Challenge(bool stale) const {
    if (m_mode == EAuthMode::Basic) return "Basic realm=\"" + m_realm + "\"";
    return "Digest realm=\"" + m_realm + "\", qop=\"auth\", nonce=\"" + MakeNonce(m_clock()) +
           "\", opaque=\"" + m_opaque + "\", algorithm=MD5" + (stale ? ", stale=true" : "");
}

CHttpAuthenticator::SResult CHttpAuthenticator::Check(const std::string& method, const std::string& target,
                                                      const std::string& authorization) const {
    if (m_mode == EAuthMode::None) return {};
    if (m_mode == EAuthMode::Basic && StartsWithNoCase(authorization, "basic "))
        return CheckBasic(authorization.substr(6));
    if (m_mode == EAuthMode::Digest && StartsWithNoCase(authorization, "digest "))
        return CheckDigest(method, target, authorization.substr(7));
    // No credentials, or credentials of the other scheme: ask for ours.
    return Refuse();
}

CHttpAuthenticator::SResult CHttpAuthenticator::CheckBasic(const std::string& credentials) const {
    gsize length = 0;
    std::unique_ptr<guchar, decltype(&g_free)> decoded(g_base64_decode(credentials.c_str(), &length), &g_free);
    const std::string text(reinterpret_cast<const char*>(decoded.get()), decoded ? length : 0);
    if (text != m_user + ":" + m_password) return Refuse();
    return {};
}

CHttpAuthenticator::SResult CHttpAuthenticator::CheckDigest(const std::string& method, const std::string& target,
                                                            const std::string& parameters) const {
    const auto params = ParseDigestParameters(parameters);
    if (!params) return {EVerdict::BadRequest, {}};
    const auto get = [&](const char* name) {
        const auto it = params->find(name);
        return it == params->end() ? std::string() : it->second;
    };
    const std::string username = get("username"), realm = get("realm"), nonce = get("nonce");
    const std::string uri = get("uri"), response = get("response"), qop = get("qop");
    if (username.empty() || nonce.empty() || uri.empty() || response.empty())
        return {EVerdict::BadRequest, {}};
    // The digest covers the uri parameter; one that names another resource is a replay.
    if (uri != target) return {EVerdict::BadRequest, {}};
    const std::string algorithm = ToLowerAscii(get("algorithm"));
    if (!algorithm.empty() && algorithm != "md5") return Refuse();
    if (username != m_user || realm != m_realm) return Refuse();
    if (params->count("opaque") && get("opaque") != m_opaque) return Refuse();
    const int nonceState = NonceState(nonce);
    if (nonceState < 0) return Refuse();

    const std::string ha1 = Md5Hex(m_user + ":" + m_realm + ":" + m_password);
    const std::string ha2 = Md5Hex(method + ":" + uri);
    std::string expected;
    if (qop.empty()) {
        expected = Md5Hex(ha1 + ":" + nonce + ":" + ha2);
    } else if (ToLowerAscii(qop) == "auth") {
        const std::string nc = get("nc"), cnonce = get("cnonce");
        if (nc.empty() || cnonce.empty()) return {EVerdict::BadRequest, {}};
        expected = Md5Hex(ha1 + ":" + nonce + ":" + nc + ":" + cnonce + ":" + qop + ":" + ha2);
    } else {
        return {EVerdict::BadRequest, {}};
    }
    if (ToLowerAscii(response) != expected) return Refuse();
    // Right password on an old nonce: tell the client to retry with a fresh one, not to re-prompt.
    if (nonceState == 0) return Refuse(/*stale=*/true);
    return {};
}

std::string CHttpAuthenticator::MakeNonce(std::int64_t issuedSec) const {
    const std::string issued = std::to_string(issuedSec);
    return issued + "-" + Md5Hex(issued + ":" + m_secret);
}

int CHttpAuthenticator::NonceState(const std::string& nonce) const {
    const auto dash = nonce.find('-');
    if (dash == std::string::npos) return -1;
    const auto issued = ParseInteger(std::string_view(nonce).substr(0, dash));
    if (!issued || MakeNonce(*issued) != nonce) return -1;
    const std::int64_t age = m_clock() - *issued;
    return (age >= 0 && age <= kNonceLifetimeSec) ? 1 : 0;
}

}  // namespace camsim
