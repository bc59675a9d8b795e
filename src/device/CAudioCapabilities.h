// What a camera offers for audio in one direction: the number of channels and
// whether they are stereo.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

class CAudioCapabilities {
public:
    virtual ~CAudioCapabilities() = default;

    // The form the host shows in its audio property: "Count=%u; IsStereo=%u".
    virtual std::string ToText() const;

    uint32_t ChannelCount = 0;
    uint32_t IsStereo = 0;
};

}  // namespace talvex
