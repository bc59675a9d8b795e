#include "CHttpMediaStream.h"

namespace camsim {

CHttpMediaStream::CHttpMediaStream(std::shared_ptr<CEncoder> encoder, std::function<bool()> keepGoing)
    : m_encoder(std::move(encoder)),
      m_queue(std::make_shared<CFrameQueue>(kMaxQueuedBytes)),
      m_keepGoing(std::move(keepGoing)) {
    if (m_encoder->Settings().codec == ECodec::Mpeg4) {
        if (GstCaps* caps = m_encoder->WaitForCaps(std::chrono::seconds(3))) {
            const GstStructure* format = gst_caps_get_structure(caps, 0);
            const GValue* value = format ? gst_structure_get_value(format, "codec_data") : nullptr;
            if (value && GST_VALUE_HOLDS_BUFFER(value)) {
                GstBuffer* config = gst_value_get_buffer(value);
                GstMapInfo map;
                if (gst_buffer_map(config, &map, GST_MAP_READ)) {
                    m_config.assign(reinterpret_cast<const char*>(map.data), map.size);
                    gst_buffer_unmap(config, &map);
                }
            }
            gst_caps_unref(caps);
        }
    }
    m_encoder->Subscribe(m_queue);
}

CHttpMediaStream::~CHttpMediaStream() { m_encoder->Unsubscribe(m_queue.get()); }

std::string CHttpMediaStream::ContentType() const {
    if (m_encoder->Settings().codec == ECodec::Mjpeg)
        return std::string("multipart/x-mixed-replace; boundary=") + kBoundary;
    return "video/mp4v-es";
}

// A key picture from our encoder normally carries the headers already; the check keeps the
// promise even for encoders that put them only in the stream format.
bool CHttpMediaStream::StartsWithConfig(const std::string& picture) {
    return picture.size() >= 4 && picture[0] == 0 && picture[1] == 0 && picture[2] == 1 &&
           (static_cast<unsigned char>(picture[3]) == 0xB0 || static_cast<unsigned char>(picture[3]) <= 0x2F);
}

std::optional<std::string> CHttpMediaStream::NextChunk(std::chrono::milliseconds wait) {
    if (!m_keepGoing()) return std::nullopt;
    const auto frame = m_queue->Pop(wait);
    if (!frame) return std::string();
    if (!m_keepGoing()) return std::nullopt;
    std::string picture;
    frame->AppendTo(picture);
    if (m_encoder->Settings().codec == ECodec::Mjpeg) {
        std::string part = std::string("--") + kBoundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                           std::to_string(picture.size()) + "\r\n\r\n";
        part += picture;
        part += "\r\n";
        return part;
    }
    if (frame->IsKey() && !StartsWithConfig(picture)) return m_config + picture;
    return picture;
}

}  // namespace camsim
