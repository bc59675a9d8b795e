#include "base/Base64.h"

namespace talvex {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kNotInAlphabet = -1;

int SextetOf(char character) {
    if (character >= 'A' && character <= 'Z') return character - 'A';
    if (character >= 'a' && character <= 'z') return character - 'a' + 26;
    if (character >= '0' && character <= '9') return character - '0' + 52;
    if (character == '+') return 62;
    if (character == '/') return 63;
    return kNotInAlphabet;
}

}  // namespace

std::string Base64Encode(const uint8_t* data, std::size_t size) {
    std::string encoded;
    encoded.reserve((size + 2) / 3 * 4);
    std::size_t pos = 0;
    for (; size - pos >= 3; pos += 3) {
        const uint32_t group = uint32_t(data[pos]) << 16 | uint32_t(data[pos + 1]) << 8 | data[pos + 2];
        for (int shift = 18; shift >= 0; shift -= 6) encoded.push_back(kAlphabet[(group >> shift) & 0x3F]);
    }
    const std::size_t rest = size - pos;
    if (rest == 0) return encoded;
    // The last one or two bytes make two or three characters; "=" fills the group.
    uint32_t group = uint32_t(data[pos]) << 16;
    if (rest == 2) group |= uint32_t(data[pos + 1]) << 8;
    encoded.push_back(kAlphabet[(group >> 18) & 0x3F]);
    encoded.push_back(kAlphabet[(group >> 12) & 0x3F]);
    encoded.push_back(rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=');
    encoded.push_back('=');
    return encoded;
}

std::string Base64Encode(std::string_view text) {
    return Base64Encode(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text) {
    std::size_t dataLength = text.size();
    while (dataLength > 0 && text.size() - dataLength < 2 && text[dataLength - 1] == '=') --dataLength;
    if (text.size() != dataLength && text.size() % 4 != 0) return std::nullopt;  // padding must fill a group
    if (dataLength % 4 == 1) return std::nullopt;

    std::vector<uint8_t> bytes;
    bytes.reserve(dataLength / 4 * 3 + 2);
    uint32_t bits = 0;
    int bitCount = 0;
    for (std::size_t i = 0; i < dataLength; ++i) {
        const int sextet = SextetOf(text[i]);
        if (sextet == kNotInAlphabet) return std::nullopt;
        bits = (bits << 6) | static_cast<uint32_t>(sextet);
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            bytes.push_back(static_cast<uint8_t>(bits >> bitCount));
        }
        bits &= (1u << bitCount) - 1;
    }
    return bytes;
}

bool EncodeBasicCredentials(const std::string& user, const std::string& password, std::string& encoded) {
    const std::string joined = user + ":" + password;
    if (joined.size() > kMaxBasicCredentialBytes) return false;
    encoded = Base64Encode(joined);
    return true;
}

}  // namespace talvex
