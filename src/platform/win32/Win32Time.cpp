#include "platform/PlatformTime.h"  // first: brings <windows.h>, which <mmsystem.h> needs

#include <mmsystem.h>

namespace talvex::platform {

namespace {

uint64_t FromFileTime(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t time) {
    FILETIME result{};
    result.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
    result.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return result;
}

}  // namespace

SYSTEMTIME SystemTimeNow() {
    SYSTEMTIME time{};
    ::GetSystemTime(&time);
    return time;
}

bool SystemTimeToFileTime(const SYSTEMTIME& time, uint64_t& fileTime) {
    // Checked here as well: not every implementation of the system call
    // refuses a day the month does not have.
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (time.wMonth < 1 || time.wMonth > 12 || time.wDay < 1) return false;
    const bool leap = (time.wYear % 4 == 0 && time.wYear % 100 != 0) || time.wYear % 400 == 0;
    const unsigned days = time.wMonth == 2 && leap ? 29u : kDays[time.wMonth - 1];
    if (time.wDay > days) return false;
    FILETIME result{};
    if (::SystemTimeToFileTime(&time, &result) == FALSE) return false;
    fileTime = FromFileTime(result);
    return true;
}

bool FileTimeToSystemTime(uint64_t fileTime, SYSTEMTIME& time) {
    const FILETIME source = ToFileTime(fileTime);
    return ::FileTimeToSystemTime(&source, &time) != FALSE;
}

uint64_t FileTimeNow() {
    uint64_t fileTime = 0;
    return SystemTimeToFileTime(SystemTimeNow(), fileTime) ? fileTime : 0;
}

uint32_t TickCountMs() { return ::timeGetTime(); }

}  // namespace talvex::platform
