// A driver face for tests of internal objects: fixed device settings, a
// recording message path and the stand-in host's allocator.
#pragma once

#include <cstdarg>
#include <map>
#include <string>
#include <vector>

#include "CRecordingLog.h"
#include "base/IDriver.h"
#include "base/FormatString.h"

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
        std::string text = talvex::FormatStringV(format, arguments);
        va_end(arguments);
        m_log.Record(level, std::move(text));
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

    std::vector<CRecordingLog::SLine> Lines() const { return m_log.Lines(); }
    std::size_t Count(const std::string& fragment) const { return m_log.Count(fragment); }

    talvex::DEVICE_INFO device;
    uint32_t channelCount = 1;
    uint32_t inputs = 0;
    uint32_t outputs = 0;
    int32_t streamType = 1;
    talvex::ipcapture::IHostSampleAllocator* allocator = nullptr;
    std::map<unsigned int, std::string> custom;

private:
    CRecordingLog m_log;
};

}  // namespace wftest
