#include "CEncoder.h"

#include "CFramePainter.h"

#include <gst/video/video-event.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace camsim {
namespace {

// Ball and background colours (ARGB) per pattern number.
constexpr std::array<std::pair<unsigned, unsigned>, 6> kColours = {{
    {0xFFFFFFFFu, 0xFF203040u},
    {0xFFFFD040u, 0xFF302020u},
    {0xFF40FF60u, 0xFF202830u},
    {0xFF60A0FFu, 0xFF302818u},
    {0xFFFF60C0u, 0xFF183020u},
    {0xFFC0C0C0u, 0xFF281830u},
}};

// The camera's quality classes mapped onto each encoder's quantiser: VBR 4 is the best class
// and 28 the worst; Jpeg_Quality 1 the worst and 5 the best.
int H264Quantizer(int vbr) { return std::clamp(16 + vbr, 10, 51); }
int Mpeg4Quantizer(int vbr) { return std::clamp(vbr / 2 + 2, 2, 31); }
int JpegQuality(int level) { return std::clamp(10 + 16 * level, 1, 100); }

}  // namespace

CEncoder::CEncoder(const SVideoSettings& settings, int pattern, const CFaultState& faults)
    : m_settings(settings), m_pattern(pattern), m_faults(faults) {
    gst_video_info_set_format(&m_rawInfo, GST_VIDEO_FORMAT_I420, static_cast<guint>(settings.width),
                              static_cast<guint>(settings.height));
}

CEncoder::~CEncoder() {
    if (m_pipeline) {
        // Joins the streaming threads, so no callback runs after this line.
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        gst_object_unref(m_pipeline);
    }
    if (m_caps) gst_caps_unref(m_caps);
}

std::string CEncoder::EncoderPart() const {
    const int gop = 2 * m_settings.fps;
    char text[256];
    switch (m_settings.codec) {
        case ECodec::H264:
            // One slice per picture and no B pictures, as the cameras send.
            std::snprintf(text, sizeof text,
                          "x264enc name=enc tune=zerolatency speed-preset=ultrafast threads=1 "
                          "key-int-max=%d pass=quant quantizer=%d ! "
                          "video/x-h264,stream-format=avc,alignment=au",
                          gop, H264Quantizer(m_settings.vbr));
            break;
        case ECodec::Mpeg4:
            std::snprintf(text, sizeof text,
                          "avenc_mpeg4 name=enc gop-size=%d max-bframes=0 pass=quant quantizer=%d",
                          gop, Mpeg4Quantizer(m_settings.vbr));
            break;
        case ECodec::Mjpeg:
            std::snprintf(text, sizeof text, "jpegenc name=enc quality=%d", JpegQuality(m_settings.jpegQuality));
            break;
    }
    return text;
}

std::string CEncoder::LaunchLine() const {
    const auto& colours = kColours[static_cast<std::size_t>(m_pattern) % kColours.size()];
    char source[320];
    std::snprintf(source, sizeof source,
                  "videotestsrc is-live=true pattern=ball foreground-color=%u background-color=%u ! "
                  "capsfilter name=raw caps=video/x-raw,format=I420,width=%d,height=%d,framerate=%d/1 ! ",
                  colours.first, colours.second, m_settings.width, m_settings.height, m_settings.fps);
    return std::string(source) + EncoderPart() + " ! appsink name=out sync=false max-buffers=8";
}

bool CEncoder::Start(std::string& error) {
    GError* parseError = nullptr;
    m_pipeline = gst_parse_launch(LaunchLine().c_str(), &parseError);
    if (!m_pipeline || parseError) {
        error = parseError ? parseError->message : "cannot build the encoder";
        if (parseError) g_error_free(parseError);
        return false;
    }
    GstBus* bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, &CEncoder::OnBusMessageThunk, this, nullptr);
    gst_object_unref(bus);

    m_encoder = gst_bin_get_by_name(GST_BIN(m_pipeline), "enc");
    if (m_encoder) gst_object_unref(m_encoder);  // the pipeline keeps it alive
    GstElement* raw = gst_bin_get_by_name(GST_BIN(m_pipeline), "raw");
    GstPad* rawPad = gst_element_get_static_pad(raw, "src");
    gst_pad_add_probe(rawPad, GST_PAD_PROBE_TYPE_BUFFER, &CEncoder::OnRawBufferThunk, this, nullptr);
    gst_object_unref(rawPad);
    gst_object_unref(raw);

    GstElement* out = gst_bin_get_by_name(GST_BIN(m_pipeline), "out");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &CEncoder::OnNewSampleThunk;
    gst_app_sink_set_callbacks(GST_APP_SINK(out), &callbacks, this, nullptr);
    gst_object_unref(out);

    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        error = "the encoder does not start";
        return false;
    }
    return true;
}

