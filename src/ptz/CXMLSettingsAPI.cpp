#include "ptz/CXMLSettingsAPI.h"

#include <cstdarg>
#include <cstdio>

#include "platform/PlatformFile.h"
#include "platform/PlatformModule.h"

namespace {

constexpr const char* kValueAttribute = "value";

// False when the path does not fit: a cut path would name another element.
bool FormatPath(std::string& path, const char* format, va_list arguments) {
    if (format == nullptr) return false;
    char buffer[CXMLSettingsAPI::kMaxPathChars + 1];
    const int length = std::vsnprintf(buffer, sizeof(buffer), format, arguments);
    if (length <= 0 || static_cast<std::size_t>(length) > CXMLSettingsAPI::kMaxPathChars) return false;
    path.assign(buffer, static_cast<std::size_t>(length));
    return true;
}

// Whether text is well-formed UTF-8 of characters an XML 1.0 file may hold:
// anything else would make a file other readers refuse.
bool IsStorableText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        uint32_t code = 0;
        std::size_t extra = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            code = lead & 0x1Fu;
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            code = lead & 0x0Fu;
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            code = lead & 0x07u;
            extra = 3;
        } else {
            return false;
        }
        if (text.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        static constexpr uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        if (code < 0x20 && code != 0x09 && code != 0x0A && code != 0x0D) return false;
        if (code == 0xFFFE || code == 0xFFFF) return false;
        i += extra + 1;
    }
    return true;
}

std::string ParentOf(const std::string& path, std::string& last) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        last = path;
        return {};
    }
    last = path.substr(slash + 1);
    return path.substr(0, slash);
}

}  // namespace

CXMLSettingsAPI::~CXMLSettingsAPI() {
    CLockHolder hold(m_lock);
    m_openCount = 0;
    m_document.Release();
}

std::string CXMLSettingsAPI::FullPath(const std::string& fileName) {
    CLockHolder hold(m_lock);
    const std::string directory =
        m_baseDirectory.empty() ? talvex::platform::ExecutableDirectory() : m_baseDirectory;
    return directory + fileName;
}

int32_t CXMLSettingsAPI::Open(const char* fileName) {
    CLockHolder hold(m_lock);
    if (m_openCount > 0) {
        ++m_openCount;
        return kOk;
    }
    m_autoSave = false;
    if (fileName == nullptr) return kInvalidArgument;
    const std::string fullPath = FullPath(fileName);
    switch (talvex::platform::ProbeFile(fullPath)) {
        case talvex::platform::EFileState::Missing:
        case talvex::platform::EFileState::Empty:
            m_lastFailure = EOpenFailure::MissingOrEmpty;
            return kFailed;
        case talvex::platform::EFileState::Unreadable:
            m_lastFailure = EOpenFailure::Unreadable;
            return kFailed;
        case talvex::platform::EFileState::HasContent:
            break;
    }
    if (!m_document.Load(fullPath)) {
        // A file that vanished or became locked since the probe is not
        // garbage: only a file that can be read again counts as not XML.
        m_lastFailure = talvex::platform::ProbeFile(fullPath) == talvex::platform::EFileState::HasContent
                            ? EOpenFailure::NotXml
                            : EOpenFailure::Unreadable;
        return kFailed;
    }
    m_filePath = fullPath;
    m_openCount = 1;
    m_lastFailure = EOpenFailure::None;
    return kOk;
}

int32_t CXMLSettingsAPI::Close() {
    CLockHolder hold(m_lock);
    if (m_openCount > 0 && --m_openCount == 0) m_document.Release();
    return m_openCount;
}

int32_t CXMLSettingsAPI::CreateNew(const char* rootName, const char* fileName) {
    if (rootName == nullptr || fileName == nullptr || *rootName == '\0') return 0;
    CLockHolder hold(m_lock);
    const std::string fullPath = FullPath(fileName);
    const std::string temporary = fullPath + ".tmp";
    talvex::platform::CXmlDocument fresh;
    bool ok = fresh.CreateEmpty(rootName) && fresh.SaveTo(temporary);
    fresh.Release();
    ok = ok && ReplaceWith(temporary, fullPath);
    return ok ? 1 : 0;
}

