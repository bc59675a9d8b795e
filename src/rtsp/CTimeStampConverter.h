// Capture times of RTP pictures: the wall clock when a picture completes,
// kept strictly increasing in steps of at least 1 ms. The RTP time stamp only
// tells a new picture time from a repeated one; a picture stamped ahead of
// the clock is paid back by stamping later pictures 1 ms behind it.
#pragma once

#include <cstdint>

#include "wrenfield/Platform.h"

namespace talvex {

class CTimeStampConverter {
public:
    // The wall clock as a file time (100 ns units since 1601, UTC); 0 when
    // it cannot be read.
    using FileTimeClock = uint64_t (*)();

    CTimeStampConverter();
    explicit CTimeStampConverter(FileTimeClock clock) : m_clock(clock) {}
    virtual ~CTimeStampConverter() = default;

    // A picture with this RTP time stamp is complete.
    void Update(uint32_t rtpTime);
    // The time of the last picture; the current time before the first.
    void GetFrameTime(SYSTEMTIME& time) const;

    uint64_t FrameTime() const { return m_frameTime; }
    uint16_t Adjustments() const { return m_adjustments; }

private:
    FileTimeClock m_clock;
    uint64_t m_frameTime = 0;
    uint32_t m_lastRtpTime = 0;
    uint16_t m_adjustments = 0;  // pictures stamped ahead of the clock, not yet paid back
};

}  // namespace talvex
