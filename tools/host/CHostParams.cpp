#include "CHostParams.h"

namespace wfhost {

namespace {
constexpr const char* kAbsent = "(none)";
}

CHostParams::CHostParams(const SCamera& camera) : m_camera(camera) {}

const char* CHostParams::GetCustomParam(unsigned int index) {
    if (index == 0 || m_camera.custom.empty() || index > m_camera.custom.rbegin()->first) return nullptr;
    const auto found = m_camera.custom.find(index);
    return found == m_camera.custom.end() ? kAbsent : found->second.c_str();
}

}  // namespace wfhost
