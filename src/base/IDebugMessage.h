// The one path every diagnostic message of the driver takes to the host.
#pragma once

#include <cstdint>

#if defined(__MINGW32__)
#define WF_PRINTF_FORMAT(formatIndex, firstArgument) \
    __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#elif defined(__GNUC__)
#define WF_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define WF_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

// Message levels understood by hosts.
enum : int32_t {
    kLevelFailure = 1,
    kLevelWarning = 2,
    kLevelInformation = 3,
    kLevelNeverDelivered = 4,
    kLevelDeviceSummary = 100,
};

class IDebugMessage {
public:
    virtual ~IDebugMessage() = default;
    // Every format starts with "%s: " and its first argument names the
    // reporting operation ("talvex::CBaseThread::StopThread"). Text built
    // from host or device data goes in as an argument of "%s", never as the
    // format itself.
    virtual void DebugMessage(int32_t level, const char* format, ...) WF_PRINTF_FORMAT(3, 4) = 0;
};
