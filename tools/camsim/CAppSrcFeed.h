#pragma once

#include "IFrameSubscriber.h"

#include <gst/gst.h>

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

private:
    GstElement* const m_appsrc;
};

}  // namespace camsim
