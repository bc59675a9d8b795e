#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace camsim {

struct SLoggedRequest {
    std::uint64_t sequence = 0;  // 1 for the first request the camera received
    std::string protocol;        // "http" or "rtsp"
    std::string method;
    std::string path;            // HTTP: path only; RTSP: the request URL
    std::string query;           // HTTP: raw query text after "?"
    std::string authorization;   // Authorization header as received, empty when absent
    std::int64_t timeMs = 0;     // wall clock, milliseconds since 1970
    int status = 0;              // the status the camera answered (RTSP: 0, decided later)
};

// Every request the camera received, oldest first, for tests to inspect. Bounded: beyond
// kCapacity entries the oldest are forgotten (sequence numbers keep counting).
class CRequestLog {
public:
    static constexpr std::size_t kCapacity = 100000;

    void Add(SLoggedRequest entry);
    std::vector<SLoggedRequest> Since(std::uint64_t sequence) const;  // entries after it
    void Clear();

private:
    mutable std::mutex m_mutex;  // guards both members
    std::deque<SLoggedRequest> m_entries;
    std::uint64_t m_nextSequence = 1;
};

}  // namespace camsim
