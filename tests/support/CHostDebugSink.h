// Stand-in host: records every diagnostic message the driver delivers.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "CTestTranscript.h"
#include "wrenfield/DebugInfo.h"

namespace wftest {

struct SMessage {
    int level = 0;
    std::string text;
    bool nullText = false;  // the record's GetText returned null
};

class CHostDebugSink final : public talvex::ipcapture::IHostDebugSink {
public:
    void OnDebugMessage(CDebugInfoIf* info) override {
        SMessage message;
        message.level = info->GetLevel();
        const char* text = info->GetText();
        message.nullText = text == nullptr;
        if (text != nullptr) message.text = text;
        Transcribe("host message " + std::to_string(message.level), message.text);
        std::lock_guard<std::mutex> lock(m_mutex);  // guards m_messages
        m_messages.push_back(std::move(message));
        m_changed.notify_all();
    }

    std::vector<SMessage> Messages() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }

    // Messages whose text contains the fragment.
    std::vector<SMessage> Containing(const std::string& fragment) const {
        std::vector<SMessage> found;
        for (const auto& message : Messages())
            if (message.text.find(fragment) != std::string::npos) found.push_back(message);
        return found;
    }

    std::size_t Count(const std::string& fragment) const { return Containing(fragment).size(); }

    // Waits until a message containing the fragment arrived.
    bool WaitFor(const std::string& fragment, std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, deadline, [&] {
            for (const auto& message : m_messages)
                if (message.text.find(fragment) != std::string::npos) return true;
            return false;
        });
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SMessage> m_messages;
};

}  // namespace wftest
