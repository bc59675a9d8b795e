// Digital inputs and outputs: the driver's I/O object and the host's sink.
#pragma once

#include "wrenfield/Platform.h"

namespace talvex::ipcapture {

// I/O states shared with the host.
enum : int32_t { kIoStateUnknown = 0, kIoStateInactive = 1, kIoStateActive = 2 };

// Host side; called on the driver's input and output worker threads.
class IHostIOSink {
    WF_INTERFACE_DESTRUCTOR(IHostIOSink)
    virtual void OnInputChanged(unsigned int index, int32_t state) = 0;
    // A camera I/O request failed; every known state went back to 0.
    virtual void OnIOFailure() = 0;
};

}  // namespace talvex::ipcapture

namespace talvex {

// Driver side.
class ICaptureIOApi {
    WF_INTERFACE_DESTRUCTOR(ICaptureIOApi)
    virtual bool SetSink(ipcapture::IHostIOSink* sink) = 0;
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    virtual uint32_t GetInputCount() = 0;
    virtual uint32_t GetOutputCount() = 0;
    // Queues the change and returns at once.
    virtual bool SetOutput(unsigned int index, int32_t state) = 0;
    virtual bool WriteOutput(unsigned int index, int32_t state) = 0;
    virtual bool PollInputs(unsigned int inputCount) = 0;
};

}  // namespace talvex
