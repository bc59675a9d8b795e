// The Hunt / Asoni camera description: read from the camera's CGI pages.
#pragma once

#include <cstdint>
#include <string>

#include "device/CBaseCameraProperties.h"
#include "http/CHttpSender.h"

namespace talvex {

class CHuntCameraProperties : public CBaseCameraProperties {
public:
    CHuntCameraProperties(const DEVICE_INFO& device, uint32_t context);
    ~CHuntCameraProperties() override = default;

    void Abort() override;
    bool AddCustomProperties(ipcapture::IHostCapabilitySink& sink) override;
    bool Query(uint32_t& reason) override;

    // The rules of each page, on a page's text; public so that each rule can
    // be checked on its own.
    bool ReadMediaPage(const std::string& page);
    void ReadFrameRates(const std::string& page);
    bool Identify(const std::string& page);
    bool ReadChannelCount(const std::string& page);
    void ReadIoCounts(const std::string& page);
    bool ReadCodecs(const std::string& page);
    bool ReadResolutions(const std::string& page);
    bool ReadRtspFlag(const std::string& page);
    void ReadPtzPage(const std::string& page);
    void ReadNetworkPage(const std::string& page);
    // The preset slots named in a PTZ page: PName00, PName01, ... up to the
    // first number that is missing.
    static uint32_t CountPresets(const std::string& page);

    Web::CHttpSender Sender;
    bool RtspSupported = false;
    uint32_t RtspPort = 554;
    std::string RtspPath;
    uint32_t PresetCount = 0;
    std::string MacAddress;

private:
    bool ReadPage(const std::string& path, std::string& page);
    bool QueryTypePage();
    bool QueryPtzPages();
    bool QueryNetworkPage();
};

}  // namespace talvex
