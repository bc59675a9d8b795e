#include "base/DigestAuthorization.h"

#include "base/FormatString.h"
#include "base/Md5.h"
#include "base/TextUtils.h"

namespace talvex {

namespace {

// Reads one name=value or name="value" pair at pos; quoted values may carry
// backslash escapes. False at the end of the text or on a malformed pair.
bool ReadParameter(const std::string& text, std::size_t& pos, std::string& name, std::string& value) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == ',')) ++pos;
    const std::size_t equals = text.find('=', pos);
    if (pos >= text.size() || equals == std::string::npos) return false;
    name = HUtils::ToLower(HUtils::Trim(text.substr(pos, equals - pos)));
    pos = equals + 1;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    value.clear();
    if (pos < text.size() && text[pos] == '"') {
        for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
            if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
            value.push_back(text[pos]);
        }
        if (pos >= text.size()) return false;  // unterminated quote
        ++pos;
    } else {
        const std::size_t comma = text.find(',', pos);
        const std::size_t stop = comma == std::string::npos ? text.size() : comma;
        value = HUtils::Trim(text.substr(pos, stop - pos));
        pos = stop;
    }
    return true;
}

bool ListContainsToken(const std::string& list, const std::string& token) {
    for (const std::string& piece : HUtils::SplitString(list, ','))
        if (HUtils::ToLower(HUtils::Trim(piece)) == token) return true;
    return false;
}

}  // namespace

std::optional<SDigestChallenge> ParseDigestChallenge(const std::string& parameters) {
    SDigestChallenge challenge;
    std::size_t pos = 0;
    std::string name;
    std::string value;
    while (ReadParameter(parameters, pos, name, value)) {
        if (name == "realm") challenge.realm = value;
        else if (name == "nonce") challenge.nonce = value;
        else if (name == "opaque") challenge.opaque = value;
        else if (name == "algorithm") challenge.algorithm = value;
        else if (name == "qop") challenge.qopAuth = ListContainsToken(value, "auth");
        else if (name == "stale") challenge.stale = HUtils::ToLower(value) == "true";
    }
    const std::string algorithm = HUtils::ToLower(challenge.algorithm);
    if (challenge.nonce.empty() || !(algorithm.empty() || algorithm == "md5" || algorithm == "md5-sess"))
        return std::nullopt;
    return challenge;
}

std::string BuildDigestAuthorization(const SDigestChallenge& challenge, const std::string& user,
                                     const std::string& password, const std::string& method,
                                     const std::string& uri, uint32_t nonceCount, const std::string& clientNonce) {
    const bool session = HUtils::ToLower(challenge.algorithm) == "md5-sess";
    std::string ha1 = Md5Hex(user + ":" + challenge.realm + ":" + password);
    if (session) ha1 = Md5Hex(ha1 + ":" + challenge.nonce + ":" + clientNonce);
    const std::string ha2 = Md5Hex(method + ":" + uri);
    const std::string count = FormatString("%08x", nonceCount);

    std::string header = "Digest username=\"" + user + "\", realm=\"" + challenge.realm + "\", nonce=\"" +
                         challenge.nonce + "\", uri=\"" + uri + "\"";
    if (challenge.qopAuth) {
        const std::string response =
            Md5Hex(ha1 + ":" + challenge.nonce + ":" + count + ":" + clientNonce + ":auth:" + ha2);
        header += ", qop=auth, nc=" + count + ", cnonce=\"" + clientNonce + "\", response=\"" + response + "\"";
    } else {
        header += ", response=\"" + Md5Hex(ha1 + ":" + challenge.nonce + ":" + ha2) + "\"";
    }
    if (!challenge.opaque.empty()) header += ", opaque=\"" + challenge.opaque + "\"";
    if (!challenge.algorithm.empty()) header += ", algorithm=" + challenge.algorithm;
    return header;
}

}  // namespace talvex
