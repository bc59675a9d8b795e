#include "ptz/CXMLPrepositionReader.h"

#include <cinttypes>
#include <cstdio>

#include "base/FormatString.h"
#include "platform/PlatformFile.h"
#include "platform/PlatformTime.h"

namespace {

constexpr const char* kChannelElement = "PtzChannel";
constexpr const char* kEntryElement = "Preposition";

// A decimal number at the start of text, as "%u" reads it: leading digits
// count and anything after them is ignored; a sign or a letter first rejects.
bool ParseSlot(const std::string& text, uint32_t& slot) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
    if (i == text.size() || text[i] < '0' || text[i] > '9') return false;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > UINT32_MAX) return false;
    }
    slot = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

CXMLPrepositionReader::CXMLPrepositionReader(const std::string& rootName) : m_rootName(rootName) {}

CXMLPrepositionReader::~CXMLPrepositionReader() {
    CLockHolder hold(m_lock);
    while (m_document.Close() > 0) {
    }
}

bool CXMLPrepositionReader::Initialize(const std::string& fileName, IDebugMessage* log) {
    CLockHolder hold(m_lock);
    if (m_document.Open(fileName.c_str()) != CXMLSettingsAPI::kOk) {
        switch (m_document.LastOpenFailure()) {
            case CXMLSettingsAPI::EOpenFailure::NotXml:
                // Keep what may still be recovered by hand; start a new file.
                if (!MoveAside(fileName, log)) break;
                [[fallthrough]];
            case CXMLSettingsAPI::EOpenFailure::MissingOrEmpty:
                if (m_document.CreateNew(m_rootName.c_str(), fileName.c_str()) == 1) m_document.Open(fileName.c_str());
                break;
            default:
                // Locked or unreadable: the presets in it are still there;
                // never write over them.
                break;
        }
    }
    m_saving = m_document.IsOpen();
    return m_saving;
}

bool CXMLPrepositionReader::MoveAside(const std::string& fileName, IDebugMessage* log) {
    const std::string fullPath = m_document.FullPath(fileName);
    const SYSTEMTIME now = talvex::platform::SystemTimeNow();
    const std::string stamp = talvex::FormatString("%04u%02u%02u-%02u%02u%02u", unsigned(now.wYear),
                                                   unsigned(now.wMonth), unsigned(now.wDay), unsigned(now.wHour),
                                                   unsigned(now.wMinute), unsigned(now.wSecond));
    for (unsigned int attempt = 0; attempt < 100; ++attempt) {
        const std::string aside = fullPath + "." + stamp + (attempt == 0 ? "" : "-" + std::to_string(attempt)) + ".bad";
        if (!talvex::platform::MoveFileNoReplace(fullPath, aside)) continue;
        if (log != nullptr) {
            const std::string text = talvex::FormatString(
                "%s: The preset file \"%s\" is not readable XML; it was renamed to \"%s\" and a new one was started",
                "CXMLPrepositionReader::Initialize", fullPath.c_str(), aside.c_str());
            log->DebugMessage(kLevelWarning, "%s", text.c_str());
        }
        return true;
    }
    return false;
}

bool CXMLPrepositionReader::ReadEntry(uint32_t channel, uint32_t index, SPreset& preset) {
    try {
        CLockHolder hold(m_lock);
        m_document.GetValue(preset.name, "%s/%s%.2u/%s%.3u/Name", m_rootName.c_str(), kChannelElement, channel + 1,
                            kEntryElement, index);
        if (preset.name.empty()) return false;
        std::string slot;
        m_document.GetValue(slot, "%s/%s%.2u/%s%.3u/Slot", m_rootName.c_str(), kChannelElement, channel + 1,
                            kEntryElement, index);
        return ParseSlot(slot, preset.slot);
    } catch (...) {
        return false;
    }
}

bool CXMLPrepositionReader::WriteEntry(uint32_t channel, uint32_t index, const SPreset& preset) {
    try {
        CLockHolder hold(m_lock);
        if (m_document.SetValue(preset.name, "%s/%s%.2u/%s%.3u/Name", m_rootName.c_str(), kChannelElement,
                                channel + 1, kEntryElement, index) != 1)
            return false;
        if (m_document.SetValue(std::to_string(preset.slot), "%s/%s%.2u/%s%.3u/Slot", m_rootName.c_str(),
                                kChannelElement, channel + 1, kEntryElement, index) != 1)
            return false;
        return !m_saving || m_document.Save() == 1;
    } catch (...) {
        return false;
    }
}

bool CXMLPrepositionReader::ClearChannel(uint32_t channel) {
    try {
        CLockHolder hold(m_lock);
        if (m_document.Remove("%s/%s%.2u", m_rootName.c_str(), kChannelElement, channel + 1) != 1) return false;
        return !m_saving || m_document.Save() == 1;
    } catch (...) {
        return false;
    }
}

bool CXMLPrepositionReader::SavingFlag() {
    CLockHolder hold(m_lock);
    return m_saving;
}

void CXMLPrepositionReader::SetSavingFlag(bool saving) {
    CLockHolder hold(m_lock);
    m_saving = saving;
}

bool CXMLPrepositionReader::Save() {
    CLockHolder hold(m_lock);
    return m_document.Save() == 1;
}
