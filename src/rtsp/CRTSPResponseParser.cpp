#include "rtsp/CRTSPResponseParser.h"

#include <array>
#include <cstring>

#include "base/TextUtils.h"
#include "http/ReplyLookups.h"

namespace talvex {

namespace {

constexpr std::size_t kEndOfText = std::string::npos;
constexpr std::size_t kMaxWordChars = 255;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Header lines end in CR LF: the position moves two characters past the
// line's end. Without a further line end the line is empty and the position
// becomes the end-of-text mark.
std::string ReadLine(const std::string& text, std::size_t& position) {
    if (position == kEndOfText || position >= text.size()) {
        position = kEndOfText;
        return {};
    }
    const std::size_t end = text.find_first_of("\r\n", position);
    if (end == std::string::npos) {
        position = kEndOfText;
        return {};
    }
    std::string line = text.substr(position, end - position);
    position = end + 2 <= text.size() ? end + 2 : text.size();
    return line;
}

// The name's first occurrence must open the line or follow a blank, so that
// "Content-Base" is not found inside another header's value.
bool IsHeader(const std::string& lowerLine, const char* lowerName) {
    const std::size_t at = lowerLine.find(lowerName);
    return at != std::string::npos && (at == 0 || IsBlank(lowerLine[at - 1]));
}

// The text after prefix at the line's start, leading blanks skipped; false
// when the line does not open with prefix.
bool AfterPrefix(const std::string& line, const char* prefix, std::string& rest) {
    const std::size_t n = std::strlen(prefix);
    if (line.compare(0, n, prefix) != 0)
        return false;
    std::size_t i = n;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    rest = line.substr(i);
    return true;
}

// Leading decimal digits; false without any, or when the value exceeds limit.
bool ReadNumber(const std::string& text, uint32_t limit, uint32_t& out) {
    uint64_t value = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > limit)
            return false;
    }
    if (i == 0)
        return false;
    out = static_cast<uint32_t>(value);
    return true;
}

// The first word (up to a blank), at most 255 characters.
std::string FirstWord(const std::string& text) {
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end]) && end < kMaxWordChars)
        ++end;
    return text.substr(0, end);
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool DecodeParameterSet(const std::string& text, std::vector<uint8_t>& out) {
    std::array<uint8_t, kMaxParameterSetBytes> buffer{};
    std::size_t size = buffer.size();
    if (!CRTSPResponseParser::DecodeBase64(text.data(), text.size(), buffer.data(), &size))
        return false;
    out.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
    return true;
}

}  // namespace

void CRTSPResponseParser::Reset() {
    *this = CRTSPResponseParser();
}

bool CRTSPResponseParser::Parse(const std::string& response, uint32_t method) {
    std::size_t position = 0;
    const std::string statusLine = ReadLine(response, position);
    if (statusLine.empty())
        return false;

    const std::string version = FirstWord(statusLine);
    std::size_t i = version.size();
    while (i < statusLine.size() && IsBlank(statusLine[i]))
        ++i;
    uint32_t status = 0;
    if (!ReadNumber(statusLine.substr(i), UINT32_MAX, status))
        return false;
    Version = version;
    StatusCode = status;
    if (StatusCode != 200 && StatusCode != 401)
        return false;

    for (;;) {
        const std::string line = ReadLine(response, position);
        if (line.empty())
            break;
        if (!ReadHeader(line))
            return false;
    }
    if (ContentLength != 0 && position == kEndOfText)
        return false;

    std::string body;
    if (position != kEndOfText && position < response.size())
        body = response.substr(position, ContentLength);
    if (method == RTSP_DESCRIBE)
        return ParseSdp(body);
    return true;
}

bool CRTSPResponseParser::ReadHeader(const std::string& line) {
    const std::string lower = HUtils::ToLower(line);
    // Tried in this order, the first match deciding; the ignored ones count
    // as read.
    if (IsHeader(lower, "cseq"))
        return ReadCSeq(lower);
    if (IsHeader(lower, "date"))
        return true;
    if (IsHeader(lower, "content-base"))
        return ReadContentBase(line);
    if (IsHeader(lower, "content-type"))
        return ReadContentType(lower);
    if (IsHeader(lower, "content-length"))
        return ReadContentLength(lower);
    if (IsHeader(lower, "transport"))
        return true;
    if (IsHeader(lower, "session"))
        return ReadSession(line);
    for (const char* ignored : {"range", "rtp-info", "server", "accept-ranges", "rtcp-interval"}) {
        if (IsHeader(lower, ignored))
            return true;
    }
    if (IsHeader(lower, "www-authenticate"))
        return ReadWwwAuthenticate(line);
    return true;
}

