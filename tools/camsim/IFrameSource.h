#pragma once

#include "IFrameSubscriber.h"

#include <gst/gst.h>

#include <chrono>
#include <memory>

namespace camsim {

// Where a stream's pictures come from: a running encoder, or a recorded H.264 file played in
// a loop. A subscriber's first picture is a key picture.
class IFrameSource {
public:
    virtual ~IFrameSource() = default;
    // The stream format (a new reference), or nullptr when none is known within the timeout.
    virtual GstCaps* WaitForCaps(std::chrono::milliseconds timeout) = 0;
    virtual void Subscribe(const std::shared_ptr<IFrameSubscriber>& subscriber) = 0;
    virtual void Unsubscribe(const IFrameSubscriber* subscriber) = 0;
};

}  // namespace camsim
