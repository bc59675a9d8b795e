#pragma once

#include "IFrameSubscriber.h"

#include <gst/gst.h>

#include <atomic>
#include <cstdint>

namespace camsim {

// Feeds an encoder's pictures into the source of one RTSP media pipeline. The pictures are
// shared, not copied; each gets fresh time stamps from the receiving pipeline's clock.
class CAppSrcFeed : public IFrameSubscriber {
public:
    explicit CAppSrcFeed(GstElement* appsrc);  // takes a new reference
    ~CAppSrcFeed() override;
    CAppSrcFeed(const CAppSrcFeed&) = delete;
    CAppSrcFeed& operator=(const CAppSrcFeed&) = delete;

    void OnFrame(const std::shared_ptr<const CEncodedFrame>& frame) override;

    // Pictures handed to any RTSP session since the start, for benchmarks that compare what
    // a client received with what was sent.
    static std::uint64_t PicturesSent() { return s_sent.load(std::memory_order_relaxed); }

private:
    GstElement* const m_appsrc;
    static inline std::atomic<std::uint64_t> s_sent{0};
};

}  // namespace camsim
