// The PTZ driver object of Hunt / Asoni devices: Hunt controls, and a preset
// file named after the device's MAC address.
#pragma once

#include "ptz/CBasePTZHandler.h"

namespace talvex {

class CHuntPTZHandler : public CBasePTZHandler {
public:
    CHuntPTZHandler(IDriver* driver, uint32_t channelCount);
    ~CHuntPTZHandler() override;
    WF_DELETING_DESTRUCTOR(CHuntPTZHandler)

    // "HuntAsoni_" + the MAC address without separators + ".preset".
    std::string GetXMLStorageFileName() override;
    CBasePTZControl* CreatePTZControl(uint32_t channel) override;
};

}  // namespace talvex
