// Stand-in host: records how a capability query ended, and anything after.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "CTestTranscript.h"
#include "wrenfield/CapabilityQuery.h"

namespace wftest {

struct SCapabilityOutcome {
    enum class EKind { Ready, Failed, Killed } kind = EKind::Ready;
    uint32_t reason = 0;
    std::string text;
};

class CHostCapabilityCallback final : public talvex::ipcapture::IHostCapabilityCallback {
public:
    void OnCapabilitiesReady() override { Record({SCapabilityOutcome::EKind::Ready, 0, {}}); }
    void OnCapabilityQueryFailed(uint32_t reason, const char* text) override {
        Transcribe("capability failure " + std::to_string(reason), text != nullptr ? text : "(null)");
        Record({SCapabilityOutcome::EKind::Failed, reason, text != nullptr ? text : "(null)"});
    }
    void OnCapabilityQueryKilled() override { Record({SCapabilityOutcome::EKind::Killed, 0, {}}); }

    std::vector<SCapabilityOutcome> Outcomes() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_outcomes;
    }
    // Waits until at least count calls arrived.
    bool WaitFor(std::size_t count, std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, deadline, [&] { return m_outcomes.size() >= count; });
    }

private:
    void Record(SCapabilityOutcome outcome) {
        std::lock_guard<std::mutex> lock(m_mutex);  // guards m_outcomes
        m_outcomes.push_back(std::move(outcome));
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SCapabilityOutcome> m_outcomes;
};

}  // namespace wftest
