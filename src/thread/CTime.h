#pragma once

#include <cstdint>

#include "thread/CRecursiveLock.h"

namespace talvex {

// A moment in file-time units (100 ns, UTC), such as a channel's last
// picture; safe to touch and read from different threads.
class CTime {
public:
    CTime();
    virtual ~CTime() = default;

    void Touch();
    // Milliseconds since the stored moment; 0 when the clock is not past it.
    uint64_t ElapsedMs();
    uint64_t FileTime();

private:
    CRecursiveLock m_lock;   // guards m_fileTime
    uint64_t m_fileTime = 0;
};

}  // namespace talvex
