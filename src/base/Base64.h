// Base64 (RFC 4648, standard alphabet, "=" padding): Basic credentials for
// the camera's web and RTSP servers, and parameter sets carried in SDP.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvex {

std::string Base64Encode(const uint8_t* data, std::size_t size);
std::string Base64Encode(std::string_view text);

// Decodes one padded or unpadded base64 text. Nothing for a character outside
// the alphabet, padding anywhere but the end, or a length that cannot come
// from an encoder (one leftover character).
std::optional<std::vector<uint8_t>> Base64Decode(std::string_view text);

// The longest "user:password" text EncodeBasicCredentials accepts.
inline constexpr std::size_t kMaxBasicCredentialBytes = 72;

// Stores the base64 of "user:password", without line breaks, in encoded.
// False, with encoded unchanged, when the joined text is longer than
// kMaxBasicCredentialBytes.
bool EncodeBasicCredentials(const std::string& user, const std::string& password, std::string& encoded);

}  // namespace talvex
