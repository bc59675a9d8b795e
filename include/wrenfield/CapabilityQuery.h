// The capability query: what a camera can do, asked before it is added.
//
// The host's callback and capability sink are outside the driver; their
// table order, which the driver's calls rely on, is defined here:
//
//   IHostCapabilityCallback: destructor, one reserved entry, then the three
//   notifications the driver calls on its fetching thread.
//
//   IHostCapabilitySink: destructor, then SetCapability, AddProperty,
//   SetConnectionText, SetDeviceName, GetResolutionList, GetFrameRateList.
//   The entries it hands out (property, resolution list, frame-rate list)
//   stay owned by the host.
#pragma once

#include "wrenfield/Platform.h"

namespace talvex::ipcapture {

// Capability kinds of IHostCapabilitySink::SetCapability.
enum : uint32_t {
    kCapChannelCount = 0,
    kCapPtz = 1,
    kCapInputCount = 2,
    kCapOutputCount = 3,
    kCapAudioInputCount = 4,
    kCapSecondFlag = 5,
    kCapMpeg4 = 6,
    kCapMjpeg = 7,
    kCapH264 = 8,
    kCapThirdFlag = 11,
    kCapFourthFlag = 12,
    kCapFeatureValue = 13,
    kCapFeatureKind = 14,
    kCapFeatureReserved15 = 15,
    kCapFeatureReserved16 = 16,
    kCapFeatureReserved17 = 17,
};

class IHostCapabilityProperty {
    WF_INTERFACE_DESTRUCTOR(IHostCapabilityProperty)
    virtual void SetName(const char* name) = 0;
    virtual void SetAttributes(uint32_t first, uint32_t second) = 0;
    virtual void SetValue(const char* value) = 0;
};

class IHostResolutionList {
    WF_INTERFACE_DESTRUCTOR(IHostResolutionList)
    virtual void AddResolution(const char* text, uint32_t width, uint32_t height,
                               uint32_t frameIntervalMs) = 0;
};

class IHostFrameRateList {
    WF_INTERFACE_DESTRUCTOR(IHostFrameRateList)
    virtual void AddInterval(uint32_t frameIntervalMs) = 0;
    virtual void SetDefaultInterval(uint32_t frameIntervalMs) = 0;
};

class IHostCapabilitySink {
    WF_INTERFACE_DESTRUCTOR(IHostCapabilitySink)
    virtual void SetCapability(uint32_t kind, int32_t value) = 0;
    // Null when the host has no room for it.
    virtual IHostCapabilityProperty* AddProperty(uint32_t index) = 0;
    // index 1 address, 2 port, 3 user name, 4 password.
    virtual void SetConnectionText(uint32_t index, const char* text) = 0;
    virtual void SetDeviceName(const char* name) = 0;
    virtual IHostResolutionList* GetResolutionList() = 0;
    virtual IHostFrameRateList* GetFrameRateList(uint32_t index) = 0;
};

class IHostCapabilityCallback {
    WF_INTERFACE_DESTRUCTOR(IHostCapabilityCallback)
    virtual void Reserved1() {}
    virtual void OnCapabilitiesReady() = 0;
    virtual void OnCapabilityQueryFailed(uint32_t reason, const char* text) = 0;
    // The fetching thread had to be killed; no further call follows.
    virtual void OnCapabilityQueryKilled() = 0;
};

// Driver side: one query per module.
class IIPCapabilityQuery : public IDriverObject {
    WF_INTERFACE_DESTRUCTOR(IIPCapabilityQuery)
    virtual bool Start(const char* address, int32_t port, const char* userName, const char* password,
                       IHostCapabilitySink* sink) = 0;
    virtual void Terminate() = 0;
};

}  // namespace talvex::ipcapture
