#pragma once

#include "wrenfield/Media.h"

namespace talvex {

// Where the HTTP media parsers hand each finished picture: its channel.
class IMediaReceiver {
public:
    virtual ~IMediaReceiver() = default;
    // True when the host took the picture.
    virtual bool OnMediaSample(ipcapture::IHostMediaSample* sample) = 0;
};

}  // namespace talvex
