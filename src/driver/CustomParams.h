// How custom parameter texts from the host are read.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

// A custom parameter the host shows as unset.
inline constexpr const char* kCustomParamNoneText = "(none)";

// One optional sign then decimal digits only, within 32 bits; anything else
// (an empty text, a lone sign, spaces, an overflow) gives kCustomParamAbsent.
int32_t ParseCustomParamInt(const std::string& text);

}  // namespace talvex
