// The outcome of one CGI request to a camera.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

// Category values.
enum : int32_t {
    kResultDeviceAnsweredWrongly = 1,
    kResultNoFault = 3,
    kResultNoAnswer = 4,
};

// Code values; callers decide success by Code == kResultSuccess alone.
enum : int32_t {
    kResultSuccess = 0,
    kResultStatusNotOk = 6,
    kResultNotSent = 9,
    kResultEmptyBody = 10,
};

class CResultDef {
public:
    virtual ~CResultDef() = default;

    int32_t Category = kResultNoFault;
    int32_t Code = kResultSuccess;
    std::string Message;  // empty on success; otherwise ready to log
};

}  // namespace talvex