bool CRTSPResponseParser::ReadCSeq(const std::string& lower) {
    std::string rest;
    return AfterPrefix(lower, "cseq:", rest) && ReadNumber(rest, UINT32_MAX, CSeq);
}

bool CRTSPResponseParser::ReadContentBase(const std::string& line) {
    const std::size_t at = line.find("Content-Base:");
    if (at == std::string::npos) {
        ContentBase.clear();
        return false;
    }
    const std::size_t url = line.find("rtsp://", at);
    if (url != std::string::npos)
        ContentBase = HUtils::Trim(line.substr(url));
    return true;
}

bool CRTSPResponseParser::ReadContentType(const std::string& lower) {
    std::string rest;
    if (!AfterPrefix(lower, "content-type:", rest))
        return false;
    const std::string word = FirstWord(rest);
    if (word.empty())
        return false;
    ContentType = word;
    return true;
}

bool CRTSPResponseParser::ReadContentLength(const std::string& lower) {
    // A body beyond the limit, or a length that is not a plain number, fails
    // the response rather than being read in part.
    std::string rest;
    uint32_t length = 0;
    if (!AfterPrefix(lower, "content-length:", rest) || !ReadNumber(rest, kMaxRTSPBodyBytes, length))
        return false;
    const std::size_t digitsEnd = rest.find_first_not_of("0123456789");
    if (digitsEnd != std::string::npos && !HUtils::Trim(rest.substr(digitsEnd)).empty())
        return false;
    ContentLength = length;
    return true;
}

bool CRTSPResponseParser::ReadSession(const std::string& line) {
    SessionId = HUtils::FindRecordValue("Session:", " ", line, ";\r\n");
    if (line.find(';') != std::string::npos) {
        const std::string timeout = HUtils::FindRecordValue("timeout", "=", line, ";\r\n");
        if (!timeout.empty()) {
            uint32_t seconds = 0;
            // atoi rules: no digits reads as 0; an absurdly long value is
            // treated like a missing one.
            if (!ReadNumber(HUtils::Trim(timeout), UINT32_MAX, seconds))
                seconds = 0;
            SessionTimeout = seconds == 0 ? 30 : seconds;
        }
    }
    return !SessionId.empty();
}

bool CRTSPResponseParser::ReadWwwAuthenticate(const std::string& line) {
    AuthScheme = RTSP_AUTH_NONE;
    static constexpr char kName[] = "WWW-Authenticate: ";
    const std::size_t at = line.find(kName);
    if (at == std::string::npos)
        return false;
    const std::size_t start = at + sizeof(kName) - 1;
    const std::size_t end = line.find_first_of(" \t\r\n", start);
    if (end == std::string::npos)
        return false;
    const std::string scheme = line.substr(start, end - start);
    if (scheme == "Digest")
        AuthScheme = RTSP_AUTH_DIGEST;
    else if (scheme == "Basic")
        AuthScheme = RTSP_AUTH_BASIC;
    else
        return false;
    AuthParameters = line.substr(end + 1);
    Realm = HUtils::RemoveChars(HUtils::Trim(HUtils::FindRecordValue("realm", "=", AuthParameters, ",\r\n")), "\"");
    Nonce = HUtils::RemoveChars(HUtils::Trim(HUtils::FindRecordValue("nonce", "=", AuthParameters, ",\r\n")), "\"");
    if (AuthScheme == RTSP_AUTH_DIGEST)
        return !Realm.empty() && !Nonce.empty();
    return true;
}

