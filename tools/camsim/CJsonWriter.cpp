#include "CJsonWriter.h"

#include <cstdio>

namespace camsim {

void CJsonWriter::Separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_hasItems.empty()) {
        if (m_hasItems.back()) m_text += ',';
        m_hasItems.back() = true;
    }
}

void CJsonWriter::AppendEscaped(std::string_view value) {
    m_text += '"';
    for (const char c : value) {
        switch (c) {
            case '"': m_text += "\\\""; break;
            case '\\': m_text += "\\\\"; break;
            case '\n': m_text += "\\n"; break;
            case '\r': m_text += "\\r"; break;
            case '\t': m_text += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
                    m_text += escape;
                } else {
                    m_text += c;
                }
        }
    }
    m_text += '"';
}

CJsonWriter& CJsonWriter::BeginObject() {
    Separate();
    m_text += '{';
    m_hasItems.push_back(false);
    return *this;
}

CJsonWriter& CJsonWriter::EndObject() {
    m_text += '}';
    m_hasItems.pop_back();
    return *this;
}

CJsonWriter& CJsonWriter::BeginArray() {
    Separate();
    m_text += '[';
    m_hasItems.push_back(false);
    return *this;
}

CJsonWriter& CJsonWriter::EndArray() {
    m_text += ']';
    m_hasItems.pop_back();
    return *this;
}

CJsonWriter& CJsonWriter::Key(std::string_view key) {
    Separate();
    AppendEscaped(key);
    m_text += ':';
    m_afterKey = true;
    return *this;
}

CJsonWriter& CJsonWriter::String(std::string_view value) {
    Separate();
    AppendEscaped(value);
    return *this;
}

CJsonWriter& CJsonWriter::Number(long long value) {
    Separate();
    m_text += std::to_string(value);
    return *this;
}

CJsonWriter& CJsonWriter::Bool(bool value) {
    Separate();
    m_text += value ? "true" : "false";
    return *this;
}

}  // namespace camsim
