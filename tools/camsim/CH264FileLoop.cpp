#include "CH264FileLoop.h"

#include <gst/app/gstappsink.h>

#include <algorithm>

namespace camsim {
namespace {

// The pacing falls back to the clock rather than catch up with a burst after a stall.
constexpr auto kMaxLate = std::chrono::milliseconds(500);

}  // namespace

CH264FileLoop::CH264FileLoop(std::string path, const CFaultState& faults, bool lockstep)
    : m_path(std::move(path)), m_faults(faults), m_lockstep(lockstep), m_epoch(Clock::now()) {}

CH264FileLoop::~CH264FileLoop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
    if (m_caps) gst_caps_unref(m_caps);
}

bool CH264FileLoop::Load(std::string& error) {
    // h264parse finds the access units and marks the key ones; the pictures are kept as parsed.
    GstElement* pipeline = gst_pipeline_new("h264-file");
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* parser = gst_element_factory_make("h264parse", nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!pipeline || !source || !parser || !filter || !sink) {
        error = "--h264-file needs the GStreamer elements filesrc, h264parse and appsink";
        for (GstElement* e : {pipeline, source, parser, filter, sink})
            if (e) gst_object_unref(e);
        return false;
    }
    g_object_set(source, "location", m_path.c_str(), nullptr);
    GstCaps* wanted = gst_caps_from_string("video/x-h264,stream-format=byte-stream,alignment=au");
    g_object_set(filter, "caps", wanted, nullptr);
    gst_caps_unref(wanted);
    g_object_set(sink, "sync", FALSE, "max-buffers", 0u, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, parser, filter, sink, nullptr);
    gst_element_link_many(source, parser, filter, sink, nullptr);
    // A file that cannot be opened fails the state change; a broken one ends the stream early.
    const bool started = gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    while (GstSample* sample = started ? gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND) : nullptr) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        const bool key = buffer && !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
        // The loop starts, and restarts, at a key picture.
        if (buffer && (key || !m_pictures.empty()))
            m_pictures.push_back(std::make_shared<const CEncodedFrame>(buffer, m_pictures.size()));
        if (!m_caps)
            if (GstCaps* caps = gst_sample_get_caps(sample)) m_caps = gst_caps_ref(caps);
        gst_sample_unref(sample);
    }
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* failure = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    if (failure) {
        GError* gerror = nullptr;
        gst_message_parse_error(failure, &gerror, nullptr);
        error = "--h264-file " + m_path + ": " + (gerror ? gerror->message : "cannot be read");
        if (gerror) g_error_free(gerror);
        gst_message_unref(failure);
    }
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    if (failure || !started) {
        if (error.empty()) error = "--h264-file " + m_path + ": cannot be read";
        return false;
    }
    if (m_pictures.empty() || !m_caps) {
        error = "--h264-file " + m_path + ": no key picture found";
        return false;
    }
    const GstStructure* format = gst_caps_get_structure(m_caps, 0);
    int num = 0, den = 0;
    if (gst_structure_get_fraction(format, "framerate", &num, &den) && num > 0 && den > 0) {
        m_fpsNumerator = num;
        m_fpsDenominator = den;
    }
    return true;
}

GstCaps* CH264FileLoop::WaitForCaps(std::chrono::milliseconds) { return m_caps ? gst_caps_ref(m_caps) : nullptr; }

void CH264FileLoop::Subscribe(const std::shared_ptr<IFrameSubscriber>& subscriber) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_subscribers.push_back(SSubscriber{subscriber, subscriber.get(), 0, FirstDue(Clock::now()), false});
        ++m_subscriptions;
        if (!m_thread.joinable() && !m_pictures.empty()) m_thread = std::thread([this] { Run(); });
    }
    // The new session's first picture is due now, perhaps before the one the thread waits for.
    m_wake.notify_all();
}

CH264FileLoop::Clock::time_point CH264FileLoop::FirstDue(Clock::time_point now) const {
    if (!m_lockstep) return now;
    // The next tick of the one clock every subscriber shares.
    const auto period = Period();
    return m_epoch + ((now - m_epoch) / period + 1) * period;
}

CH264FileLoop::Clock::duration CH264FileLoop::Period() const {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(m_fpsDenominator) / m_fpsNumerator));
}

void CH264FileLoop::Unsubscribe(const IFrameSubscriber* subscriber) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::erase_if(m_subscribers, [subscriber](const SSubscriber& s) { return s.id == subscriber; });
}

void CH264FileLoop::Run() {
    auto due = Clock::now();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            const uint64_t subscriptions = m_subscriptions;
            // A new subscriber wakes the thread: its first picture is due at once.
            if (m_wake.wait_until(lock, due, [&] { return m_stopping || m_subscriptions != subscriptions; }) &&
                m_stopping)
                return;
        }
        due = Deliver(Clock::now());
    }
}

CH264FileLoop::Clock::time_point CH264FileLoop::Deliver(Clock::time_point now) {
    const auto period = Period();
    std::vector<std::pair<std::shared_ptr<IFrameSubscriber>, std::shared_ptr<const CEncodedFrame>>> sends;
    auto next = now + period;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const bool paused = m_faults.Paused();
        for (SSubscriber& s : m_subscribers) {
            if (s.due <= now) {
                s.due += period;
                // The pacing falls back to the clock rather than catch up with a burst after a stall.
                if (now - s.due > kMaxLate) s.due = m_lockstep ? FirstDue(now) : now + period;
                if (paused) {
                    s.restart = true;
                } else {
                    // A decoder that missed pictures can only resume at a key picture: the first.
                    if (s.restart) s.next = 0;
                    s.restart = false;
                    const std::size_t index = s.next;
                    s.next = (s.next + 1) % m_pictures.size();
                    if (auto sink = s.sink.lock()) sends.emplace_back(std::move(sink), m_pictures[index]);
                }
            }
            next = std::min(next, s.due);
        }
    }
    for (const auto& [receiver, frame] : sends) receiver->OnFrame(frame);
    return next;
}

}  // namespace camsim
