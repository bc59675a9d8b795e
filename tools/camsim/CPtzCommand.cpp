#include "CPtzCommand.h"

#include "CamSimTypes.h"

#include <algorithm>
#include <array>

namespace camsim {
namespace {

using Params = std::multimap<std::string, std::string>;

constexpr int kDefaultSpeed = 5;
constexpr int kMaxSpeed = 9;
constexpr int kMaxDiagonalValue = 50;
constexpr int kTenthsPerSpeedStep = 10;  // a speed-9 step turns the head by 9 degrees
constexpr int kLensStep = 5;

std::optional<std::string> Param(const Params& params, const std::string& name) {
    const auto it = params.find(name);
    if (it == params.end()) return std::nullopt;
    return it->second;
}

// A number from the query; the camera clamps out-of-range values rather than refusing them,
// because its own speed scale is coarser than what callers send.
std::optional<int> ClampedParam(const Params& params, const std::string& name, int low, int high,
                                std::string& error) {
    const auto text = Param(params, name);
    if (!text) return std::nullopt;
    const auto value = ParseInteger(*text);
    if (!value) {
        error = name + " is not a number";
        return std::nullopt;
    }
    return static_cast<int>(std::clamp<long long>(*value, low, high));
}

// "Preset12" with prefix "preset" gives 12; the comparison ignores case.
std::optional<int> NumberAfter(const std::string& lowerDir, const std::string& prefix) {
    if (lowerDir.size() <= prefix.size() || lowerDir.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    const auto number = ParseInteger(std::string_view(lowerDir).substr(prefix.size()));
    if (!number || *number < 1 || *number > 9999) return std::nullopt;
    return static_cast<int>(*number);
}

struct SDiagonal {
    const char* dir;
    const char* vertical;
    const char* horizontal;
    int signX;
    int signY;
};
constexpr std::array<SDiagonal, 4> kDiagonals = {{
    {"goupleft", "Up860", "Left860", -1, 1},
    {"goupright", "Up860", "Right860", 1, 1},
    {"godownleft", "Down860", "Left860", -1, -1},
    {"godownright", "Down860", "Right860", 1, -1},
}};

}  // namespace

std::optional<CPtzCommand> CPtzCommand::Parse(const Params& params, std::string& error) {
    const auto dirText = Param(params, "Dir");
    if (!dirText || dirText->empty()) {
        error = "Dir is missing";
        return std::nullopt;
    }
    const std::string dir = ToLowerAscii(*dirText);
    CPtzCommand command;

    if (dir == "left" || dir == "right" || dir == "up" || dir == "down" || dir == "zoomin" ||
        dir == "zoomout") {
        const auto speed = ClampedParam(params, "PTZSpeed", 1, kMaxSpeed, error);
        if (!error.empty()) return std::nullopt;
        const int step = speed.value_or(kDefaultSpeed);
        if (dir == "zoomin" || dir == "zoomout") {
            command.m_kind = EKind::Zoom;
            command.m_delta = dir == "zoomin" ? step : -step;
        } else {
            command.m_kind = EKind::Move;
            const int tenths = step * kTenthsPerSpeedStep;
            command.m_dx = dir == "left" ? -tenths : dir == "right" ? tenths : 0;
            command.m_dy = dir == "up" ? tenths : dir == "down" ? -tenths : 0;
        }
        return command;
    }
    for (const SDiagonal& diagonal : kDiagonals) {
        if (dir != diagonal.dir) continue;
        const auto vertical = ClampedParam(params, diagonal.vertical, 0, kMaxDiagonalValue, error);
        const auto horizontal = ClampedParam(params, diagonal.horizontal, 0, kMaxDiagonalValue, error);
        if (!error.empty()) return std::nullopt;
        if (!vertical || !horizontal) {
            error = std::string(diagonal.vertical) + " and " + diagonal.horizontal + " are required";
            return std::nullopt;
        }
        // Value 0 (the slowest) still moves the head by one degree.
        command.m_kind = EKind::Move;
        command.m_dx = diagonal.signX * (kTenthsPerSpeedStep + 2 * *horizontal);
        command.m_dy = diagonal.signY * (kTenthsPerSpeedStep + 2 * *vertical);
        return command;
    }
    if (dir == "focusauto") {
        command.m_kind = EKind::AutoFocus;
        return command;
    }
    if (dir == "focusfar" || dir == "focusnear") {
        command.m_kind = EKind::Focus;
        command.m_delta = dir == "focusfar" ? kLensStep : -kLensStep;
        return command;
    }
    if (dir == "irislarge" || dir == "irissmall") {
        command.m_kind = EKind::Iris;
        command.m_delta = dir == "irislarge" ? kLensStep : -kLensStep;
        return command;
    }
    if (const auto number = NumberAfter(dir, "preset")) {
        // PointName carries "n:name"; its number must name the same slot as Dir.
        const auto pointName = Param(params, "PointName");
        const auto colon = pointName ? pointName->find(':') : std::string::npos;
        if (colon == std::string::npos || ParseInteger(pointName->substr(0, colon)) != *number) {
            error = "PointName must be \"" + std::to_string(*number) + ":name\"";
            return std::nullopt;
        }
        command.m_kind = EKind::StorePreset;
        command.m_preset = *number;
        command.m_name = pointName->substr(colon + 1);
        return command;
    }
    if (const auto number = NumberAfter(dir, "point")) {
        command.m_kind = EKind::RecallPreset;
        command.m_preset = *number;
        return command;
    }
    if (const auto number = NumberAfter(dir, "remove")) {
        const auto removeName = Param(params, "RemoveName");
        if (removeName && ParseInteger(*removeName) != *number) {
            error = "RemoveName must repeat the slot number";
            return std::nullopt;
        }
        command.m_kind = EKind::RemovePreset;
        command.m_preset = *number;
        return command;
    }
    error = "unknown Dir " + *dirText;
    return std::nullopt;
}

bool CPtzCommand::ApplyTo(CPtzHead& head) const {
    switch (m_kind) {
        case EKind::Move: head.Move(m_dx, m_dy); return true;
        case EKind::Zoom: head.Zoom(m_delta); return true;
        case EKind::Focus: head.Focus(m_delta); return true;
        case EKind::Iris: head.Iris(m_delta); return true;
        case EKind::AutoFocus: head.SetAutoFocus(); return true;
        case EKind::StorePreset: return head.StorePreset(m_preset, m_name);
        case EKind::RecallPreset: return head.RecallPreset(m_preset);
        case EKind::RemovePreset: return head.RemovePreset(m_preset);
    }
    return false;
}

}  // namespace camsim
