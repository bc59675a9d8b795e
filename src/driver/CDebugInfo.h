#pragma once

#include <cstdint>
#include <memory>

#include "wrenfield/DebugInfo.h"

namespace talvex {

// One message as the host receives it: the level and an owned copy of the
// finished text.
class CDebugInfo final : public CDebugInfoIf {
public:
    CDebugInfo(uint8_t level, const char* text);
    virtual ~CDebugInfo();
    CDebugInfo(const CDebugInfo&) = delete;
    CDebugInfo& operator=(const CDebugInfo&) = delete;
    WF_DELETING_DESTRUCTOR(CDebugInfo)

    uint8_t GetLevel() const override;
    const char* GetText() const override;

private:
    uint8_t m_level;
    std::unique_ptr<char[]> m_text;  // null for an empty text
};

}  // namespace talvex
