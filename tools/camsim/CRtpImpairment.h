#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

typedef struct _GstElement GstElement;

namespace camsim {

// How the camera's RTP sender mistreats its packets: each figure is the chance, in percent, that
// one packet is lost, sent after the packet that follows it, or sent twice.
struct SRtpImpairment {
    int lossPercent = 0;
    int reorderPercent = 0;
    int duplicatePercent = 0;
    std::uint32_t seed = 1;

    bool Active() const { return lossPercent > 0 || reorderPercent > 0 || duplicatePercent > 0; }
};

// Packet faults of a bad network, made on the camera's side so that no privileged network set-up
// is needed: every RTP packet a media pipeline's payloader sends passes a probe that loses,
// reorders or duplicates it. Each pipeline draws from its own generator, seeded from the seed and
// the pipeline's number since the impairment was set, so that a run can be repeated.
class CRtpImpairment {
public:
    // Applies to every packet from now on, in running sessions too.
    void Set(const SRtpImpairment& impairment);
    SRtpImpairment Get() const;

    // Installs the probe on the payloader "pay0" of a media pipeline's bin.
    void Attach(GstElement* bin);

    std::uint64_t Dropped() const { return m_dropped.load(); }
    std::uint64_t Reordered() const { return m_reordered.load(); }
    std::uint64_t Duplicated() const { return m_duplicated.load(); }

    // The settings a probe works with, and the generation they belong to (bumped by Set).
    SRtpImpairment Snapshot(std::uint64_t& generation) const;

private:
    friend struct SRtpProbe;

    mutable std::mutex m_mutex;  // guards m_impairment, m_generation and m_pipelines
    SRtpImpairment m_impairment;
    std::uint64_t m_generation = 0;
    std::uint32_t m_pipelines = 0;
    std::atomic<std::uint64_t> m_dropped{0};
    std::atomic<std::uint64_t> m_reordered{0};
    std::atomic<std::uint64_t> m_duplicated{0};
};

}  // namespace camsim
