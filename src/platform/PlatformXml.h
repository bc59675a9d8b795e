// One XML document held in memory: load, save, find an element by path,
// create and remove elements, read and write attributes. Paths are chains of
// element names from the document element down, joined by "/"
// ("root/PtzChannel01/Preposition000/Name"); the first match in document
// order is taken. Texts are UTF-8.
#pragma once

#include <memory>
#include <string>

namespace talvex::platform {

class CXmlDocument {
public:
    CXmlDocument();
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // Replaces the document with the file's; false (and no document) when it
    // cannot be read or is not well-formed XML with a document element.
    bool Load(const std::string& path);
    // A document of an XML declaration (version 1.0, utf-8) and an empty
    // element named rootName.
    bool CreateEmpty(const std::string& rootName);
    bool SaveTo(const std::string& path);
    void Release();
    bool IsLoaded() const;

    bool Exists(const std::string& path);
    // False when the element or the attribute is missing.
    bool GetAttribute(const std::string& path, const std::string& name, std::string& value);
    bool SetAttribute(const std::string& path, const std::string& name, const std::string& value);
    // Appends an empty element named name as the last child of the element at
    // parentPath.
    bool AppendElement(const std::string& parentPath, const std::string& name);
    bool RemoveElement(const std::string& path);

private:
    struct SImpl;
    std::unique_ptr<SImpl> m_impl;
};

}  // namespace talvex::platform
