// The XML document on MSXML 3.0 through COM. Every COM result is checked
// here and turned into false, so no COM error travels up.
#include "platform/PlatformXml.h"
#include "wrenfield/Platform.h"

#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>

#include <msxml2.h>

#include <string>

namespace talvex::platform {

namespace {

// DOMDocument30, the MSXML 3.0 document class, and the interfaces we use.
constexpr CLSID kDomDocument30 = {0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
constexpr IID kIXMLDOMDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIXMLDOMElement = {0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

template <typename T>
class CComRef {
public:
    CComRef() = default;
    ~CComRef() { Reset(); }
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;
    T** Out() {
        Reset();
        return &m_pointer;
    }
    void Reset() {
        if (m_pointer != nullptr) m_pointer->Release();
        m_pointer = nullptr;
    }
    T* Get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

private:
    T* m_pointer = nullptr;
};

// A BSTR owned for one call.
class CBstr {
public:
    CBstr(const std::string& text, UINT codePage) {
        if (text.empty()) {
            m_text = ::SysAllocString(L"");
            return;
        }
        const int length = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                                                 static_cast<int>(text.size()), nullptr, 0);
        if (length <= 0) return;
        m_text = ::SysAllocStringLen(nullptr, static_cast<UINT>(length));
        if (m_text != nullptr)
            ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), m_text, length);
    }
    ~CBstr() { ::SysFreeString(m_text); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR Get() const { return m_text; }
    explicit operator bool() const { return m_text != nullptr; }

private:
    BSTR m_text = nullptr;
};

bool ToUtf8(const wchar_t* text, UINT length, std::string& out) {
    out.clear();
    if (length == 0) return true;
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    out.resize(static_cast<std::size_t>(size));
    return ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr) ==
           size;
}

}  // namespace

struct CXmlDocument::SImpl {
    IXMLDOMDocument2* document = nullptr;
    // COM is initialized on the thread that made the document and undone
    // there only: undoing it on another thread would take COM away from a
    // host thread that set it up for itself.
    bool comInitialized = false;
    DWORD comThread = 0;

    bool Create() {
        Drop();
        const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(init)) {
            comInitialized = true;
            comThread = ::GetCurrentThreadId();
        } else if (init != RPC_E_CHANGED_MODE) {
            return false;  // a thread in another apartment model can still use the document
        }
        CComRef<IUnknown> unknown;
        HRESULT result = ::CoCreateInstance(kDomDocument30, nullptr, CLSCTX_ALL, IID_IUnknown,
                                            reinterpret_cast<void**>(unknown.Out()));
        if (SUCCEEDED(result)) result = ::OleRun(unknown.Get());
        if (SUCCEEDED(result))
            result = unknown->QueryInterface(kIXMLDOMDocument2, reinterpret_cast<void**>(&document));
        if (FAILED(result) || document == nullptr) {
            Drop();
            return false;
        }
        document->put_async(VARIANT_FALSE);
        document->put_preserveWhiteSpace(VARIANT_TRUE);
        CBstr property("SelectionLanguage", CP_ACP);
        CBstr language("XPath", CP_ACP);
        VARIANT value;
        ::VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = language.Get();
        if (property && language) document->setProperty(property.Get(), value);
        return true;
    }

    void Drop() {
        if (document != nullptr) document->Release();
        document = nullptr;
        if (comInitialized && comThread == ::GetCurrentThreadId()) ::CoUninitialize();
        comInitialized = false;
        comThread = 0;
    }

    bool Select(const std::string& path, CComRef<IXMLDOMNode>& node) {
        if (document == nullptr || path.empty()) return false;
        CBstr query(path, CP_UTF8);
        if (!query) return false;
        return document->selectSingleNode(query.Get(), node.Out()) == S_OK && node;
    }

    bool SelectElement(const std::string& path, CComRef<IXMLDOMElement>& element) {
        CComRef<IXMLDOMNode> node;
        if (!Select(path, node)) return false;
        return SUCCEEDED(node->QueryInterface(kIXMLDOMElement, reinterpret_cast<void**>(element.Out()))) &&
               element;
    }
};

CXmlDocument::CXmlDocument() : m_impl(std::make_unique<SImpl>()) {}
CXmlDocument::~CXmlDocument() { Release(); }

