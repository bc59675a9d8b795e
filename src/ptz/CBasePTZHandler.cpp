#include "ptz/CBasePTZHandler.h"

#include <new>

#include "base/FormatString.h"

namespace talvex {

namespace {
constexpr const char* kStorageSource = "talvex::CBasePTZHandler::InitializeXMLStorage";
}  // namespace

ipcapture::IIPPTZApi* CIPPTZDriverIf::GetPTZApi(unsigned int channel) { return GetPTZApiEx(channel); }

CBasePTZHandler::CBasePTZHandler(IDriver* driver, uint32_t channelCount, const std::string& rootName)
    : m_driver(driver), m_channelCount(channelCount), m_rootName(rootName) {}

CBasePTZHandler::~CBasePTZHandler() { CBasePTZHandler::ReleaseControls(); }

void CBasePTZHandler::ReleaseControls() {
    std::map<uint32_t, std::unique_ptr<CBasePTZControl>> controls;
    {
        CLockHolder hold(m_lock);
        controls.swap(m_controls);
    }
}

bool CBasePTZHandler::HasStorage() {
    CLockHolder hold(m_lock);
    return static_cast<bool>(m_storage);
}

ipcapture::IIPPTZApiEx* CBasePTZHandler::GetPTZApiEx(unsigned int channel) {
    try {
        CLockHolder hold(m_lock);
        return GetPTZApiExLocked(channel);
    } catch (...) {
        return nullptr;
    }
}

ipcapture::IIPPTZApiEx* CBasePTZHandler::GetPTZApiExLocked(uint32_t channel) {
    if (channel >= m_channelCount) return nullptr;
    // Storage that could not be opened is tried again on each request; once
    // it opens, the controls made without it load their presets from it.
    if (!m_storage && !m_rootName.empty() && InitializeXMLStorage()) {
        for (auto& [index, control] : m_controls) control->AttachStorage(m_storage);
    }
    const auto found = m_controls.find(channel);
    if (found != m_controls.end()) return found->second.get();
    if (m_rootName.empty()) return nullptr;
    // Without a file name (or memory) there is no PTZ for this device; a file
    // that cannot be opened leaves PTZ working without presets.
    if (!m_storage && m_storageError != kStorageNotOpened) return nullptr;
    std::unique_ptr<CBasePTZControl> control(CreatePTZControl(channel));
    if (!control || !control->Initialize(m_storage)) return nullptr;
    CBasePTZControl* result = control.get();
    m_controls[channel] = std::move(control);
    return result;
}

bool CBasePTZHandler::ReportPasses() {
    ++m_reportCounter;
    if (m_reportCounter >= 65535) m_reportCounter = 4095;
    const uint32_t c = m_reportCounter;
    if (c < 15) return true;
    if (c < 255) return c % 16 == 0;
    if (c < 4095) return c % 256 == 0;
    return c % 4096 == 0;
}

bool CBasePTZHandler::InitializeXMLStorage() {
    const std::string name = GetXMLStorageFileName();
    std::string report;
    int error = 0;
    if (name.empty()) {
        report = FormatString("%s: PTZ module cannot be initialized! Name of file for preset storing was not defined",
                              kStorageSource);
        error = 3;
    } else {
        TSmartPtr<CXMLPrepositionReader> storage(new (std::nothrow) CXMLPrepositionReader(m_rootName));
        if (!storage) {
            report = FormatString("%s: not enough memory for creating CXMLPrepositionReader object", kStorageSource);
            error = 5;
        } else if (!storage->Initialize(name, m_driver)) {
            // Dropped, so that the next request tries to open the file again.
            report = FormatString("%s: cannot initialize CXMLPrepositionReader object with parameter \"%s\"",
                                  kStorageSource, name.c_str());
            error = kStorageNotOpened;
        } else {
            m_storage = storage;
        }
    }
    m_storageError = error;
    if (error != 0 && m_driver != nullptr && ReportPasses()) m_driver->DebugMessage(kLevelFailure, "%s", report.c_str());
    return error == 0;
}

}  // namespace talvex
