#include "CFaultState.h"

namespace camsim {
namespace {

// How long a reset waits for held RTSP requests to move on to their answers.
constexpr std::chrono::milliseconds kReleaseWait{2000};

}  // namespace

void CFaultState::ForceStatus(int status, int count, EScope scope) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_forcedStatus = status;
    m_forcedCount = count;
    m_forcedScope = scope;
}

void CFaultState::ForceStatusFor(int status, int ms, EScope scope) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_timedStatus = status;
    m_timedScope = scope;
    m_forcedUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

std::optional<int> CFaultState::TakeForcedStatus(EScope protocol) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (std::chrono::steady_clock::now() < m_forcedUntil &&
        (m_timedScope == EScope::All || m_timedScope == protocol))
        return m_timedStatus;
    if (m_forcedCount <= 0) return std::nullopt;
    if (m_forcedScope != EScope::All && m_forcedScope != protocol) return std::nullopt;
    --m_forcedCount;
    return m_forcedStatus;
}

long long CFaultState::ForcedMsLeft() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_forcedUntil - std::chrono::steady_clock::now());
    return left.count() > 0 ? left.count() : 0;
}

int CFaultState::PendingForcedCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_forcedCount;
}

void CFaultState::DelayNext(int ms, int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_delayMs = ms;
    m_delayCount = count;
}

int CFaultState::TakeDelayMs() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_delayCount <= 0) return 0;
    --m_delayCount;
    return m_delayMs;
}

int CFaultState::PendingDelayCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_delayCount;
}

void CFaultState::WaitDelay(int ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::uint64_t generation = m_delayGeneration;
    ++m_delayedRequests;
    m_delayReleased.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_delayGeneration != generation; });
    --m_delayedRequests;
}

int CFaultState::DelayedRequests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_delayedRequests;
}

void CFaultState::HoldRtspNext(int ms, int count, const std::string& method) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_holdMs = ms;
    m_holdCount = count;
    m_holdMethod = method;
}

std::optional<int> CFaultState::TakeRtspHold(const std::string& method) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_holdCount <= 0) return std::nullopt;
    if (!m_holdMethod.empty() && m_holdMethod != method) return std::nullopt;
    --m_holdCount;
    return m_holdMs;
}

void CFaultState::WaitRtspHold(int ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::uint64_t generation = m_releaseGeneration;
    ++m_heldRequests;
    const auto released = [&] { return m_releaseGeneration != generation; };
    if (ms > 0)
        m_holdChanged.wait_for(lock, std::chrono::milliseconds(ms), released);
    else
        m_holdChanged.wait(lock, released);
    --m_heldRequests;
    m_holdChanged.notify_all();
}

void CFaultState::ReleaseRtspHolds(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_releaseGeneration;
    m_holdChanged.notify_all();
    m_holdChanged.wait_for(lock, timeout, [&] { return m_heldRequests == 0; });
}

int CFaultState::PendingRtspHoldCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_holdCount;
}

int CFaultState::HeldRtspRequests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_heldRequests;
}

void CFaultState::Reset() {
    m_paused.store(false);
    m_udpDropped.store(false);
    m_withheldDestinations.store(0);
    m_rtp.Set({});
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_forcedCount = 0;
        m_forcedStatus = 0;
        m_delayCount = 0;
        m_delayMs = 0;
        m_forcedUntil = {};
        ++m_delayGeneration;
        m_delayReleased.notify_all();
        m_holdCount = 0;
        m_holdMs = 0;
        m_holdMethod.clear();
    }
    ReleaseRtspHolds(kReleaseWait);
}

}  // namespace camsim
