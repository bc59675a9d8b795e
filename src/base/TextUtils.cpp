#include "base/TextUtils.h"

#include <cctype>
#include <charconv>

namespace talvex::HUtils {

namespace {

int NibbleOf(char character) {
    if (character >= '0' && character <= '9') return character - '0';
    if (character >= 'a' && character <= 'f') return character - 'a' + 10;
    if (character >= 'A' && character <= 'F') return character - 'A' + 10;
    return 0;  // the cameras' hex texts are trusted to be digits; garbage reads as zero
}

bool IsDigit(char character) { return character >= '0' && character <= '9'; }

}  // namespace

std::string Trim(const std::string& text) {
    static const char kBlanks[] = " \t";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return {};
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string ToLower(const std::string& text) {
    std::string lower(text);
    for (char& character : lower) character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    return lower;
}

bool StringToInt(const std::string& text, int& out) {
    out = 0;
    std::size_t digitsStart = 0;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) digitsStart = 1;
    if (digitsStart == text.size()) return false;  // empty, or only a sign
    for (std::size_t i = digitsStart; i < text.size(); ++i)
        if (!IsDigit(text[i])) return false;

    // from_chars reports overflow instead of leaving it undefined, so a
    // camera's out-of-range number is refused rather than read as garbage.
    const char* first = text.data() + (text[0] == '+' ? 1 : 0);
    const char* last = text.data() + text.size();
    int value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return false;
    out = value;
    return true;
}

std::string RemoveChars(const std::string& text, const std::string& characters) {
    if (characters.empty()) return text;
    std::string kept;
    kept.reserve(text.size());
    for (char character : text)
        if (characters.find(character) == std::string::npos) kept.push_back(character);
    return kept;
}

std::vector<std::string> SplitString(const std::string& text, char delimiter) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(delimiter, start);
        if (end == std::string::npos) {
            pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

void HexToBytes(const std::string& text, std::vector<uint8_t>& out) {
    out.clear();
    out.reserve((text.size() + 1) / 2);
    std::size_t pos = 0;
    for (; pos + 1 < text.size(); pos += 2)
        out.push_back(static_cast<uint8_t>(NibbleOf(text[pos]) << 4 | NibbleOf(text[pos + 1])));
    if (pos < text.size()) out.push_back(static_cast<uint8_t>(NibbleOf(text[pos])));
}

std::string MaskUrlCredentials(const std::string& text) {
    static constexpr const char* kSchemeEnd = "://";
    // The authority ends where the path, query or fragment begins, or where
    // the URL itself ends inside a message.
    static constexpr const char* kAuthorityEnd = "/?#\"' \t\r\n<>";
    std::string masked;
    std::size_t copied = 0;
    std::size_t scheme = text.find(kSchemeEnd);
    while (scheme != std::string::npos) {
        const std::size_t start = scheme + 3;
        std::size_t end = text.find_first_of(kAuthorityEnd, start);
        if (end == std::string::npos) end = text.size();
        const std::size_t at = text.rfind('@', end - 1);
        if (at != std::string::npos && at >= start && at < end) {
            masked.append(text, copied, start - copied);
            masked += "***";
            copied = at;
        }
        scheme = text.find(kSchemeEnd, end);
    }
    masked.append(text, copied, std::string::npos);
    return masked;
}

}  // namespace talvex::HUtils
