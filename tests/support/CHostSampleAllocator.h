// Stand-in host: media samples and the allocator that hands them out.
#pragma once

#include <atomic>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "wrenfield/Media.h"

namespace wftest {

class CHostMediaSample final : public talvex::ipcapture::IHostMediaSample {
public:
    CHostMediaSample(uint32_t fourcc, uint32_t bufferSize, std::string failingCall = {})
        : requestedFourCC(fourcc), buffer(bufferSize), m_failingCall(std::move(failingCall)) {}

    uint8_t* GetBuffer() override {
        Fail("GetBuffer");
        return buffer.data();
    }
    void SetDataSize(unsigned int bytes) override { dataSize = bytes; }
    void SetTimeNow() override {
        Fail("SetTimeNow");
        timeNowCalls++;
    }
    void SetTime(const SYSTEMTIME* utcTime) override {
        Fail("SetTime");
        if (utcTime != nullptr) {
            time = *utcTime;
            timeSet = true;
        }
    }
    void SetFourCC(unsigned int code) override { fourcc = code; }
    void SetHeight(unsigned int value) override { height = value; }
    void SetWidth(unsigned int value) override {
        Fail("SetWidth");
        width = value;
    }
    void SetSizeClass(unsigned int value) override { sizeClass = value; }

    // The delivered bytes.
    std::vector<uint8_t> Data() const {
        const std::size_t size = dataSize < buffer.size() ? dataSize : buffer.size();
        return std::vector<uint8_t>(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
    }

    uint32_t requestedFourCC;
    std::vector<uint8_t> buffer;
    uint32_t dataSize = 0;
    int timeNowCalls = 0;
    SYSTEMTIME time{};
    bool timeSet = false;
    uint32_t fourcc = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t sizeClass = 0;

    bool FailsIn(const char* call) const { return m_failingCall == call; }

private:
    // A host in trouble: the named call throws.
    void Fail(const char* call) const {
        if (m_failingCall == call) throw std::runtime_error(std::string("host failure in ") + call);
    }
    std::string m_failingCall;
};

class CHostSampleAllocator final : public talvex::ipcapture::IHostSampleAllocator {
public:
    talvex::ipcapture::IHostMediaSample* CreateSample(unsigned int fourcc, unsigned int bufferSize,
                                                      const char*) override {
        if (refuse) return nullptr;
        // Every failEvery-th sample meets the failing host call.
        const bool failing = failEvery > 0 && ++m_requests % failEvery == 0;
        if (failing && failingCall == "CreateSample") throw std::bad_alloc();
        {
            std::lock_guard<std::mutex> lock(m_mutex);  // guards m_requestedSizes
            m_requestedSizes.push_back(bufferSize);
        }
        ++created;
        return new CHostMediaSample(fourcc, bufferSize, failing ? failingCall : std::string());
    }
    void ReleaseSample(talvex::ipcapture::IHostMediaSample* sample) override {
        ++released;
        auto* own = static_cast<CHostMediaSample*>(sample);
        const bool failing = own->FailsIn("ReleaseSample");
        delete own;
        if (failing) throw std::runtime_error("host failure in ReleaseSample");
    }

    std::vector<uint32_t> RequestedSizes() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requestedSizes;
    }

    std::atomic<bool> refuse{false};
    std::atomic<int> created{0};
    std::atomic<int> released{0};
    // Set before use, from the test's thread.
    int failEvery = 0;
    std::string failingCall;

private:
    mutable std::mutex m_mutex;
    std::vector<uint32_t> m_requestedSizes;
    // Channels of a video server share one allocator, each from its own thread.
    std::atomic<int> m_requests{0};
};

}  // namespace wftest
