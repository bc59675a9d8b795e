#pragma once

#include "CFaultState.h"
#include "CamSimTypes.h"
#include "IFrameSource.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace camsim {

// One running encoding: a live moving test picture with the frame counter stamped in,
// encoded with the given settings and handed to every subscriber as it comes out.
// A subscriber's first picture is always a key picture; while sending is paused no picture
// goes out, and after a pause every subscriber starts again at a key picture.
class CEncoder : public IFrameSource {
public:
    // pattern selects the colours, so that channels can be told apart.
    CEncoder(const SVideoSettings& settings, int pattern, const CFaultState& faults);
    ~CEncoder() override;
    CEncoder(const CEncoder&) = delete;
    CEncoder& operator=(const CEncoder&) = delete;

    bool Start(std::string& error);
    const SVideoSettings& Settings() const { return m_settings; }

    // The stream format once the first picture came out (a new reference), or nullptr.
    GstCaps* WaitForCaps(std::chrono::milliseconds timeout) override;

    void Subscribe(const std::shared_ptr<IFrameSubscriber>& subscriber) override;
    void Unsubscribe(const IFrameSubscriber* subscriber) override;

private:
    struct SSubscriber {
        std::weak_ptr<IFrameSubscriber> sink;
        const IFrameSubscriber* id = nullptr;
        bool waitingForKey = true;
    };

    std::string LaunchLine() const;
    std::string EncoderPart() const;
    void RequestKeyFrame();
    void OnSample(GstSample* sample);
    void PaintCounter(GstPadProbeInfo* info);

    static GstFlowReturn OnNewSampleThunk(GstAppSink* sink, gpointer self);
    static GstPadProbeReturn OnRawBufferThunk(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstBusSyncReply OnBusMessageThunk(GstBus* bus, GstMessage* message, gpointer self);

    const SVideoSettings m_settings;
    const int m_pattern;
    const CFaultState& m_faults;
    GstElement* m_pipeline = nullptr;
    GstElement* m_encoder = nullptr;  // owned by the pipeline
    GstVideoInfo m_rawInfo{};
    std::uint64_t m_paintedFrames = 0;  // touched only on the raw streaming thread
    std::uint64_t m_encodedFrames = 0;  // touched only on the appsink streaming thread
    bool m_pauseSeen = false;           // likewise

    std::mutex m_mutex;  // guards the members below
    std::condition_variable m_capsReady;
    GstCaps* m_caps = nullptr;
    std::vector<SSubscriber> m_subscribers;
    bool m_keyRequested = false;
};

}  // namespace camsim
