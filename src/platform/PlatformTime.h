// Wall-clock and tick time in the driver's units: file time (100 ns since
// 1601-01-01 UTC), SYSTEMTIME records and a millisecond tick.
#pragma once

#include <cstdint>

#include "wrenfield/Platform.h"

namespace talvex::platform {

// 100-ns units between 1601-01-01 and 1970-01-01.
inline constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;

SYSTEMTIME SystemTimeNow();
// False for a record outside the representable range.
bool SystemTimeToFileTime(const SYSTEMTIME& time, uint64_t& fileTime);
bool FileTimeToSystemTime(uint64_t fileTime, SYSTEMTIME& time);
uint64_t FileTimeNow();
// Milliseconds of a free-running counter; wraps after about 49.7 days.
uint32_t TickCountMs();

}  // namespace talvex::platform
