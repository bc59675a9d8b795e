#include "rtsp/LatencyProbe.h"

#ifdef WRENFIELD_LATENCY_PROBE

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace talvex::latency {

namespace {

// Bucket upper bounds in microseconds: 1 µs steps to 100 µs, 10 µs to 2 ms,
// 100 µs to 20 ms, 1 ms to 1 s, then one bucket for everything longer.
constexpr int64_t BoundOf(std::size_t index) {
    if (index < 100) return static_cast<int64_t>(index) + 1;
    index -= 100;
    if (index < 190) return 100 + 10 * (static_cast<int64_t>(index) + 1);
    index -= 190;
    if (index < 180) return 2000 + 100 * (static_cast<int64_t>(index) + 1);
    index -= 180;
    if (index < 980) return 20000 + 1000 * (static_cast<int64_t>(index) + 1);
    return INT64_MAX;
}
constexpr std::size_t kBuckets = 100 + 190 + 180 + 980 + 1;

std::size_t BucketOf(int64_t us) {
    if (us <= 100) return us <= 1 ? 0 : static_cast<std::size_t>(us - 1);
    if (us <= 2000) return 100 + static_cast<std::size_t>((us - 100 + 9) / 10) - 1;
    if (us <= 20000) return 290 + static_cast<std::size_t>((us - 2000 + 99) / 100) - 1;
    if (us <= 1000000) return 470 + static_cast<std::size_t>((us - 20000 + 999) / 1000) - 1;
    return kBuckets - 1;
}

class CHistogram {
public:
    ~CHistogram() {
        const char* path = std::getenv("WRENFIELD_LATENCY_FILE");
        if (path == nullptr || *path == '\0') return;
        FILE* file = std::fopen(path, "w");
        if (file == nullptr) return;
        std::fprintf(file, "# marker packet received -> OnFrame; upper bound (us), pictures\n");
        std::fprintf(file, "# max_ns %lld\n", static_cast<long long>(m_maxNs.load()));
        for (std::size_t i = 0; i < kBuckets; ++i) {
            const uint64_t count = m_counts[i].load();
            if (count != 0)
                std::fprintf(file, "%lld %llu\n", static_cast<long long>(i + 1 < kBuckets ? BoundOf(i) : 1000000000),
                             static_cast<unsigned long long>(count));
        }
        std::fclose(file);
    }
    void Add(int64_t ns) {
        m_counts[BucketOf((ns + 999) / 1000)].fetch_add(1, std::memory_order_relaxed);
        int64_t seen = m_maxNs.load(std::memory_order_relaxed);
        while (ns > seen && !m_maxNs.compare_exchange_weak(seen, ns, std::memory_order_relaxed)) {
        }
    }

private:
    std::array<std::atomic<uint64_t>, kBuckets> m_counts{};
    std::atomic<int64_t> m_maxNs{0};
};

CHistogram g_histogram;
thread_local int64_t t_packetReceived = 0;

}  // namespace

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SetPacketReceived(int64_t receivedNs) { t_packetReceived = receivedNs; }

void RecordPictureDelivered() {
    if (t_packetReceived != 0) g_histogram.Add(Now() - t_packetReceived);
}

}  // namespace talvex::latency

#endif
