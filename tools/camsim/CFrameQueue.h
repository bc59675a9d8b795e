#pragma once

#include "IFrameSubscriber.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace camsim {

// Pictures waiting for a slow reader. The reader pulls; when it falls more than maxBytes
// behind, everything waiting is dropped and the queue resumes at the next key picture, so a
// stalled client costs bounded memory and still gets a decodable stream.
class CFrameQueue : public IFrameSubscriber {
public:
    explicit CFrameQueue(std::size_t maxBytes);

    void OnFrame(const std::shared_ptr<const CEncodedFrame>& frame) override;
    // The oldest waiting picture, or nullptr when none came within the timeout.
    std::shared_ptr<const CEncodedFrame> Pop(std::chrono::milliseconds timeout);
    std::size_t DroppedFrames() const;

private:
    const std::size_t m_maxBytes;
    mutable std::mutex m_mutex;  // guards the members below
    std::condition_variable m_available;
    std::deque<std::shared_ptr<const CEncodedFrame>> m_frames;
    std::size_t m_bytes = 0;
    bool m_waitingForKey = false;
    std::size_t m_dropped = 0;
};

}  // namespace camsim