GstCaps* CEncoder::WaitForCaps(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_capsReady.wait_for(lock, timeout, [this] { return m_caps != nullptr; });
    return m_caps ? gst_caps_ref(m_caps) : nullptr;
}

void CEncoder::Subscribe(const std::shared_ptr<IFrameSubscriber>& subscriber) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_subscribers.push_back(SSubscriber{subscriber, subscriber.get(), true});
    }
    // A newcomer should not wait a whole key interval for its first picture.
    RequestKeyFrame();
}

void CEncoder::Unsubscribe(const IFrameSubscriber* subscriber) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::erase_if(m_subscribers, [subscriber](const SSubscriber& s) { return s.id == subscriber; });
}

void CEncoder::RequestKeyFrame() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_keyRequested || !m_encoder) return;
        m_keyRequested = true;
    }
    GstPad* pad = gst_element_get_static_pad(m_encoder, "src");
    if (!pad) return;
    gst_pad_send_event(pad, gst_video_event_new_upstream_force_key_unit(GST_CLOCK_TIME_NONE, TRUE, 0));
    gst_object_unref(pad);
}

void CEncoder::PaintCounter(GstPadProbeInfo* info) {
    GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &m_rawInfo, buffer, GST_MAP_WRITE)) return;
    CFramePainter::Paint(static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                         GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), m_settings.width, m_settings.height,
                         m_paintedFrames++);
    gst_video_frame_unmap(&frame);
}

void CEncoder::OnSample(GstSample* sample) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (!buffer) return;
    // The encoder keeps picture order and drops nothing, so the n-th output carries counter n.
    auto frame = std::make_shared<const CEncodedFrame>(buffer, m_encodedFrames++);
    const bool paused = m_faults.Paused();
    std::vector<std::shared_ptr<IFrameSubscriber>> receivers;
    bool needKey = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_caps) {
            if (GstCaps* caps = gst_sample_get_caps(sample)) m_caps = gst_caps_ref(caps);
            m_capsReady.notify_all();
        }
        if (frame->IsKey()) m_keyRequested = false;
        if (paused) {
            m_pauseSeen = true;
            return;
        }
        for (SSubscriber& s : m_subscribers) {
            // A decoder that missed pictures can only resume at a key picture.
            if (m_pauseSeen) s.waitingForKey = true;
            if (s.waitingForKey && frame->IsKey()) s.waitingForKey = false;
            if (s.waitingForKey) {
                needKey = true;
                continue;
            }
            if (auto sink = s.sink.lock()) receivers.push_back(std::move(sink));
        }
        m_pauseSeen = false;
    }
    if (needKey) RequestKeyFrame();
    for (const auto& receiver : receivers) receiver->OnFrame(frame);
}

GstFlowReturn CEncoder::OnNewSampleThunk(GstAppSink* sink, gpointer self) {
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample) return GST_FLOW_EOS;
    static_cast<CEncoder*>(self)->OnSample(sample);
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

GstPadProbeReturn CEncoder::OnRawBufferThunk(GstPad*, GstPadProbeInfo* info, gpointer self) {
    static_cast<CEncoder*>(self)->PaintCounter(info);
    return GST_PAD_PROBE_OK;
}

GstBusSyncReply CEncoder::OnBusMessageThunk(GstBus*, GstMessage* message, gpointer) {
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        std::fprintf(stderr, "camsim: encoder error: %s\n", error ? error->message : "unknown");
        if (error) g_error_free(error);
    }
    return GST_BUS_DROP;
}

}  // namespace camsim
