// Stand-in host: records what the driver writes into its capability sink, in
// the order it arrives.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "CTestTranscript.h"
#include "wrenfield/CapabilityQuery.h"

namespace wftest {

struct SHostProperty {
    uint32_t index = 0;
    std::string name;
    uint32_t firstAttribute = 0xFFFFFFFFu;
    uint32_t secondAttribute = 0xFFFFFFFFu;
    std::string value;
};

struct SHostResolution {
    std::string text;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t intervalMs = 0;
};

class CHostCapabilitySink final : public talvex::ipcapture::IHostCapabilitySink {
public:
    // A host without room for these hands back null.
    bool refuseProperties = false;
    bool refuseLists = false;

    void SetCapability(uint32_t kind, int32_t value) override {
        std::lock_guard<std::mutex> lock(m_mutex);  // guards every record below
        capabilities[kind] = value;
        capabilityOrder.push_back(kind);
    }
    talvex::ipcapture::IHostCapabilityProperty* AddProperty(uint32_t index) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (refuseProperties) return nullptr;
        m_properties.emplace_back(index);
        return &m_properties.back();
    }
    void SetConnectionText(uint32_t index, const char* text) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        connection[index] = text != nullptr ? text : "(null)";
        // Text 4 is the host's own password, handed back as the interface defines.
        Transcribe("capability connection " + std::to_string(index), connection[index]);
    }
    void SetDeviceName(const char* name) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        deviceName = name != nullptr ? name : "(null)";
        Transcribe("capability device name", deviceName);
    }
    talvex::ipcapture::IHostResolutionList* GetResolutionList() override {
        return refuseLists ? nullptr : &m_resolutions;
    }
    talvex::ipcapture::IHostFrameRateList* GetFrameRateList(uint32_t index) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        frameRateListIndexes.push_back(index);
        return refuseLists ? nullptr : &m_frameRates;
    }

    std::vector<SHostProperty> Properties() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<SHostProperty> all;
        for (const auto& property : m_properties) all.push_back(property.record);
        return all;
    }
    std::string PropertyValue(const std::string& name) const {
        for (const auto& property : Properties())
            if (property.name == name) return property.value;
        return "(missing)";
    }
    std::vector<SHostResolution> Resolutions() const {
        std::lock_guard<std::mutex> lock(m_resolutions.mutex);
        return m_resolutions.entries;
    }
    std::vector<uint32_t> FrameIntervals() const {
        std::lock_guard<std::mutex> lock(m_frameRates.mutex);
        return m_frameRates.intervals;
    }
    uint32_t DefaultInterval() const {
        std::lock_guard<std::mutex> lock(m_frameRates.mutex);
        return m_frameRates.defaultInterval;
    }
    bool HasCapability(uint32_t kind) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return capabilities.count(kind) != 0;
    }
    int32_t Capability(uint32_t kind) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto found = capabilities.find(kind);
        return found == capabilities.end() ? -1 : found->second;
    }

    std::map<uint32_t, int32_t> capabilities;
    std::vector<uint32_t> capabilityOrder;
    std::map<uint32_t, std::string> connection;
    std::string deviceName;
    std::vector<uint32_t> frameRateListIndexes;

private:
    class CProperty final : public talvex::ipcapture::IHostCapabilityProperty {
    public:
        explicit CProperty(uint32_t index) { record.index = index; }
        void SetName(const char* name) override { record.name = name != nullptr ? name : "(null)"; }
        void SetAttributes(uint32_t first, uint32_t second) override {
            record.firstAttribute = first;
            record.secondAttribute = second;
        }
        void SetValue(const char* value) override {
            record.value = value != nullptr ? value : "(null)";
            Transcribe("capability property " + record.name, record.value);
        }
        SHostProperty record;
    };
    class CResolutionList final : public talvex::ipcapture::IHostResolutionList {
    public:
        void AddResolution(const char* text, uint32_t width, uint32_t height, uint32_t intervalMs) override {
            std::lock_guard<std::mutex> lock(mutex);
            entries.push_back({text != nullptr ? text : "(null)", width, height, intervalMs});
        }
        mutable std::mutex mutex;  // guards entries
        std::vector<SHostResolution> entries;
    };
    class CFrameRateList final : public talvex::ipcapture::IHostFrameRateList {
    public:
        void AddInterval(uint32_t intervalMs) override {
            std::lock_guard<std::mutex> lock(mutex);
            intervals.push_back(intervalMs);
        }
        void SetDefaultInterval(uint32_t intervalMs) override {
            std::lock_guard<std::mutex> lock(mutex);
            defaultInterval = intervalMs;
        }
        mutable std::mutex mutex;  // guards both
        std::vector<uint32_t> intervals;
        uint32_t defaultInterval = 0;
    };

    mutable std::mutex m_mutex;
    std::deque<CProperty> m_properties;  // a deque keeps handed-out entries in place
    CResolutionList m_resolutions;
    CFrameRateList m_frameRates;
};

}  // namespace wftest
