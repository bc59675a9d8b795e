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
