#include "CJsonText.h"

#include <cmath>
#include <cstdio>

namespace wfhost {

std::string CJsonText::Quote(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04x", byte);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

void CJsonText::Key(std::string_view key) {
    if (m_needComma) m_text += ',';
    if (!key.empty()) m_text += Quote(key) + ":";
    m_needComma = true;
}

CJsonText& CJsonText::BeginObject(std::string_view key) {
    Key(key);
    m_text += '{';
    m_needComma = false;
    return *this;
}

CJsonText& CJsonText::EndObject() {
    m_text += '}';
    m_needComma = true;
    return *this;
}

CJsonText& CJsonText::BeginArray(std::string_view key) {
    Key(key);
    m_text += '[';
    m_needComma = false;
    return *this;
}

CJsonText& CJsonText::EndArray() {
    m_text += ']';
    m_needComma = true;
    return *this;
}

CJsonText& CJsonText::Add(std::string_view key, std::string_view value) {
    Key(key);
    m_text += Quote(value);
    return *this;
}

CJsonText& CJsonText::Add(std::string_view key, int64_t value) {
    Key(key);
    m_text += std::to_string(value);
    return *this;
}

CJsonText& CJsonText::Add(std::string_view key, double value) {
    Key(key);
    char text[40];
    std::snprintf(text, sizeof(text), "%.3f", std::isfinite(value) ? value : 0.0);
    m_text += text;
    return *this;
}

CJsonText& CJsonText::Add(std::string_view key, bool value) {
    Key(key);
    m_text += value ? "true" : "false";
    return *this;
}

}  // namespace wfhost
