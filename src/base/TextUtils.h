// Text helpers shared by the CGI lookups and the RTSP and SDP parsers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvex::HUtils {

// Without leading and trailing spaces and tabs.
std::string Trim(const std::string& text);
std::string ToLower(const std::string& text);
// Decimal with an optional leading sign. out is 0 unless it returns true;
// false for anything else, and for a number outside the int range.
bool StringToInt(const std::string& text, int& out);
// The text without any of the characters.
std::string RemoveChars(const std::string& text, const std::string& characters);
// Pieces between delimiters, empty ones included, except that a delimiter at
// the very end adds no empty last piece.
std::vector<std::string> SplitString(const std::string& text, char delimiter);
// Two characters make one byte, high nibble first; a character that is not a
// hexadecimal digit counts as 0; a lone last character is one byte with that
// nibble's value.
void HexToBytes(const std::string& text, std::vector<uint8_t>& out);
// The text with the user information of every URL in it ("rtsp://user:
// password@host/") replaced by "***", for texts that reach a log or the host:
// a camera may hand back a URL with the credentials it was given.
std::string MaskUrlCredentials(const std::string& text);

}  // namespace talvex::HUtils
