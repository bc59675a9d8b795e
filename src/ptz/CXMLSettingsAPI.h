// A path-based view of one XML settings file: each element carries its value
// in the attribute "value". The document stays in memory between calls;
// changes reach the disk when the file is saved, and a save writes a new
// file beside the old one, flushes it to the disk and then renames it over
// the old one, so neither a crash nor a power loss leaves a half-written
// file behind.
#pragma once

#include <cstdint>
#include <string>

#include "base/IDebugMessage.h"
#include "platform/PlatformXml.h"
#include "thread/CRecursiveLock.h"

class CXMLSettingsAPI {
public:
    // Results of Open: the COM codes the Windows document layer gives.
    static constexpr int32_t kOk = 0;
    static constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80070057u);
    static constexpr int32_t kFailed = static_cast<int32_t>(0x80004005u);
    // Paths are formatted into at most this many characters.
    static constexpr std::size_t kMaxPathChars = 1023;

    // Why the last Open failed, so that the caller can tell a file it may
    // create from one it must not overwrite.
    enum class EOpenFailure { None, MissingOrEmpty, Unreadable, NotXml };

    CXMLSettingsAPI() = default;
    virtual ~CXMLSettingsAPI();
    CXMLSettingsAPI(const CXMLSettingsAPI&) = delete;
    CXMLSettingsAPI& operator=(const CXMLSettingsAPI&) = delete;

    int32_t Open(const char* fileName);
    // The open count left.
    int32_t Close();
    // A file of the XML declaration and an empty root element; 1 on success.
    int32_t CreateNew(const char* rootName, const char* fileName);
    // 1 on success.
    int32_t Save();
    // Values are UTF-8; the output is empty when the element or its value is missing.
    std::string& GetValue(std::string& out, const char* format, ...) WF_PRINTF_FORMAT(3, 4);
    // Creates missing elements on the way; 1 on success. An empty value, or
    // one that is not UTF-8 an XML file can hold, writes nothing.
    int32_t SetValue(const std::string& value, const char* format, ...) WF_PRINTF_FORMAT(3, 4);
    bool Exists(const char* format, ...) WF_PRINTF_FORMAT(2, 3);
    int32_t Remove(const char* format, ...) WF_PRINTF_FORMAT(2, 3);

    bool IsOpen();
    bool AutoSave();
    void SetAutoSave(bool autoSave);
    EOpenFailure LastOpenFailure();
    // Where files are looked for; empty (the default) means the host
    // executable's directory.
    void SetBaseDirectory(const std::string& directory);
    std::string FullPath(const std::string& fileName);

private:
    bool CreateElement(const std::string& path);
    bool SaveLocked();
    static bool ReplaceWith(const std::string& temporary, const std::string& fullPath);

    CRecursiveLock m_lock;  // guards everything below, for each whole operation
    talvex::platform::CXmlDocument m_document;
    int32_t m_openCount = 0;
    bool m_autoSave = false;
    std::string m_filePath;
    std::string m_baseDirectory;
    EOpenFailure m_lastFailure = EOpenFailure::None;
};
