#include "CRtpImpairment.h"

#include <gst/gst.h>

#include <random>
#include <vector>

namespace camsim {

// The state of one payloader's probe: its generator and the packet it holds back to send after
// the next one.
struct SRtpProbe {
    SRtpProbe(CRtpImpairment* impairments, std::uint32_t number) : owner(impairments), pipeline(number) {}
    SRtpProbe(const SRtpProbe&) = delete;
    SRtpProbe& operator=(const SRtpProbe&) = delete;

    CRtpImpairment* owner;
    std::uint32_t pipeline;
    std::uint64_t generation = ~std::uint64_t{0};
    SRtpImpairment impairment;
    std::mt19937 random;
    GstBuffer* held = nullptr;

    ~SRtpProbe() {
        if (held) gst_buffer_unref(held);
    }

    bool Chance(int percent) {
        return percent > 0 && static_cast<int>(random() % 100u) < percent;
    }

    // What goes out in place of one packet (each with a reference of its own).
    void Treat(GstBuffer* packet, std::vector<GstBuffer*>& out) {
        if (Chance(impairment.lossPercent)) {
            ++owner->m_dropped;
            return;
        }
        if (!held && Chance(impairment.reorderPercent)) {
            held = gst_buffer_ref(packet);
            ++owner->m_reordered;
            return;
        }
        out.push_back(gst_buffer_ref(packet));
        if (Chance(impairment.duplicatePercent)) {
            out.push_back(gst_buffer_ref(packet));
            ++owner->m_duplicated;
        }
        if (held) {
            out.push_back(held);
            held = nullptr;
        }
    }
};

namespace {

// Set while a probe sends its own packets through the pad it watches.
thread_local bool tSending = false;

GstPadProbeReturn OnPackets(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    if (tSending) return GST_PAD_PROBE_OK;
    auto* probe = static_cast<SRtpProbe*>(data);
    std::uint64_t generation = 0;
    const SRtpImpairment now = probe->owner->Snapshot(generation);
    if (generation != probe->generation) {
        probe->generation = generation;
        probe->impairment = now;
        probe->random.seed(now.seed ^ (probe->pipeline * 0x9E3779B9u));
    }
    if (!probe->impairment.Active() && !probe->held) return GST_PAD_PROBE_OK;

    std::vector<GstBuffer*> in;
    if (GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info); buffer && (info->type & GST_PAD_PROBE_TYPE_BUFFER)) {
        in.push_back(buffer);
    } else if (GstBufferList* list = GST_PAD_PROBE_INFO_BUFFER_LIST(info);
               list && (info->type & GST_PAD_PROBE_TYPE_BUFFER_LIST)) {
        for (guint i = 0; i < gst_buffer_list_length(list); ++i) in.push_back(gst_buffer_list_get(list, i));
    } else {
        return GST_PAD_PROBE_OK;
    }
    std::vector<GstBuffer*> out;
    out.reserve(in.size() + 2);
    for (GstBuffer* packet : in) probe->Treat(packet, out);
    // The packets go out one by one in their new order; the original is dropped.
    tSending = true;
    for (GstBuffer* packet : out) gst_pad_push(pad, packet);
    tSending = false;
    return GST_PAD_PROBE_DROP;
}

}  // namespace

void CRtpImpairment::Set(const SRtpImpairment& impairment) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_impairment = impairment;
    ++m_generation;
    m_pipelines = 0;
}

SRtpImpairment CRtpImpairment::Get() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_impairment;
}

SRtpImpairment CRtpImpairment::Snapshot(std::uint64_t& generation) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    generation = m_generation;
    return m_impairment;
}

void CRtpImpairment::Attach(GstElement* bin) {
    GstElement* payloader = gst_bin_get_by_name_recurse_up(GST_BIN(bin), "pay0");
    if (!payloader) return;
    GstPad* pad = gst_element_get_static_pad(payloader, "src");
    gst_object_unref(payloader);
    if (!pad) return;
    std::uint32_t number = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        number = m_pipelines++;
    }
    auto* probe = new SRtpProbe(this, number);
    gst_pad_add_probe(pad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                      &OnPackets, probe, [](gpointer data) { delete static_cast<SRtpProbe*>(data); });
    gst_object_unref(pad);
}

}  // namespace camsim
