// The driver's channel factory, used by the video capture object.
#pragma once

#include "wrenfield/Media.h"

namespace talvex {

class ICameraChannel;

class ICustomCreator {
public:
    virtual ~ICustomCreator() = default;
    // A new channel for the input, owned by the caller; null when the stream
    // type has no channel kind.
    virtual ICameraChannel* CreateChannel(unsigned int channelIndex, ipcapture::IHostFrameSink* sink) = 0;
    virtual ICameraChannel* CreateAuxChannel(unsigned int channelIndex, ipcapture::IHostFrameSink* sink) = 0;
};

}  // namespace talvex