bool CRTSPResponseParser::ParseSdp(const std::string& body) {
    uint32_t mediaKind = 0;  // 0 none, 1 video, 2 audio, 3 data
    std::size_t position = 0;
    while (position < body.size()) {
        while (position < body.size() && (body[position] == '\r' || body[position] == '\n'))
            ++position;
        if (position >= body.size())
            break;
        std::size_t end = body.find_first_of("\r\n", position);
        if (end == std::string::npos)
            end = body.size();
        const std::string line = body.substr(position, end - position);
        position = end + 1;
        const std::string lower = HUtils::ToLower(line);

        if (IsHeader(lower, "a=control")) {
            std::string rest;
            if (!AfterPrefix(line, "a=control:", rest))
                return false;
            const std::string value = FirstWord(rest);
            if (value.empty())
                return false;
            if (mediaKind == 1)
                VideoControl = value;
            else if (mediaKind == 2)
                AudioControl = value;
            else if (mediaKind == 3)
                DataControl = value;
        } else if (IsHeader(lower, "a=fmtp")) {
            if (mediaKind == 0)
                return false;
            if (mediaKind == 1 && !ParseFmtp(line))
                return false;
        } else if (IsHeader(lower, "m=")) {
            const std::string value = HUtils::FindRecordValue("m", "=", line, "\r\n");
            if (value.empty())
                return false;
            std::vector<std::string> words;
            for (const std::string& word : HUtils::SplitString(value, ' ')) {
                if (!word.empty())
                    words.push_back(word);
            }
            if (words.empty())
                return false;
            const std::string media = HUtils::ToLower(words[0]);
            mediaKind = 0;
            if (media == "video")
                mediaKind = 1;
            else if (media == "audio")
                mediaKind = 2;
            else if (media == "metadata" || media == "data" || media == "application")
                mediaKind = 3;
            if (words.size() >= 3) {
                if (mediaKind == 1)
                    VideoTransport = words[2];
                else if (mediaKind == 2)
                    AudioTransport = words[2];
                else if (mediaKind == 3)
                    DataTransport = words[2];
            }
        }
    }
    return true;
}

bool CRTSPResponseParser::ParseFmtp(const std::string& line) {
    // The parameters follow the payload type ("a=fmtp:96 a=b;c=d"), so the
    // first one is found even when it opens the list.
    const std::size_t space = line.find_first_of(" \t");
    const std::string parameters = space == std::string::npos ? std::string() : line.substr(space + 1);

    const std::string sets = HUtils::FindRecordValue("sprop-parameter-sets", "=", parameters, ";\r\n");
    if (!sets.empty()) {
        const std::vector<std::string> parts = HUtils::SplitString(HUtils::Trim(sets), ',');
        if (parts.size() < 2 || parts[0].empty() || parts[1].empty())
            return false;
        DecodeParameterSet(parts[0], CodecParameters.Sps);
        DecodeParameterSet(parts[1], CodecParameters.Pps);
        return !CodecParameters.Sps.empty() && !CodecParameters.Pps.empty();
    }
    const std::string config = HUtils::FindRecordValue("config", "=", parameters, ";\r\n");
    if (!config.empty()) {
        HUtils::HexToBytes(HUtils::Trim(config), CodecParameters.Config);
        return !CodecParameters.Config.empty();
    }
    // Parameter sets are optional: many cameras send them only in band.
    return true;
}

bool CRTSPResponseParser::DecodeBase64(const char* text, std::size_t length, uint8_t* output, std::size_t* size) {
    if (text == nullptr || size == nullptr)
        return false;
    const std::size_t capacity = output == nullptr ? 0 : *size;
    std::size_t total = 0;
    uint32_t group = 0;
    int count = 0;
    auto emit = [&](uint8_t byte) {
        if (total < capacity)
            output[total] = byte;
        ++total;
    };
    auto flush = [&] {
        // A group of n characters yields floor(6n / 8) bytes.
        const uint32_t bits = group << (6 * (4 - count));
        const int bytes = count * 6 / 8;
        for (int b = 0; b < bytes; ++b)
            emit(static_cast<uint8_t>(bits >> (16 - 8 * b)));
        group = 0;
        count = 0;
    };
    for (std::size_t i = 0; i < length && text[i] != '\0'; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0)
            continue;
        group = (group << 6) | static_cast<uint32_t>(value);
        if (++count == 4)
            flush();
    }
    if (count > 0)
        flush();
    *size = total;
    return total <= capacity;
}

}  // namespace talvex
