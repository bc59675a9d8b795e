#include "rtsp/CTimeStampConverter.h"

#include "platform/PlatformTime.h"

namespace talvex {

namespace {

constexpr int64_t kOneMs = 10000;  // in file-time units
// RTP ticks are scaled by this much before comparing with kOneMs: 100 ticks,
// about 1.1 ms at 90 kHz, count as a new picture time.
constexpr int64_t kRtpScale = 100;

}  // namespace

CTimeStampConverter::CTimeStampConverter() : m_clock(&platform::FileTimeNow) {}

void CTimeStampConverter::Update(uint32_t rtpTime) {
    const uint64_t now = m_clock != nullptr ? m_clock() : 0;
    if (now == 0 || rtpTime == 0) return;
    if (m_frameTime != 0 && m_lastRtpTime != 0) {
        const int64_t rtpAdvance = (static_cast<int64_t>(rtpTime) - static_cast<int64_t>(m_lastRtpTime)) * kRtpScale;
        const int64_t wallAdvance = static_cast<int64_t>(now - m_frameTime);
        if (rtpAdvance > kOneMs && wallAdvance > kOneMs) {
            if (m_adjustments != 0) {
                m_frameTime = now - kOneMs;
                --m_adjustments;
            } else {
                m_frameTime = now;
            }
        } else {
            // A repeated time, or pictures completing within the same
            // millisecond: keep every picture time distinct.
            m_frameTime += kOneMs;
            // The count only decides how many later pictures are stamped
            // behind the clock; saturate it rather than wrap.
            if (m_adjustments != UINT16_MAX) ++m_adjustments;
        }
    } else {
        m_frameTime = now;
    }
    m_lastRtpTime = rtpTime;
}

void CTimeStampConverter::GetFrameTime(SYSTEMTIME& time) const {
    if (m_frameTime != 0 && m_lastRtpTime != 0 && platform::FileTimeToSystemTime(m_frameTime, time)) return;
    time = platform::SystemTimeNow();
}

}  // namespace talvex
