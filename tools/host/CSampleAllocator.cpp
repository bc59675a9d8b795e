#include "CSampleAllocator.h"

#include <chrono>
#include <new>

namespace wfhost {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

}  // namespace

int64_t CHostSample::UtcNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int64_t CHostSample::ToUnixMs(const SYSTEMTIME& time) {
    if (time.wMonth < 1 || time.wMonth > 12 || time.wDay < 1 || time.wDay > 31) return 0;
    const int64_t days = DaysFromCivil(time.wYear, time.wMonth, time.wDay);
    return ((days * 24 + time.wHour) * 60 + time.wMinute) * 60000 + time.wSecond * 1000 + time.wMilliseconds;
}

void CHostSample::SetTimeNow() { m_timeMs = UtcNowMs(); }

void CHostSample::SetTime(const SYSTEMTIME* utcTime) {
    if (utcTime != nullptr) m_timeMs = ToUnixMs(*utcTime);
}

talvex::ipcapture::IHostMediaSample* CSampleAllocator::CreateSample(unsigned int, unsigned int bufferSize,
                                                                    const char*) {
    // A refused sample drops one picture; the driver goes on with the next.
    try {
        return new CHostSample(bufferSize);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void CSampleAllocator::ReleaseSample(talvex::ipcapture::IHostMediaSample* sample) {
    delete static_cast<CHostSample*>(sample);
}

}  // namespace wfhost
