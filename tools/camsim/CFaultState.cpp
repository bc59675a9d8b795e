#include "CFaultState.h"

namespace camsim {

void CFaultState::ForceStatus(int status, int count, EScope scope) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_forcedStatus = status;
    m_forcedCount = count;
    m_forcedScope = scope;
}

std::optional<int> CFaultState::TakeForcedStatus(EScope protocol) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_forcedCount <= 0) return std::nullopt;
    if (m_forcedScope != EScope::All && m_forcedScope != protocol) return std::nullopt;
    --m_forcedCount;
    return m_forcedStatus;
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

void CFaultState::Reset() {
    m_paused.store(false);
    m_udpDropped.store(false);
    m_withheldDestinations.store(0);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_forcedCount = 0;
    m_forcedStatus = 0;
    m_delayCount = 0;
    m_delayMs = 0;
}

}  // namespace camsim
