#include "device/CAudioCapabilities.h"

#include "base/FormatString.h"

namespace talvex {

std::string CAudioCapabilities::ToText() const {
    return FormatString("Count=%u; IsStereo=%u", static_cast<unsigned>(ChannelCount), static_cast<unsigned>(IsStereo));
}

}  // namespace talvex
