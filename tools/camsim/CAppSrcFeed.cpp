#include "CAppSrcFeed.h"

#include <gst/app/gstappsrc.h>

namespace camsim {

CAppSrcFeed::CAppSrcFeed(GstElement* appsrc) : m_appsrc(GST_ELEMENT(gst_object_ref(appsrc))) {}

CAppSrcFeed::~CAppSrcFeed() { gst_object_unref(m_appsrc); }

void CAppSrcFeed::OnFrame(const std::shared_ptr<const CEncodedFrame>& frame) {
    // A shallow copy shares the picture's memory but lets the receiving pipeline stamp it:
    // the encoder's time stamps belong to a different pipeline's running time.
    GstBuffer* buffer = gst_buffer_copy(frame->Buffer());
    GST_BUFFER_PTS(buffer) = GST_CLOCK_TIME_NONE;
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    if (gst_app_src_push_buffer(GST_APP_SRC(m_appsrc), buffer) == GST_FLOW_OK)  // takes the buffer
        s_sent.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace camsim
