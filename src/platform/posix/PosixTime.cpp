#include <time.h>

#include "platform/PlatformTime.h"

namespace talvex::platform {

namespace {

constexpr uint64_t kUnitsPerMs = 10000;
constexpr uint64_t kUnitsPerDay = 86400ull * 1000 * kUnitsPerMs;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kDaysTo1970 = 134774;

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's
// days_from_civil).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool IsLeap(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

uint64_t FileTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return kFileTimeUnixEpoch + static_cast<uint64_t>(now.tv_sec) * 10000000ull +
           static_cast<uint64_t>(now.tv_nsec) / 100;
}

SYSTEMTIME SystemTimeNow() {
    SYSTEMTIME time{};
    FileTimeToSystemTime(FileTimeNow(), time);
    return time;
}

bool SystemTimeToFileTime(const SYSTEMTIME& time, uint64_t& fileTime) {
    if (time.wYear < 1601 || time.wYear > 30827 || time.wMonth < 1 || time.wMonth > 12 || time.wDay < 1 ||
        time.wDay > DaysInMonth(time.wYear, time.wMonth) || time.wHour > 23 || time.wMinute > 59 ||
        time.wSecond > 59 || time.wMilliseconds > 999)
        return false;
    const int64_t days = DaysFromCivil(time.wYear, time.wMonth, time.wDay) + kDaysTo1970;
    const uint64_t ms = ((static_cast<uint64_t>(time.wHour) * 60 + time.wMinute) * 60 + time.wSecond) * 1000 +
                        time.wMilliseconds;
    fileTime = static_cast<uint64_t>(days) * kUnitsPerDay + ms * kUnitsPerMs;
    return true;
}

bool FileTimeToSystemTime(uint64_t fileTime, SYSTEMTIME& time) {
    // Windows refuses file times with the top bit set.
    if (fileTime >= 0x8000000000000000ull) return false;
    const int64_t days = static_cast<int64_t>(fileTime / kUnitsPerDay);
    const uint64_t msOfDay = (fileTime % kUnitsPerDay) / kUnitsPerMs;
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days - kDaysTo1970, year, month, day);
    time.wYear = static_cast<uint16_t>(year);
    time.wMonth = static_cast<uint16_t>(month);
    time.wDay = static_cast<uint16_t>(day);
    time.wDayOfWeek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
    time.wHour = static_cast<uint16_t>(msOfDay / 3600000);
    time.wMinute = static_cast<uint16_t>(msOfDay / 60000 % 60);
    time.wSecond = static_cast<uint16_t>(msOfDay / 1000 % 60);
    time.wMilliseconds = static_cast<uint16_t>(msOfDay % 1000);
    return true;
}

uint32_t TickCountMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000);
}

}  // namespace talvex::platform
