// The host's diagnostic sink: every driver line, passwords masked, goes to
// the log file (when one is open) and the last line of each input is kept
// for the progress display.
#pragma once

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "CSecretMask.h"
#include "wrenfield/DebugInfo.h"

namespace wfhost {

class CDriverLog final : public talvex::ipcapture::IHostDebugSink {
public:
    explicit CDriverLog(CSecretMask mask) : m_mask(std::move(mask)) {}
    ~CDriverLog() override;
    CDriverLog(const CDriverLog&) = delete;
    CDriverLog& operator=(const CDriverLog&) = delete;

    bool OpenFile(const std::string& path);
    void SetEcho(FILE* stream) { m_echo = stream; }  // also prints every line (null: none)

    void OnDebugMessage(CDebugInfoIf* info) override;
    // Also the host's own lines, so the file tells the whole story.
    void Write(unsigned int level, const std::string& text);

    // The last line naming that input (a video server names its channels),
    // or the last line of the device.
    std::string LastLine(unsigned int input) const;
    // -1: the line names no input.
    static int InputOfLine(const std::string& text);

private:
    const CSecretMask m_mask;
    mutable std::mutex m_mutex;  // guards everything below; lines stay whole
    FILE* m_file = nullptr;
    FILE* m_echo = nullptr;
    std::map<int, std::string> m_lastLines;  // -1: the device
};

}  // namespace wfhost
