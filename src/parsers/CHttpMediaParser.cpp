#include "parsers/CHttpMediaParser.h"

namespace talvex {

CHttpMediaParser::CHttpMediaParser(IMediaReceiver* receiver, IDriver* driver, std::string name)
    : m_receiver(receiver), m_driver(driver), m_name(std::move(name)) {}

CHttpMediaParser::~CHttpMediaParser() = default;

bool CHttpMediaParser::CheckBufferSize() {
    if (m_frameBuffer.size() <= kMaxFrameBytes) return true;
    if (m_driver != nullptr) {
        const DEVICE_INFO& device = m_driver->GetDeviceInfo();
        m_driver->DebugMessage(kLevelFailure, "%s: Frame buffer overflow detected, device %s:%u",
                               "talvex::CHttpMediaParser::CheckBufferSize", device.Address.c_str(),
                               static_cast<unsigned>(device.Port));
    }
    return false;
}

}  // namespace talvex
