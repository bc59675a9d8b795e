#include "base/DigestAuthorization.h"

#include "base/FormatString.h"
#include "base/Md5.h"
#include "base/TextUtils.h"

namespace talvex {

namespace {

enum class EParameter { Read, End, Malformed };

// Reads one name=value or name="value" pair at pos; quoted values may carry
// backslash escapes. End when no further "name=" follows; Malformed for a
// quoted value that never closes.
EParameter ReadParameter(const std::string& text, std::size_t& pos, std::string& name, std::string& value) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == ',')) ++pos;
    const std::size_t equals = text.find('=', pos);
    if (pos >= text.size() || equals == std::string::npos) return EParameter::End;
    name = HUtils::ToLower(HUtils::Trim(text.substr(pos, equals - pos)));
    pos = equals + 1;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    value.clear();
    if (pos < text.size() && text[pos] == '"') {
        for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
            if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
            value.push_back(text[pos]);
        }
        if (pos >= text.size()) return EParameter::Malformed;
        ++pos;
    } else {
        const std::size_t comma = text.find(',', pos);
        const std::size_t stop = comma == std::string::npos ? text.size() : comma;
        value = HUtils::Trim(text.substr(pos, stop - pos));
        pos = stop;
    }
    return EParameter::Read;
}

bool ListContainsToken(const std::string& list, const std::string& token) {
    for (const std::string& piece : HUtils::SplitString(list, ','))
        if (HUtils::ToLower(HUtils::Trim(piece)) == token) return true;
    return false;
}

std::optional<SDigestChallenge> Refuse(EDigestRefusal why, EDigestRefusal* refusal) {
    if (refusal != nullptr) *refusal = why;
    return std::nullopt;
}

}  // namespace

const char* DigestRefusalText(EDigestRefusal refusal) {
    switch (refusal) {
        case EDigestRefusal::None: return "nothing";
        case EDigestRefusal::Malformed: return "an unterminated quoted value";
        case EDigestRefusal::NoNonce: return "no nonce";
        case EDigestRefusal::UnknownAlgorithm: return "an algorithm other than MD5";
        case EDigestRefusal::ControlCharacter: return "a control character";
        case EDigestRefusal::OverlongValue: return "an overlong value";
    }
    return "an unknown fault";
}

bool HasControlCharacter(const std::string& text) {
    for (char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F) return true;
    }
    return false;
}

std::optional<SDigestChallenge> ParseDigestChallenge(const std::string& parameters, EDigestRefusal* refusal) {
    if (refusal != nullptr) *refusal = EDigestRefusal::None;
    if (HasControlCharacter(parameters)) return Refuse(EDigestRefusal::ControlCharacter, refusal);
    SDigestChallenge challenge;
    std::size_t pos = 0;
    std::string name;
    std::string value;
    for (;;) {
        const EParameter read = ReadParameter(parameters, pos, name, value);
        if (read == EParameter::End) break;
        if (read == EParameter::Malformed) return Refuse(EDigestRefusal::Malformed, refusal);
        if (value.size() > kMaxDigestValueBytes) return Refuse(EDigestRefusal::OverlongValue, refusal);
        if (name == "realm") challenge.realm = value;
        else if (name == "nonce") challenge.nonce = value;
        else if (name == "opaque") challenge.opaque = value;
        else if (name == "algorithm") challenge.algorithm = value;
        else if (name == "qop") challenge.qopAuth = ListContainsToken(value, "auth");
        else if (name == "stale") challenge.stale = HUtils::ToLower(value) == "true";
    }
    if (challenge.nonce.empty()) return Refuse(EDigestRefusal::NoNonce, refusal);
    // Only the two tokens this client computes go back to the device, spelled
    // the usual way; the device's own text never does.
    const std::string algorithm = HUtils::ToLower(challenge.algorithm);
    if (algorithm == "md5") challenge.algorithm = "MD5";
    else if (algorithm == "md5-sess") challenge.algorithm = "MD5-sess";
    else if (!algorithm.empty()) return Refuse(EDigestRefusal::UnknownAlgorithm, refusal);
    return challenge;
}

std::string QuoteDigestValue(const std::string& value) {
    std::string quoted;
    quoted.reserve(value.size());
    for (char character : value) {
        if (character == '"' || character == '\\') quoted.push_back('\\');
        quoted.push_back(character);
    }
    return quoted;
}

std::string BuildDigestAuthorization(const SDigestChallenge& challenge, const std::string& user,
                                     const std::string& password, const std::string& method,
                                     const std::string& uri, uint32_t nonceCount, const std::string& clientNonce) {
    // The hashes take the values as they are; only the line quotes them.
    const bool session = challenge.algorithm == "MD5-sess";
    std::string ha1 = Md5Hex(user + ":" + challenge.realm + ":" + password);
    if (session) ha1 = Md5Hex(ha1 + ":" + challenge.nonce + ":" + clientNonce);
    const std::string ha2 = Md5Hex(method + ":" + uri);
    const std::string count = FormatString("%08x", nonceCount);

    std::string header = "Digest username=\"" + QuoteDigestValue(user) + "\", realm=\"" +
                         QuoteDigestValue(challenge.realm) + "\", nonce=\"" + QuoteDigestValue(challenge.nonce) +
                         "\", uri=\"" + QuoteDigestValue(uri) + "\"";
    if (challenge.qopAuth) {
        const std::string response =
            Md5Hex(ha1 + ":" + challenge.nonce + ":" + count + ":" + clientNonce + ":auth:" + ha2);
        header += ", qop=auth, nc=" + count + ", cnonce=\"" + QuoteDigestValue(clientNonce) + "\", response=\"" +
                  response + "\"";
    } else {
        header += ", response=\"" + Md5Hex(ha1 + ":" + challenge.nonce + ":" + ha2) + "\"";
    }
    if (!challenge.opaque.empty()) header += ", opaque=\"" + QuoteDigestValue(challenge.opaque) + "\"";
    if (!challenge.algorithm.empty()) header += ", algorithm=" + challenge.algorithm;
    return header;
}

}  // namespace talvex
