#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace camsim {

// Video codecs the camera can be switched between with "/SetMultimedia.cgi".
enum class ECodec { H264, Mpeg4, Mjpeg };

// Authentication a server demands; the HTTP and RTSP servers are configured separately.
enum class EAuthMode { None, Basic, Digest };

// What one channel currently encodes. The quality fields keep the camera's own scales:
// vbr is the "VBR" class (lower is better, 4 best, 28 worst) and jpegQuality 1 (worst) to 5.
struct SVideoSettings {
    ECodec codec = ECodec::H264;
    int width = 640;
    int height = 480;
    int fps = 25;
    int vbr = 17;
    int jpegQuality = 3;

    bool operator==(const SVideoSettings&) const = default;
};

// The camera's own lowercase codec names, as "Mode" and "CodecType" carry them.
std::string_view CodecName(ECodec codec);
std::optional<ECodec> ParseCodec(std::string_view text);  // case-insensitive
std::optional<EAuthMode> ParseAuthMode(std::string_view text);

// Strict decimal parse: optional sign, digits only, no overflow.
std::optional<long long> ParseInteger(std::string_view text);

// "WIDTHxHEIGHT" with positive decimal numbers.
struct SPictureSize {
    int width = 0;
    int height = 0;
};
std::optional<SPictureSize> ParsePictureSize(std::string_view text);

// Sizes every encoder we run accepts: multiples of 8 within what JPEG over RTP can express
// (RFC 2435 carries width and height in units of 8 pixels in one byte).
bool IsEncodableSize(int width, int height);

std::string ToLowerAscii(std::string_view text);

}  // namespace camsim
