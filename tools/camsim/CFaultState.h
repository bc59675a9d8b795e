#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "CRtpImpairment.h"

namespace camsim {

// Faults a test has asked the camera to show. Read by the web server, the RTSP server and the
// encoders; written by the control API.
class CFaultState {
public:
    enum class EScope { Http, Rtsp, All };

    // Picture sending stops (connections stay open) until resumed.
    void SetPaused(bool paused) { m_paused.store(paused); }
    bool Paused() const { return m_paused.load(); }

    // Each drop bumps the generation; a stream that sees a newer generation than it started
    // with closes its connection.
    std::uint64_t DropGeneration() const { return m_dropGeneration.load(); }
    void BumpDropGeneration() { ++m_dropGeneration; }

    // The next count requests of the scope are answered with status instead of their page.
    void ForceStatus(int status, int count, EScope scope);
    // Every request of the scope is answered with status for the next ms milliseconds (a camera
    // whose password was changed for a while, say), whatever count was asked.
    void ForceStatusFor(int status, int ms, EScope scope);
    // Consumes one forced answer when one is pending for a request of this protocol.
    std::optional<int> TakeForcedStatus(EScope protocol);
    int PendingForcedCount() const;
    // Milliseconds left of ForceStatusFor (0 when none).
    long long ForcedMsLeft() const;

    // The next count HTTP requests are answered only after ms milliseconds, to keep a client
    // busy in a request.
    void DelayNext(int ms, int count);
    // Consumes one pending delay (0 when none).
    int TakeDelayMs();
    int PendingDelayCount() const;
    // Holds the calling request for ms, or until Reset lets every delayed request go on.
    void WaitDelay(int ms);
    int DelayedRequests() const;

    // A firewall that drops UDP on the way to the client while RTSP passes: sessions that start
    // playing while this is on get every request answered as usual, yet none of their RTP or RTCP
    // is sent to the client's UDP ports. Interleaved sessions are not touched.
    void SetUdpDropped(bool dropped) { m_udpDropped.store(dropped); }
    bool UdpDropped() const { return m_udpDropped.load(); }
    // One client UDP destination (an RTP or an RTCP port) was withheld.
    void CountWithheldDestination() { ++m_withheldDestinations; }
    std::uint64_t WithheldDestinations() const { return m_withheldDestinations.load(); }

    // The next count RTSP requests whose method is method (any method when empty) are held
    // before they are answered: for ms milliseconds, or until released when ms is 0.
    void HoldRtspNext(int ms, int count, const std::string& method);
    // Consumes one pending hold that applies to a request of method.
    std::optional<int> TakeRtspHold(const std::string& method);
    // Holds the calling request for what TakeRtspHold gave, or until ReleaseRtspHolds.
    void WaitRtspHold(int ms);
    // Lets every held request go on to its answer; waits (up to timeout) until none is held.
    void ReleaseRtspHolds(std::chrono::milliseconds timeout);
    int PendingRtspHoldCount() const;
    int HeldRtspRequests() const;

    // Loss, reordering and duplicates of the RTP packets sent.
    CRtpImpairment& Rtp() { return m_rtp; }
    const CRtpImpairment& Rtp() const { return m_rtp; }

    // Back to no faults; held and delayed requests are released.
    void Reset();

private:
    std::atomic<bool> m_paused{false};
    std::atomic<std::uint64_t> m_dropGeneration{0};
    mutable std::mutex m_mutex;  // guards the forced-status and delay fields
    int m_forcedStatus = 0;
    int m_forcedCount = 0;
    EScope m_forcedScope = EScope::Http;
    int m_delayMs = 0;
    int m_delayCount = 0;
    std::chrono::steady_clock::time_point m_forcedUntil{};
    int m_timedStatus = 0;
    EScope m_timedScope = EScope::Http;
    std::condition_variable m_delayReleased;  // with m_mutex
    std::uint64_t m_delayGeneration = 0;
    int m_delayedRequests = 0;
    CRtpImpairment m_rtp;
    std::atomic<bool> m_udpDropped{false};
    std::atomic<std::uint64_t> m_withheldDestinations{0};
    std::condition_variable m_holdChanged;  // with m_mutex: a release, or a held request left
    int m_holdMs = 0;
    int m_holdCount = 0;
    std::string m_holdMethod;
    std::uint64_t m_releaseGeneration = 0;
    int m_heldRequests = 0;
};

}  // namespace camsim
