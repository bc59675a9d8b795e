#include "CRequestLog.h"

#include <chrono>

namespace camsim {

void CRequestLog::Add(SLoggedRequest entry) {
    if (entry.timeMs == 0)
        entry.timeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    std::lock_guard<std::mutex> lock(m_mutex);
    entry.sequence = m_nextSequence++;
    m_entries.push_back(std::move(entry));
    if (m_entries.size() > kCapacity) m_entries.pop_front();
}

std::vector<SLoggedRequest> CRequestLog::Since(std::uint64_t sequence) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<SLoggedRequest> entries;
    for (const SLoggedRequest& entry : m_entries)
        if (entry.sequence > sequence) entries.push_back(entry);
    return entries;
}

void CRequestLog::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}

}  // namespace camsim
