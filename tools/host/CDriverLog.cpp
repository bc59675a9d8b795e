#include "CDriverLog.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace wfhost {

namespace {

std::string TimeStamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
#if defined(_WIN32)
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[64];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms));
    return text;
}

}  // namespace

CDriverLog::~CDriverLog() {
    if (m_file != nullptr) std::fclose(m_file);
}

bool CDriverLog::OpenFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file != nullptr) std::fclose(m_file);
    m_file = std::fopen(path.c_str(), "w");
    return m_file != nullptr;
}

void CDriverLog::OnDebugMessage(CDebugInfoIf* info) {
    // Called on driver threads: nothing may escape into the driver.
    try {
        if (info == nullptr) return;
        const char* text = info->GetText();
        Write(info->GetLevel(), text != nullptr ? text : "");
    } catch (...) {
    }
}

void CDriverLog::Write(unsigned int level, const std::string& text) {
    const std::string masked = m_mask.Apply(text);
    const std::string line = TimeStamp() + " [" + std::to_string(level) + "] " + masked + "\n";
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastLines[InputOfLine(masked)] = masked;
    if (m_file != nullptr) {
        std::fputs(line.c_str(), m_file);
        std::fflush(m_file);
    }
    if (m_echo != nullptr) std::fputs(line.c_str(), m_echo);
}

std::string CDriverLog::LastLine(unsigned int input) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_lastLines.find(static_cast<int>(input));
    if (found == m_lastLines.end()) found = m_lastLines.find(-1);
    return found == m_lastLines.end() ? std::string() : found->second;
}

int CDriverLog::InputOfLine(const std::string& text) {
    static constexpr const char* kMarker = "(channel ";
    const auto at = text.find(kMarker);
    if (at == std::string::npos) return -1;
    const char* digits = text.c_str() + at + std::char_traits<char>::length(kMarker);
    char* end = nullptr;
    const long input = std::strtol(digits, &end, 10);
    return end != digits && *end == ')' && input >= 0 && input < 1000 ? static_cast<int>(input) : -1;
}

}  // namespace wfhost
