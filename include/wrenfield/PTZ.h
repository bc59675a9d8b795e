// Pan, tilt, zoom, focus, iris and presets of one channel.
#pragma once

#include "wrenfield/Platform.h"

namespace talvex::ipcapture {

// Result codes of IIPPTZApi.
enum : int32_t {
    kPtzOk = 1,
    kPtzBadArgument = -3,
    kPtzNotPosted = -18,
    kPtzPresetRefused = -23,
    kPtzPresetsFull = -26,
};

// The host's PTZ capability record, filled by IIPPTZApi::GetCapabilities.
// Field 0 is the host's own; fields 1 to 5 and 11 to 13 are 0/1 feature
// flags of the camera; field 7 is the preset capacity and field 8 the number
// of stored presets; the rest are 0.
struct PTZ_CAPABILITIES {
    uint32_t Field[14];
};

class IIPPTZApi {
    WF_INTERFACE_DESTRUCTOR(IIPPTZApi)
    virtual int32_t CheckPTZ() = 0;
    // direction 0-9 (8 zoom in, 9 zoom out); 10 is refused.
    virtual int32_t Move(int32_t direction, int32_t speed) = 0;
    virtual int32_t Stop() = 0;
    virtual int32_t Center(int32_t a, int32_t b, int32_t c) = 0;
    virtual int32_t ZoomIn(int32_t speed) = 0;
    virtual int32_t ZoomOut(int32_t speed) = 0;
    virtual int32_t Unzoom(int32_t a) = 0;
    virtual int32_t AreaZoom(int32_t a, int32_t b, int32_t c, int32_t d) = 0;
    virtual int32_t FocusNear(int32_t speed) = 0;
    virtual int32_t FocusFar(int32_t speed) = 0;
    virtual int32_t IrisOpen(int32_t speed) = 0;
    virtual int32_t IrisClose(int32_t speed) = 0;
    virtual int32_t GetCapabilities(PTZ_CAPABILITIES* record) = 0;
    virtual int32_t GetPresetCount() = 0;
    virtual int32_t GetPresetName(int32_t index, char* buffer, uint32_t bufferSize) = 0;
    virtual int32_t GotoPreset(int32_t value, const char* name) = 0;
    virtual int32_t AddPreset(const char* name) = 0;
    virtual int32_t RemovePreset(const char* name) = 0;
    virtual int32_t GetCurrentPresetName(char* buffer, uint32_t bufferSize) = 0;
};

class IIPPTZApiEx : public IIPPTZApi {
    WF_INTERFACE_DESTRUCTOR(IIPPTZApiEx)
    virtual int32_t EchoArgument(int32_t value) = 0;
};

// One PTZ control per channel; the driver keeps ownership of each.
class IIPPTZDriver {
    WF_INTERFACE_DESTRUCTOR(IIPPTZDriver)
    virtual IIPPTZApi* GetPTZApi(unsigned int channel) = 0;
};

class IIPPTZDriverEx : public IIPPTZDriver {
    WF_INTERFACE_DESTRUCTOR(IIPPTZDriverEx)
    virtual IIPPTZApiEx* GetPTZApiEx(unsigned int channel) = 0;
};

}  // namespace talvex::ipcapture

// Two host properties stored with each PTZ control; the driver keeps them
// for the host and never reads them.
class IIPParams {
    WF_INTERFACE_DESTRUCTOR(IIPParams)
    virtual uint32_t GetChannelIndex() = 0;
    virtual bool GetFirstProperty() = 0;
    virtual void SetFirstProperty(bool value) = 0;
    virtual bool GetSecondProperty() = 0;
    virtual void SetSecondProperty(bool value) = 0;
};
