#include "CCapabilityRecord.h"

namespace wfhost {

namespace {
std::string Text(const char* text) { return text != nullptr ? text : ""; }
}  // namespace

std::string SCapabilities::Property(uint32_t index) const {
    for (const SCapabilityProperty& property : properties)
        if (property.index == index) return property.value == "(none)" ? std::string() : property.value;
    return {};
}

int32_t SCapabilities::Value(uint32_t kind, int32_t absent) const {
    const auto found = values.find(kind);
    return found == values.end() ? absent : found->second;
}

void CCapabilityRecord::SetCapability(uint32_t kind, int32_t value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_record.values[kind] = value;
}

talvex::ipcapture::IHostCapabilityProperty* CCapabilityRecord::AddProperty(uint32_t index) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_record.properties.push_back({index, {}, {}});
    m_propertyEntries.emplace_back(*this, m_record.properties.size() - 1);
    return &m_propertyEntries.back();
}

void CCapabilityRecord::SetConnectionText(uint32_t index, const char* text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_record.connection[index] = Text(text);
}

void CCapabilityRecord::SetDeviceName(const char* name) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_record.deviceName = Text(name);
}

void CCapabilityRecord::CProperty::SetName(const char* name) {
    std::lock_guard<std::mutex> lock(m_owner.m_mutex);
    m_owner.m_record.properties[m_slot].name = Text(name);
}

void CCapabilityRecord::CProperty::SetValue(const char* value) {
    std::lock_guard<std::mutex> lock(m_owner.m_mutex);
    m_owner.m_record.properties[m_slot].value = Text(value);
}

void CCapabilityRecord::CResolutionList::AddResolution(const char* text, uint32_t width, uint32_t height,
                                                       uint32_t intervalMs) {
    std::lock_guard<std::mutex> lock(m_owner.m_mutex);
    m_owner.m_record.resolutions.push_back({Text(text), width, height, intervalMs});
}

void CCapabilityRecord::CFrameRateList::AddInterval(uint32_t intervalMs) {
    std::lock_guard<std::mutex> lock(m_owner.m_mutex);
    m_owner.m_record.frameIntervalsMs.push_back(intervalMs);
}

void CCapabilityRecord::CFrameRateList::SetDefaultInterval(uint32_t intervalMs) {
    std::lock_guard<std::mutex> lock(m_owner.m_mutex);
    m_owner.m_record.defaultIntervalMs = intervalMs;
}

void CCapabilityRecord::OnCapabilityQueryFailed(uint32_t reason, const char* text) {
    Finish(EOutcome::Failed, reason, Text(text).c_str());
}

void CCapabilityRecord::Finish(EOutcome outcome, uint32_t reason, const char* text) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_outcome != EOutcome::Running) return;
        m_outcome = outcome;
        m_reason = reason;
        m_failure = text;
    }
    m_finished.notify_all();
}

CCapabilityRecord::EOutcome CCapabilityRecord::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_finished.wait_for(lock, timeout, [this] { return m_outcome != EOutcome::Running; });
    return m_outcome;
}

SCapabilities CCapabilityRecord::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_record;
}

std::string CCapabilityRecord::FailureText() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure;
}

uint32_t CCapabilityRecord::FailureReason() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reason;
}

}  // namespace wfhost
