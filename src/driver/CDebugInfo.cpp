#include "driver/CDebugInfo.h"

#include <cstring>

namespace talvex {

CDebugInfo::CDebugInfo(uint8_t level, const char* text) : m_level(level) {
    if (text != nullptr && text[0] != '\0') {
        const std::size_t length = std::strlen(text);
        m_text = std::make_unique<char[]>(length + 1);
        std::memcpy(m_text.get(), text, length + 1);
    }
}

CDebugInfo::~CDebugInfo() = default;

uint8_t CDebugInfo::GetLevel() const { return m_level; }

const char* CDebugInfo::GetText() const { return m_text.get(); }

}  // namespace talvex
