#include <pugixml.hpp>

#include "platform/PlatformXml.h"

namespace talvex::platform {

struct CXmlDocument::SImpl {
    pugi::xml_document document;
    bool loaded = false;

    // The first element at path in document order, as an XPath location
    // path relative to the document node selects it; a path pugixml cannot
    // evaluate selects nothing.
    pugi::xml_node Select(const std::string& path) {
        if (!loaded || path.empty()) return {};
        try {
            pugi::xpath_query query(path.c_str());
            if (!query) return {};
            return query.evaluate_node(document).node();
        } catch (...) {
            return {};
        }
    }
};

CXmlDocument::CXmlDocument() : m_impl(std::make_unique<SImpl>()) {}
CXmlDocument::~CXmlDocument() = default;

bool CXmlDocument::Load(const std::string& path) {
    Release();
    // The blanks between elements are the layout of the last save, not
    // content: kept, they would outlive the elements they indented and every
    // rewrite of a channel would add another empty line to the file.
    const pugi::xml_parse_result result =
        m_impl->document.load_file(path.c_str(), pugi::parse_default | pugi::parse_declaration, pugi::encoding_auto);
    m_impl->loaded = result && m_impl->document.document_element();
    if (!m_impl->loaded) m_impl->document.reset();
    return m_impl->loaded;
}

bool CXmlDocument::CreateEmpty(const std::string& rootName) {
    Release();
    pugi::xml_node declaration = m_impl->document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    if (!m_impl->document.append_child(rootName.c_str())) {
        m_impl->document.reset();
        return false;
    }
    m_impl->loaded = true;
    return true;
}

bool CXmlDocument::SaveTo(const std::string& path) {
    if (!m_impl->loaded) return false;
    return m_impl->document.save_file(path.c_str(), "\t", pugi::format_default, pugi::encoding_utf8);
}

void CXmlDocument::Release() {
    m_impl->document.reset();
    m_impl->loaded = false;
}

bool CXmlDocument::IsLoaded() const { return m_impl->loaded; }

bool CXmlDocument::Exists(const std::string& path) { return static_cast<bool>(m_impl->Select(path)); }

bool CXmlDocument::GetAttribute(const std::string& path, const std::string& name, std::string& value) {
    const pugi::xml_attribute attribute = m_impl->Select(path).attribute(name.c_str());
    if (!attribute) return false;
    value = attribute.value();
    return true;
}

bool CXmlDocument::SetAttribute(const std::string& path, const std::string& name, const std::string& value) {
    pugi::xml_node element = m_impl->Select(path);
    if (!element) return false;
    pugi::xml_attribute attribute = element.attribute(name.c_str());
    if (!attribute) attribute = element.append_attribute(name.c_str());
    return attribute && attribute.set_value(value.c_str());
}

bool CXmlDocument::AppendElement(const std::string& parentPath, const std::string& name) {
    pugi::xml_node parent = m_impl->Select(parentPath);
    return parent && parent.append_child(name.c_str());
}

bool CXmlDocument::RemoveElement(const std::string& path) {
    pugi::xml_node element = m_impl->Select(path);
    return element && element.parent().remove_child(element);
}

}  // namespace talvex::platform