// The new file goes to the disk before it takes the old one's name, and the
// rename is a single step: whenever the process or the machine stops, the
// file holds either the presets it held before or all of the new ones.
bool CXMLSettingsAPI::ReplaceWith(const std::string& temporary, const std::string& fullPath) {
    if (talvex::platform::FlushFileToDisk(temporary) && talvex::platform::MoveFileReplacing(temporary, fullPath))
        return true;
    talvex::platform::RemoveFile(temporary);
    return false;
}

int32_t CXMLSettingsAPI::Save() {
    CLockHolder hold(m_lock);
    return SaveLocked() ? 1 : 0;
}

bool CXMLSettingsAPI::SaveLocked() {
    if (m_openCount <= 0) return false;
    const std::string temporary = m_filePath + ".tmp";
    if (!m_document.SaveTo(temporary)) {
        talvex::platform::RemoveFile(temporary);
        return false;
    }
    return ReplaceWith(temporary, m_filePath);
}

std::string& CXMLSettingsAPI::GetValue(std::string& out, const char* format, ...) {
    out.clear();
    std::string path;
    va_list arguments;
    va_start(arguments, format);
    const bool formatted = FormatPath(path, format, arguments);
    va_end(arguments);
    CLockHolder hold(m_lock);
    if (formatted && m_openCount > 0 && !m_document.GetAttribute(path, kValueAttribute, out)) out.clear();
    return out;
}

int32_t CXMLSettingsAPI::SetValue(const std::string& value, const char* format, ...) {
    std::string path;
    va_list arguments;
    va_start(arguments, format);
    const bool formatted = FormatPath(path, format, arguments);
    va_end(arguments);
    if (!formatted || value.empty() || !IsStorableText(value)) return 0;
    CLockHolder hold(m_lock);
    if (m_openCount <= 0) return 0;
    if (!m_document.Exists(path) && !CreateElement(path)) return 0;
    if (!m_document.SetAttribute(path, kValueAttribute, value)) return 0;
    if (m_autoSave && !SaveLocked()) return 0;
    return 1;
}

// Creates the element at path and any missing ancestor. The first component
// names the document element, which is never created a second time, and a
// component with a condition ("a[2]") names no element we could make.
bool CXMLSettingsAPI::CreateElement(const std::string& path) {
    std::string name;
    const std::string parent = ParentOf(path, name);
    if (parent.empty() || name.empty() || name.find_first_of("[]@()*:=") != std::string::npos) return false;
    if (!m_document.Exists(parent) && !CreateElement(parent)) return false;
    return m_document.AppendElement(parent, name);
}

bool CXMLSettingsAPI::Exists(const char* format, ...) {
    std::string path;
    va_list arguments;
    va_start(arguments, format);
    const bool formatted = FormatPath(path, format, arguments);
    va_end(arguments);
    CLockHolder hold(m_lock);
    return formatted && m_openCount > 0 && m_document.Exists(path);
}

int32_t CXMLSettingsAPI::Remove(const char* format, ...) {
    std::string path;
    va_list arguments;
    va_start(arguments, format);
    const bool formatted = FormatPath(path, format, arguments);
    va_end(arguments);
    CLockHolder hold(m_lock);
    if (!formatted || m_openCount <= 0 || !m_document.RemoveElement(path)) return 0;
    if (m_autoSave && !SaveLocked()) return 0;
    return 1;
}

bool CXMLSettingsAPI::IsOpen() {
    CLockHolder hold(m_lock);
    return m_openCount > 0;
}

bool CXMLSettingsAPI::AutoSave() {
    CLockHolder hold(m_lock);
    return m_autoSave;
}

void CXMLSettingsAPI::SetAutoSave(bool autoSave) {
    CLockHolder hold(m_lock);
    m_autoSave = autoSave;
}

CXMLSettingsAPI::EOpenFailure CXMLSettingsAPI::LastOpenFailure() {
    CLockHolder hold(m_lock);
    return m_lastFailure;
}

void CXMLSettingsAPI::SetBaseDirectory(const std::string& directory) {
    CLockHolder hold(m_lock);
    m_baseDirectory = directory;
}
