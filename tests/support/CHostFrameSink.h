// Stand-in host: one input's frame sink, recording what it was given.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "CHostSampleAllocator.h"
#include "wrenfield/Media.h"

namespace wftest {

struct SFrame {
    std::vector<uint8_t> data;
    uint32_t fourcc = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t sizeClass = 0;
    uint32_t bufferSize = 0;
    bool timeSet = false;
    int timeNowCalls = 0;
    SYSTEMTIME time{};
};

class CHostFrameSink final : public talvex::ipcapture::IHostFrameSink {
public:
    enum class EMode { Accept, Refuse, Throw };

    bool OnFrame(talvex::ipcapture::IHostMediaSample* sample) override {
        const EMode current = mode.load();
        if (current == EMode::Throw) throw std::runtime_error("host sink failure");
        if (current == EMode::Refuse) {
            ++refused;
            return false;
        }
        auto* hostSample = static_cast<CHostMediaSample*>(sample);
        SFrame frame;
        frame.data = hostSample->Data();
        // A sample keeps the code it was created with until one is set.
        frame.fourcc = hostSample->fourcc != 0 ? hostSample->fourcc : hostSample->requestedFourCC;
        frame.width = hostSample->width;
        frame.height = hostSample->height;
        frame.sizeClass = hostSample->sizeClass;
        frame.bufferSize = static_cast<uint32_t>(hostSample->buffer.size());
        frame.timeSet = hostSample->timeSet;
        frame.timeNowCalls = hostSample->timeNowCalls;
        frame.time = hostSample->time;
        std::lock_guard<std::mutex> lock(m_mutex);  // guards m_frames
        m_frames.push_back(std::move(frame));
        m_changed.notify_all();
        return true;
    }

    void OnSignalLost() override {
        ++signalLost;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_changed.notify_all();
    }

    std::vector<SFrame> Frames() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }

    std::size_t FrameCount() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames.size();
    }

    bool WaitForFrames(std::size_t count, std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, deadline, [&] { return m_frames.size() >= count; });
    }

    bool WaitForSignalLost(int count, std::chrono::milliseconds deadline) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, deadline, [&] { return signalLost.load() >= count; });
    }

    std::atomic<EMode> mode{EMode::Accept};
    std::atomic<int> refused{0};
    std::atomic<int> signalLost{0};

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SFrame> m_frames;
};

}  // namespace wftest
