// A driver message path for tests of internal objects: formats like the
// driver does and keeps every line with its level.
#pragma once

#include <cstdarg>
#include <mutex>
#include <string>
#include <vector>

#include "CTestTranscript.h"
#include "base/IDebugMessage.h"
#include "base/FormatString.h"

namespace wftest {

class CRecordingLog final : public IDebugMessage {
public:
    void DebugMessage(int32_t level, const char* format, ...) override WF_PRINTF_FORMAT(3, 4) {
        va_list arguments;
        va_start(arguments, format);
        std::string text = talvex::FormatStringV(format, arguments);
        va_end(arguments);
        Record(level, std::move(text));
    }

    // Keeps a line that was formatted elsewhere.
    void Record(int32_t level, std::string text) {
        Transcribe("driver log " + std::to_string(level), text);
        std::lock_guard<std::mutex> lock(m_mutex);  // guards m_lines
        m_lines.push_back({level, std::move(text)});
    }

    struct SLine {
        int32_t level;
        std::string text;
    };

    std::vector<SLine> Lines() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

    std::size_t Count(const std::string& fragment) const {
        std::size_t count = 0;
        for (const auto& line : Lines())
            if (line.text.find(fragment) != std::string::npos) ++count;
        return count;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<SLine> m_lines;
};

}  // namespace wftest
