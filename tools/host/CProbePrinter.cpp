#include "CProbePrinter.h"

#include <cstdio>

#include "CJsonText.h"

namespace wfhost {

namespace {

constexpr uint32_t kPasswordText = 4;

std::string Row(const std::string& name, const std::string& value) {
    char text[64];
    std::snprintf(text, sizeof(text), "  %-24s ", name.c_str());
    return text + value + "\n";
}

std::string Intervals(const SCapabilities& capabilities) {
    std::string list;
    for (const uint32_t interval : capabilities.frameIntervalsMs) {
        if (!list.empty()) list += ", ";
        list += std::to_string(interval) + " ms";
        if (interval == capabilities.defaultIntervalMs) list += " (default)";
    }
    return list.empty() ? "-" : list;
}

}  // namespace

const char* CProbePrinter::KindName(uint32_t kind) {
    switch (kind) {
        case 0: return "video inputs";
        case 1: return "ptz";
        case 2: return "digital inputs";
        case 3: return "digital outputs";
        case 4: return "audio inputs";
        case 5: return "second flag";
        case 6: return "mpeg4";
        case 7: return "mjpeg";
        case 8: return "h264";
        case 11: return "third flag";
        case 12: return "fourth flag";
        case 13: return "feature value";
        case 14: return "feature kind";
        default: return "reserved";
    }
}

const char* CProbePrinter::ConnectionName(uint32_t index) {
    switch (index) {
        case 1: return "address";
        case 2: return "port";
        case 3: return "user";
        case 4: return "password";
        default: return "connection text";
    }
}

std::string CProbePrinter::ConnectionText(uint32_t index, const std::string& text) const {
    if (index == kPasswordText) return text.empty() ? std::string() : CSecretMask::kMask;
    return m_mask.Apply(text);
}

std::string CProbePrinter::Table(const SCapabilities& capabilities) const {
    std::string table = "camera " + m_mask.Apply(capabilities.deviceName) + "\n";
    for (const auto& [index, text] : capabilities.connection)
        table += Row(ConnectionName(index), ConnectionText(index, text));
    for (const auto& [kind, value] : capabilities.values)
        table += Row(std::string(KindName(kind)) + " (" + std::to_string(kind) + ")", std::to_string(value));
    std::string sizes;
    for (const SCapabilityResolution& resolution : capabilities.resolutions)
        sizes += (sizes.empty() ? "" : ", ") + m_mask.Apply(resolution.text) + " @" +
                 std::to_string(resolution.intervalMs) + " ms";
    table += Row("resolutions", sizes.empty() ? "-" : sizes);
    table += Row("frame intervals", Intervals(capabilities));
    for (const SCapabilityProperty& property : capabilities.properties)
        table += Row(m_mask.Apply(property.name) + " (p" + std::to_string(property.index) + ")",
                     m_mask.Apply(property.value));
    return table;
}

std::string CProbePrinter::Json(const SCapabilities& capabilities) const {
    CJsonText json;
    json.BeginObject().Add("device", m_mask.Apply(capabilities.deviceName));
    json.BeginObject("connection");
    for (const auto& [index, text] : capabilities.connection) json.Add(ConnectionName(index), ConnectionText(index, text));
    json.EndObject().BeginObject("capabilities");
    for (const auto& [kind, value] : capabilities.values) json.Add(std::to_string(kind), value);
    json.EndObject().BeginArray("resolutions");
    for (const SCapabilityResolution& resolution : capabilities.resolutions)
        json.BeginObject()
            .Add("text", m_mask.Apply(resolution.text))
            .Add("width", resolution.width)
            .Add("height", resolution.height)
            .Add("interval_ms", resolution.intervalMs)
            .EndObject();
    json.EndArray().BeginArray("frame_intervals_ms");
    for (const uint32_t interval : capabilities.frameIntervalsMs) json.Add("", interval);
    json.EndArray().Add("default_interval_ms", capabilities.defaultIntervalMs).BeginArray("properties");
    for (const SCapabilityProperty& property : capabilities.properties)
        json.BeginObject()
            .Add("index", property.index)
            .Add("name", m_mask.Apply(property.name))
            .Add("value", m_mask.Apply(property.value))
            .EndObject();
    return json.EndArray().EndObject().Text() + "\n";
}

}  // namespace wfhost