bool CXmlDocument::Load(const std::string& path) {
    if (!m_impl->Create()) return false;
    CBstr file(path, CP_ACP);
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = file.Get();
    VARIANT_BOOL loaded = VARIANT_FALSE;
    CComRef<IXMLDOMElement> root;
    if (!file || m_impl->document->load(source, &loaded) != S_OK || loaded != VARIANT_TRUE ||
        m_impl->document->get_documentElement(root.Out()) != S_OK || !root) {
        root.Reset();
        m_impl->Drop();
        return false;
    }
    return true;
}

bool CXmlDocument::CreateEmpty(const std::string& rootName) {
    if (!m_impl->Create()) return false;
    IXMLDOMDocument2* document = m_impl->document;
    CBstr target("xml", CP_ACP);
    CBstr data("version='1.0' encoding='utf-8'", CP_ACP);
    CBstr name(rootName, CP_UTF8);
    CComRef<IXMLDOMProcessingInstruction> declaration;
    CComRef<IXMLDOMElement> root;
    CComRef<IXMLDOMNode> appended;
    bool ok = target && data && name &&
              document->createProcessingInstruction(target.Get(), data.Get(), declaration.Out()) == S_OK &&
              document->appendChild(declaration.Get(), appended.Out()) == S_OK &&
              document->createElement(name.Get(), root.Out()) == S_OK &&
              document->appendChild(root.Get(), appended.Out()) == S_OK;
    if (!ok) {
        declaration.Reset();
        root.Reset();
        appended.Reset();
        m_impl->Drop();
    }
    return ok;
}

bool CXmlDocument::SaveTo(const std::string& path) {
    if (m_impl->document == nullptr) return false;
    CBstr file(path, CP_ACP);
    if (!file) return false;
    VARIANT destination;
    ::VariantInit(&destination);
    destination.vt = VT_BSTR;
    destination.bstrVal = file.Get();
    return m_impl->document->save(destination) == S_OK;
}

void CXmlDocument::Release() { m_impl->Drop(); }

bool CXmlDocument::IsLoaded() const { return m_impl->document != nullptr; }

bool CXmlDocument::Exists(const std::string& path) {
    CComRef<IXMLDOMNode> node;
    return m_impl->Select(path, node);
}

bool CXmlDocument::GetAttribute(const std::string& path, const std::string& name, std::string& value) {
    CComRef<IXMLDOMElement> element;
    CBstr attribute(name, CP_UTF8);
    if (!attribute || !m_impl->SelectElement(path, element)) return false;
    VARIANT text;
    ::VariantInit(&text);
    if (element->getAttribute(attribute.Get(), &text) != S_OK || text.vt != VT_BSTR) {
        ::VariantClear(&text);
        return false;
    }
    const bool ok = ToUtf8(text.bstrVal, ::SysStringLen(text.bstrVal), value);
    ::VariantClear(&text);
    return ok;
}

bool CXmlDocument::SetAttribute(const std::string& path, const std::string& name, const std::string& value) {
    CComRef<IXMLDOMElement> element;
    CBstr attribute(name, CP_UTF8);
    CBstr text(value, CP_UTF8);
    if (!attribute || !text || !m_impl->SelectElement(path, element)) return false;
    VARIANT content;
    ::VariantInit(&content);
    content.vt = VT_BSTR;
    content.bstrVal = text.Get();
    return element->setAttribute(attribute.Get(), content) == S_OK;
}

bool CXmlDocument::AppendElement(const std::string& parentPath, const std::string& name) {
    CComRef<IXMLDOMNode> parent;
    CComRef<IXMLDOMElement> child;
    CComRef<IXMLDOMNode> appended;
    CBstr tag(name, CP_UTF8);
    return tag && m_impl->Select(parentPath, parent) &&
           m_impl->document->createElement(tag.Get(), child.Out()) == S_OK &&
           parent->appendChild(child.Get(), appended.Out()) == S_OK;
}

bool CXmlDocument::RemoveElement(const std::string& path) {
    CComRef<IXMLDOMNode> node;
    CComRef<IXMLDOMNode> parent;
    CComRef<IXMLDOMNode> removed;
    return m_impl->Select(path, node) && node->get_parentNode(parent.Out()) == S_OK && parent &&
           parent->removeChild(node.Get(), removed.Out()) == S_OK;
}

}  // namespace talvex::platform
