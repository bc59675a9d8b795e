// Where an RTP depacketizer hands its finished pictures: its channel.
#pragma once

#include <cstdint>
#include <utility>

#include "wrenfield/Media.h"

namespace talvex {

class IMediaParserClient {
public:
    virtual ~IMediaParserClient() = default;
    // True when the host took the picture.
    virtual bool OnFrame(ipcapture::IHostMediaSample* sample) = 0;
    // (width, height) of the channel's capture settings, for pictures whose
    // stream does not carry a size.
    virtual std::pair<uint32_t, uint32_t> GetPictureSize() = 0;
};

}  // namespace talvex
