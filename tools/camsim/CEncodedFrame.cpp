#include "CEncodedFrame.h"

namespace camsim {

CEncodedFrame::CEncodedFrame(GstBuffer* buffer, std::uint64_t number)
    : m_buffer(gst_buffer_ref(buffer)), m_number(number) {}

CEncodedFrame::~CEncodedFrame() { gst_buffer_unref(m_buffer); }

bool CEncodedFrame::IsKey() const { return !GST_BUFFER_FLAG_IS_SET(m_buffer, GST_BUFFER_FLAG_DELTA_UNIT); }

std::size_t CEncodedFrame::Size() const { return gst_buffer_get_size(m_buffer); }

void CEncodedFrame::AppendTo(std::string& out) const {
    GstMapInfo map;
    if (!gst_buffer_map(m_buffer, &map, GST_MAP_READ)) return;
    out.append(reinterpret_cast<const char*>(map.data), map.size);
    gst_buffer_unmap(m_buffer, &map);
}

}  // namespace camsim
