// Deadlines on the monotonic clock for condition-variable waits.
#pragma once

#include <time.h>

#include <cstdint>

namespace talvex::platform {

inline timespec DeadlineAfterMs(uint32_t timeoutMs) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Capped so that "forever" never overflows time_t arithmetic.
    uint64_t ms = timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFFu : timeoutMs;
    now.tv_sec += static_cast<time_t>(ms / 1000);
    now.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (now.tv_nsec >= 1000000000L) {
        now.tv_sec += 1;
        now.tv_nsec -= 1000000000L;
    }
    return now;
}

}  // namespace talvex::platform
