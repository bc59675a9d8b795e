// Host side: how finished pictures reach the host.
#pragma once

#include "wrenfield/Platform.h"

namespace talvex::ipcapture {

// Picture size classes given with every sample.
enum : uint32_t { kSizeClassSmall = 1, kSizeClassMedium = 2, kSizeClassWide = 3, kSizeClassLarge = 4 };

class IHostMediaSample {
    WF_INTERFACE_DESTRUCTOR(IHostMediaSample)
    virtual void Reserved1() {}
    // The writable data area, at least the size asked of CreateSample.
    virtual uint8_t* GetBuffer() = 0;
    virtual void Reserved3() {}
    virtual void SetDataSize(unsigned int bytes) = 0;
    virtual void SetTimeNow() = 0;
    virtual void SetTime(const SYSTEMTIME* utcTime) = 0;
    virtual void Reserved7() {}
    virtual void Reserved8() {}
    virtual void Reserved9() {}
    virtual void SetFourCC(unsigned int fourcc) = 0;
    virtual void Reserved11() {}
    virtual void SetHeight(unsigned int height) = 0;
    virtual void Reserved13() {}
    virtual void SetWidth(unsigned int width) = 0;
    virtual void Reserved15() {}
    virtual void SetSizeClass(unsigned int sizeClass) = 0;
};

class IHostSampleAllocator {
    WF_INTERFACE_DESTRUCTOR(IHostSampleAllocator)
    virtual void Reserved1() {}
    // Null means the picture is dropped. Every sample created goes back
    // through ReleaseSample.
    virtual IHostMediaSample* CreateSample(unsigned int fourcc, unsigned int bufferSize,
                                           const char* sourceName) = 0;
    virtual void Reserved3() {}
    virtual void Reserved4() {}
    virtual void Reserved5() {}
    virtual void ReleaseSample(IHostMediaSample* sample) = 0;
};

// Per video input; called on driver threads.
class IHostFrameSink {
    WF_INTERFACE_DESTRUCTOR(IHostFrameSink)
    // True when the picture was taken.
    virtual bool OnFrame(IHostMediaSample* sample) = 0;
    virtual void Reserved2() {}
    virtual void OnSignalLost() = 0;
};

}  // namespace talvex::ipcapture
