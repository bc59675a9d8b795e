#pragma once

#include <cstdint>

#include "channels/CaptureSettings.h"

namespace talvex {

// Channel states seen by the host.
enum : int32_t {
    kChannelReceiving = 0,
    kChannelSignalLost = 2,
    kChannelStopped = 3,  // also while (re)connecting
};

// One video input streaming to the host.
class ICameraChannel {
public:
    virtual ~ICameraChannel() = default;
    virtual bool Start(const CaptureSettings& settings) = 0;
    virtual void Stop() = 0;
    // Keeps the earlier quality; the rest reaches the camera on the next connect.
    virtual bool Reconfigure(const CaptureSettings& settings) = 0;
    virtual bool QueryOptionA() { return false; }
    virtual bool QueryOptionB() { return false; }
    virtual int32_t GetState() = 0;
};

}  // namespace talvex
