#include "CamSimTypes.h"

#include <cctype>
#include <charconv>
#include <limits>

namespace camsim {

std::string_view CodecName(ECodec codec) {
    switch (codec) {
        case ECodec::H264:  return "h264";
        case ECodec::Mpeg4: return "mpeg4";
        case ECodec::Mjpeg: return "mjpeg";
    }
    return "h264";
}

std::string ToLowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::optional<ECodec> ParseCodec(std::string_view text) {
    const std::string lower = ToLowerAscii(text);
    if (lower == "h264") return ECodec::H264;
    if (lower == "mpeg4") return ECodec::Mpeg4;
    if (lower == "mjpeg") return ECodec::Mjpeg;
    return std::nullopt;
}

std::optional<EAuthMode> ParseAuthMode(std::string_view text) {
    if (text == "none") return EAuthMode::None;
    if (text == "basic") return EAuthMode::Basic;
    if (text == "digest") return EAuthMode::Digest;
    return std::nullopt;
}

std::optional<long long> ParseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::optional<SPictureSize> ParsePictureSize(std::string_view text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string_view::npos) return std::nullopt;
    const auto width = ParseInteger(text.substr(0, x));
    const auto height = ParseInteger(text.substr(x + 1));
    if (!width || !height || *width <= 0 || *height <= 0) return std::nullopt;
    if (*width > std::numeric_limits<int>::max() || *height > std::numeric_limits<int>::max())
        return std::nullopt;
    return SPictureSize{static_cast<int>(*width), static_cast<int>(*height)};
}

bool IsEncodableSize(int width, int height) {
    constexpr int kMinSide = 16;
    constexpr int kMaxSide = 2040;
    return width >= kMinSide && height >= kMinSide && width <= kMaxSide && height <= kMaxSide &&
           width % 8 == 0 && height % 8 == 0;
}

}  // namespace camsim
