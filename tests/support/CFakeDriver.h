// A driver face for tests of internal objects: fixed device settings, a
// recording message path and the stand-in host's allocator.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "driver/IDriver.h"

namespace wftest {

class CFakeDriver final : public talvex::IDriver {
public:
    CFakeDriver() {
        device.Address = "127.0.0.1";
        device.Port = 80;
    }

    void DebugMessage(int32_t level, const char* format, ...) override WF_PRINTF_FORMAT(3, 4) {
        va_list arguments;
        va_start(arguments, format);
        va_list counting;
        va_copy(counting, arguments);
        const int length = std::vsnprintf(nullptr, 0, format, counting);
        va_end(counting);
        std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
        if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, arguments);
        va_end(arguments);
        std::lock_guard<std::mutex> lock(m_mutex);  // guards m_lines
        m_lines.push_back({level, text});
    }

    std::string GetDriverName() override { return "Wrenfield"; }
    talvex::DEVICE_INFO& GetDeviceInfo() override { return device; }
    std::pair<uint32_t, uint32_t> GetIOCounts() override { return {inputs, outputs}; }
    talvex::ipcapture::IHostSampleAllocator* GetSampleAllocator() override { return allocator; }
    int32_t GetFlagParam() override { return 0; }
    int32_t GetStreamType() override { return streamType; }
    uint32_t GetChannelCount() override { return channelCount; }
    std::string GetAddressWithPort() override { return device.Address + ":" + std::to_string(device.Port); }
    std::string GetCustomParam(unsigned int index) override {
        auto it = custom.find(index);
        return it == custom.end() ? std::string() : it->second;
    }
    int32_t GetCustomParamInt(unsigned int index) override {
        auto it = custom.find(index);
        return it == custom.end() ? talvex::kCustomParamAbsent : std::atoi(it->second.c_str());
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

    talvex::DEVICE_INFO device;
    uint32_t channelCount = 1;
    uint32_t inputs = 0;
    uint32_t outputs = 0;
    int32_t streamType = 1;
    talvex::ipcapture::IHostSampleAllocator* allocator = nullptr;
    std::map<unsigned int, std::string> custom;

private:
    mutable std::mutex m_mutex;
    std::vector<SLine> m_lines;
};

}  // namespace wftest
