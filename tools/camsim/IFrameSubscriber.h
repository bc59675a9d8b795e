#pragma once

#include "CEncodedFrame.h"

#include <memory>

namespace camsim {

// Receives the pictures of an encoder, on the encoder's streaming thread. Must return quickly
// and must not call back into the encoder.
class IFrameSubscriber {
public:
    virtual ~IFrameSubscriber() = default;
    virtual void OnFrame(const std::shared_ptr<const CEncodedFrame>& frame) = 0;
};

}  // namespace camsim
