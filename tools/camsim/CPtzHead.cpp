#include "CPtzHead.h"

#include <algorithm>

namespace camsim {

CPtzHead::CPtzHead(int presetSlots) : m_presets(static_cast<std::size_t>(std::max(presetSlots, 0))) {}

void CPtzHead::Move(int dx, int dy) {
    m_position.pan = ((m_position.pan + dx) % kPanFullTurn + kPanFullTurn) % kPanFullTurn;
    m_position.tilt = std::clamp(m_position.tilt + dy, -kTiltLimit, kTiltLimit);
}

void CPtzHead::Zoom(int delta) { m_position.zoom = std::clamp(m_position.zoom + delta, 0, kLensMax); }

void CPtzHead::Focus(int delta) {
    m_position.autoFocus = false;
    m_position.focus = std::clamp(m_position.focus + delta, 0, kLensMax);
}

void CPtzHead::Iris(int delta) { m_position.iris = std::clamp(m_position.iris + delta, 0, kLensMax); }

void CPtzHead::SetAutoFocus() { m_position.autoFocus = true; }

bool CPtzHead::StorePreset(int number, const std::string& name) {
    if (number < 1 || number > PresetSlots()) return false;
    m_presets[static_cast<std::size_t>(number - 1)] = SPtzPreset{name, m_position};
    return true;
}

bool CPtzHead::RemovePreset(int number) {
    if (number < 1 || number > PresetSlots()) return false;
    m_presets[static_cast<std::size_t>(number - 1)].reset();
    return true;
}

bool CPtzHead::RecallPreset(int number) {
    if (number < 1 || number > PresetSlots()) return false;
    if (const auto& preset = m_presets[static_cast<std::size_t>(number - 1)]) m_position = preset->position;
    return true;
}

}  // namespace camsim
