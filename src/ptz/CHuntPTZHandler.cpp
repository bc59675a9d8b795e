#include "ptz/CHuntPTZHandler.h"

#include <new>

#include "base/TextUtils.h"
#include "ptz/CHuntPTZControl.h"

namespace talvex {

namespace {
constexpr unsigned int kParamMacAddress = 6;
constexpr const char* kVendor = "Hunt / Asoni";
// Characters a file name cannot hold, and the separators a MAC address is
// written with, so that "00:1A-..." and "001A..." name one file.
constexpr const char* kFileNameStrip = "\\/:*?\"<>!' -";
}  // namespace

CHuntPTZHandler::CHuntPTZHandler(IDriver* driver, uint32_t channelCount)
    : CBasePTZHandler(driver, channelCount, "root") {}

CHuntPTZHandler::~CHuntPTZHandler() { ReleaseControls(); }

std::string CHuntPTZHandler::GetXMLStorageFileName() {
    if (Driver() == nullptr) return {};
    const std::string mac = Driver()->GetCustomParam(kParamMacAddress);
    if (mac.empty()) {
        const DEVICE_INFO& device = Driver()->GetDeviceInfo();
        Driver()->DebugMessage(kLevelFailure,
                               "%s: Cannot generate filename for preset XML storage for device %s:%u. Required "
                               "custom parameter is empty",
                               "talvex::CHuntPTZHandler::GetXMLStorageFileName", device.Address.c_str(),
                               static_cast<unsigned>(device.Port));
        return {};
    }
    const std::string vendor = HUtils::RemoveChars(kVendor, kFileNameStrip);
    const std::string address = HUtils::RemoveChars(mac, kFileNameStrip);
    if (vendor.empty() || address.empty()) return {};
    return vendor + "_" + address + ".preset";
}

CBasePTZControl* CHuntPTZHandler::CreatePTZControl(uint32_t channel) {
    return new (std::nothrow) CHuntPTZControl(Driver(), channel);
}

}  // namespace talvex
