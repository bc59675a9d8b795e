// The host's capability sink and query callback: records what the driver
// reports of a camera and lets the host thread wait for the end.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "wrenfield/CapabilityQuery.h"

namespace wfhost {

struct SCapabilityProperty {
    uint32_t index = 0;
    std::string name;
    std::string value;
};

struct SCapabilityResolution {
    std::string text;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t intervalMs = 0;
};

struct SCapabilities {
    std::string deviceName;
    std::map<uint32_t, std::string> connection;  // 1 address, 2 port, 3 user, 4 password
    std::map<uint32_t, int32_t> values;          // by capability kind
    std::vector<SCapabilityProperty> properties;
    std::vector<SCapabilityResolution> resolutions;
    std::vector<uint32_t> frameIntervalsMs;
    uint32_t defaultIntervalMs = 0;

    // The property of that index ("" when absent or "(none)").
    std::string Property(uint32_t index) const;
    int32_t Value(uint32_t kind, int32_t absent = 0) const;
};

class CCapabilityRecord final : public talvex::ipcapture::IHostCapabilitySink,
                                public talvex::ipcapture::IHostCapabilityCallback {
public:
    enum class EOutcome { Running, Ready, Failed, Killed };

    void SetCapability(uint32_t kind, int32_t value) override;
    talvex::ipcapture::IHostCapabilityProperty* AddProperty(uint32_t index) override;
    void SetConnectionText(uint32_t index, const char* text) override;
    void SetDeviceName(const char* name) override;
    talvex::ipcapture::IHostResolutionList* GetResolutionList() override { return &m_resolutions; }
    talvex::ipcapture::IHostFrameRateList* GetFrameRateList(uint32_t) override { return &m_frameRates; }

    void OnCapabilitiesReady() override { Finish(EOutcome::Ready, 0, ""); }
    void OnCapabilityQueryFailed(uint32_t reason, const char* text) override;
    void OnCapabilityQueryKilled() override { Finish(EOutcome::Killed, 0, "the capability query was stopped"); }

    // Waits for the callback; Running when the time ran out.
    EOutcome Wait(std::chrono::milliseconds timeout);
    SCapabilities Snapshot() const;
    std::string FailureText() const;
    uint32_t FailureReason() const;

private:
    class CProperty final : public talvex::ipcapture::IHostCapabilityProperty {
    public:
        CProperty(CCapabilityRecord& owner, std::size_t slot) : m_owner(owner), m_slot(slot) {}
        void SetName(const char* name) override;
        void SetAttributes(uint32_t, uint32_t) override {}
        void SetValue(const char* value) override;

    private:
        CCapabilityRecord& m_owner;
        const std::size_t m_slot;
    };
    class CResolutionList final : public talvex::ipcapture::IHostResolutionList {
    public:
        explicit CResolutionList(CCapabilityRecord& owner) : m_owner(owner) {}
        void AddResolution(const char* text, uint32_t width, uint32_t height, uint32_t intervalMs) override;

    private:
        CCapabilityRecord& m_owner;
    };
    class CFrameRateList final : public talvex::ipcapture::IHostFrameRateList {
    public:
        explicit CFrameRateList(CCapabilityRecord& owner) : m_owner(owner) {}
        void AddInterval(uint32_t intervalMs) override;
        void SetDefaultInterval(uint32_t intervalMs) override;

    private:
        CCapabilityRecord& m_owner;
    };

    void Finish(EOutcome outcome, uint32_t reason, const char* text);

    mutable std::mutex m_mutex;  // guards everything below
    std::condition_variable m_finished;
    SCapabilities m_record;
    std::deque<CProperty> m_propertyEntries;  // a deque keeps handed-out entries in place
    CResolutionList m_resolutions{*this};
    CFrameRateList m_frameRates{*this};
    EOutcome m_outcome = EOutcome::Running;
    uint32_t m_reason = 0;
    std::string m_failure;
};

}  // namespace wfhost
