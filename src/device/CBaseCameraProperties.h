// The description of one camera as the capability query reports it to the
// host: who made it, how many channels, which codecs, picture sizes and frame
// rates, digital I/O, PTZ. A vendor class fills the record from the device's
// pages (Query); this base writes it into the host's capability sink.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "base/DEVICE_INFO.h"
#include "device/CAudioCapabilities.h"
#include "thread/CEvent.h"
#include "wrenfield/CapabilityQuery.h"

namespace talvex {

// Codec numbers of the record.
enum : uint32_t {
    kCodecH264 = 1,
    kCodecMpeg4 = 2,
    kCodecMjpeg = 3,
};

struct SResolution {
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint32_t FrameIntervalMs = 0;  // 0: the export fills in the default rate's interval
};

class CBaseCameraProperties {
public:
    // Why a Query failed.
    enum : uint32_t {
        kReasonLoginFailed = 1,
        kReasonFailed = 3,
    };

    CBaseCameraProperties(const DEVICE_INFO& device, uint32_t context);
    CBaseCameraProperties(const CBaseCameraProperties&) = delete;
    CBaseCameraProperties& operator=(const CBaseCameraProperties&) = delete;

    // Breaks the page read in progress; the only operation, with
    // RequestStop, that another thread than Query's may call.
    virtual void Abort() {}
    // The frame intervals of FrameRates, ascending by rate, and the default.
    virtual bool FillFrameRates(ipcapture::IHostFrameRateList& list);
    virtual bool AddCustomProperties(ipcapture::IHostCapabilitySink& sink) = 0;
    virtual ~CBaseCameraProperties() = default;
    // Reads the device once. On failure reason tells a refused login apart.
    virtual bool Query(uint32_t& reason) = 0;

    bool ExportCapabilities(ipcapture::IHostCapabilitySink& sink);

    // Every later page read is refused; a read in progress ends with Abort.
    void RequestStop() { StopEvent.Set(); }
    bool StopRequested() { return StopEvent.Wait(0); }

    // 1000 / rate, rounded to the nearest millisecond; 0 for a rate of 0.
    static uint32_t FrameIntervalMs(uint32_t framesPerSecond);

    std::string Vendor;
    std::string Model;
    CAudioCapabilities AudioIn;
    CAudioCapabilities AudioOut;
    uint32_t FeatureKind = 0;
    uint32_t FeatureValue = 0;
    bool PtzSupported = false;
    bool SecondFlag = false;
    bool ThirdFlag = false;
    bool FourthFlag = false;
    const DEVICE_INFO Device;
    const uint32_t Context;
    CManualEvent StopEvent;
    std::string Firmware;
    uint32_t VideoStandard;  // 0 PAL, 1 any other standard
    uint32_t InputCount = 0;
    uint32_t OutputCount = 0;
    uint32_t ChannelCount = 0;
    std::set<uint32_t> Codecs;
    std::vector<SResolution> Resolutions;  // no two of the same size
    std::set<uint32_t> FrameRates;
    uint32_t MaxFrameRate = 0;

protected:
    // A named property with its attributes and value ("(none)" for an empty
    // value); skipped when the host has no entry to give.
    static void AddProperty(ipcapture::IHostCapabilitySink& sink, uint32_t index, const char* name,
                            uint32_t secondAttribute, const std::string& value);

private:
    bool ExportDeviceName(ipcapture::IHostCapabilitySink& sink);
    void ExportConnection(ipcapture::IHostCapabilitySink& sink);
    bool ExportCodecs(ipcapture::IHostCapabilitySink& sink);
    bool ExportResolutions(ipcapture::IHostCapabilitySink& sink);
    bool ExportFrameRates(ipcapture::IHostCapabilitySink& sink);
    void ExportFeatures(ipcapture::IHostCapabilitySink& sink);
};

}  // namespace talvex
