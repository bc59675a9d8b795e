// Diagnostic messages: the record the host receives and the sink it supplies.
#pragma once

#include "wrenfield/Platform.h"

// The record handed to IHostDebugSink::OnDebugMessage; valid only during the
// call, so a host copies what it keeps.
class CDebugInfoIf {
    WF_INTERFACE_DESTRUCTOR(CDebugInfoIf)
    // 1 failure, 2 warning, 3 information, 100 the device summary line
    // (lowered for older hosts).
    virtual uint8_t GetLevel() const = 0;
    // The finished text, or null when the text was empty.
    virtual const char* GetText() const = 0;
};

namespace talvex::ipcapture {

// Host side: receives every diagnostic message of the driver, from any of its
// threads, possibly concurrently.
class IHostDebugSink {
    WF_INTERFACE_DESTRUCTOR(IHostDebugSink)
    virtual void OnDebugMessage(CDebugInfoIf* info) = 0;
};

}  // namespace talvex::ipcapture
