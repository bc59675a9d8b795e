#include "device/CBaseCameraProperties.h"

#include "base/FormatString.h"

namespace talvex {

using ipcapture::IHostCapabilitySink;

CBaseCameraProperties::CBaseCameraProperties(const DEVICE_INFO& device, uint32_t context)
    : Device(device), Context(context), VideoStandard(context) {}

uint32_t CBaseCameraProperties::FrameIntervalMs(uint32_t framesPerSecond) {
    if (framesPerSecond == 0) return 0;
    return static_cast<uint32_t>(1000.0 / framesPerSecond + 0.5);
}

bool CBaseCameraProperties::FillFrameRates(ipcapture::IHostFrameRateList& list) {
    if (FrameRates.empty()) return false;
    for (uint32_t rate : FrameRates)
        if (rate != 0) list.AddInterval(FrameIntervalMs(rate));
    const uint32_t largest = *FrameRates.rbegin();
    const uint32_t wanted = MaxFrameRate != 0 ? MaxFrameRate : largest / 2;
    const auto fallback = FrameRates.lower_bound(wanted);
    if (fallback != FrameRates.end() && *fallback != 0) list.SetDefaultInterval(FrameIntervalMs(*fallback));
    return true;
}

bool CBaseCameraProperties::ExportCapabilities(IHostCapabilitySink& sink) {
    if (!ExportDeviceName(sink)) return false;
    ExportConnection(sink);
    if (!ExportCodecs(sink)) return false;
    if (!ExportResolutions(sink)) return false;
    if (!ExportFrameRates(sink)) return false;
    ExportFeatures(sink);
    return AddCustomProperties(sink);
}

void CBaseCameraProperties::AddProperty(IHostCapabilitySink& sink, uint32_t index, const char* name,
                                        uint32_t secondAttribute, const std::string& value) {
    ipcapture::IHostCapabilityProperty* property = sink.AddProperty(index);
    if (property == nullptr) return;
    property->SetName(name);
    property->SetAttributes(0, secondAttribute);
    property->SetValue(value.empty() ? "(none)" : value.c_str());
}

bool CBaseCameraProperties::ExportDeviceName(IHostCapabilitySink& sink) {
    // Without a model the host could not tell this camera from any other.
    if (Model.empty()) return false;
    const std::string name = Vendor.empty() ? Model : Vendor + " " + Model;
    sink.SetDeviceName(name.c_str());
    return true;
}

void CBaseCameraProperties::ExportConnection(IHostCapabilitySink& sink) {
    const std::string port = FormatString("%hu", Device.Port);
    sink.SetConnectionText(1, Device.Address.c_str());
    sink.SetConnectionText(2, port.c_str());
    sink.SetConnectionText(3, Device.UserName.c_str());
    sink.SetConnectionText(4, Device.Password.c_str());
}

bool CBaseCameraProperties::ExportCodecs(IHostCapabilitySink& sink) {
    bool anySet = false;
    for (uint32_t codec : Codecs) {
        uint32_t kind = 0;
        switch (codec) {
            case kCodecH264: kind = ipcapture::kCapH264; break;
            case kCodecMpeg4: kind = ipcapture::kCapMpeg4; break;
            case kCodecMjpeg: kind = ipcapture::kCapMjpeg; break;
            default: continue;
        }
        sink.SetCapability(kind, 1);
        anySet = true;
    }
    if (!anySet || ChannelCount == 0) return false;
    sink.SetCapability(ipcapture::kCapChannelCount, static_cast<int32_t>(ChannelCount));
    return true;
}

bool CBaseCameraProperties::ExportResolutions(IHostCapabilitySink& sink) {
    if (Resolutions.empty()) return false;
    ipcapture::IHostResolutionList* list = sink.GetResolutionList();
    // A host without a list cannot learn a single picture size: nothing usable was exported.
    if (list == nullptr) return false;
    uint32_t defaultRate = VideoStandard != 0 ? 30 : 25;
    if (!FrameRates.empty()) defaultRate = *FrameRates.rbegin();
    const uint32_t defaultInterval = defaultRate == 0 ? 1 : FrameIntervalMs(defaultRate);
    for (const SResolution& entry : Resolutions) {
        const std::string text = FormatString("%ux%u", static_cast<unsigned>(entry.Width),
                                              static_cast<unsigned>(entry.Height));
        list->AddResolution(text.c_str(), entry.Width, entry.Height,
                            entry.FrameIntervalMs != 0 ? entry.FrameIntervalMs : defaultInterval);
    }
    return true;
}

bool CBaseCameraProperties::ExportFrameRates(IHostCapabilitySink& sink) {
    ipcapture::IHostFrameRateList* list = sink.GetFrameRateList(1);
    if (list == nullptr) return false;
    return FillFrameRates(*list);
}

void CBaseCameraProperties::ExportFeatures(IHostCapabilitySink& sink) {
    if (PtzSupported) sink.SetCapability(ipcapture::kCapPtz, 1);
    if (SecondFlag) sink.SetCapability(ipcapture::kCapSecondFlag, 1);
    sink.SetCapability(ipcapture::kCapThirdFlag, ThirdFlag ? 1 : 0);
    sink.SetCapability(ipcapture::kCapFourthFlag, FourthFlag ? 1 : 0);
    if (InputCount != 0) sink.SetCapability(ipcapture::kCapInputCount, static_cast<int32_t>(InputCount));
    if (OutputCount != 0) sink.SetCapability(ipcapture::kCapOutputCount, static_cast<int32_t>(OutputCount));
    if (FeatureValue != 0 && FeatureKind != 2) {
        sink.SetCapability(ipcapture::kCapFeatureValue, static_cast<int32_t>(FeatureValue));
        sink.SetCapability(ipcapture::kCapFeatureReserved15, 0);
        sink.SetCapability(ipcapture::kCapFeatureKind, FeatureKind == 1 ? 1 : 0);
        sink.SetCapability(ipcapture::kCapFeatureReserved16, 0);
        sink.SetCapability(ipcapture::kCapFeatureReserved17, 0);
    }
    if (AudioIn.ChannelCount != 0) {
        sink.SetCapability(ipcapture::kCapAudioInputCount, static_cast<int32_t>(AudioIn.ChannelCount));
        AddProperty(sink, 101, "Audio Input Parameters", 1, AudioIn.ToText());
    }
    if (AudioOut.ChannelCount != 0) AddProperty(sink, 102, "Audio Output Parameters", 1, AudioOut.ToText());
}

}  // namespace talvex
