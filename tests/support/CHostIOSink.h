// Stand-in host: the digital I/O sink.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

#include "wrenfield/IO.h"

namespace wftest {

class CHostIOSink final : public talvex::ipcapture::IHostIOSink {
public:
    void OnInputChanged(unsigned int index, int32_t state) override {
        std::lock_guard<std::mutex> lock(m_mutex);  // guards m_changes
        m_changes.emplace_back(index, state);
        m_changed.notify_all();
        if (throwFromCalls) throw std::runtime_error("host sink failed");
    }
    void OnIOFailure() override {
        ++failures;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_changed.notify_all();
        }
        if (throwFromCalls) throw std::runtime_error("host sink failed");
    }

    std::vector<std::pair<unsigned int, int32_t>> Changes() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_changes;
    }

    bool WaitForChanges(std::size_t count, std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, deadline, [&] { return m_changes.size() >= count; });
    }

    bool WaitForFailures(int count, std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, deadline, [&] { return failures.load() >= count; });
    }

    std::atomic<int> failures{0};
    // Every call throws after it was recorded, as a faulty host would.
    std::atomic<bool> throwFromCalls{false};

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<unsigned int, int32_t>> m_changes;
};

}  // namespace wftest
