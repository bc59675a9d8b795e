#include "ptz/CBasePTZControl.h"

#include <cstring>

namespace talvex {

using namespace ipcapture;

namespace {
// No exception crosses to the host: one that escapes an operation (only
// memory exhaustion can throw here) reads as a command that was not posted.
template <typename Operation>
int32_t Guarded(Operation operation) {
    try {
        return operation();
    } catch (...) {
        return kPtzNotPosted;
    }
}
}  // namespace

CBasePTZControl::CBasePTZControl(IDriver* driver, uint32_t channel)
    : m_driver(driver), m_channel(channel), m_presets(channel) {}

CBasePTZControl::~CBasePTZControl() { CBasePTZControl::Close(); }

void CBasePTZControl::Close() {
    if (!m_comm) return;
    // The list must not reach a command object that is gone.
    m_presets.Attach(nullptr, 0);
    m_comm->Shutdown();
    m_comm.reset();
}

bool CBasePTZControl::Initialize(TSmartPtr<CXMLPrepositionReader> storage) {
    m_comm.reset(CreateComm());
    if (!m_comm || !m_comm->Open()) {
        Close();
        m_comm.reset();
        return false;
    }
    m_presets.Attach(m_comm.get(), m_comm->PresetCapacity());
    m_presets.Initialize(storage);
    return true;
}

void CBasePTZControl::AttachStorage(TSmartPtr<CXMLPrepositionReader> storage) {
    if (!m_presets.HasStorage()) m_presets.Initialize(storage);
}

int32_t CBasePTZControl::CheckPTZ() {
    if (!m_comm) return kPtzNotPosted;
    return Guarded([&] { return m_comm->CheckPTZ(this); });
}

int32_t CBasePTZControl::Move(int32_t direction, int32_t speed) {
    if (!m_comm) return kPtzNotPosted;
    if (direction == 10) return kPtzBadArgument;
    const int32_t result = m_comm->StartMove(this, direction, speed);
    if (result == kPtzOk) {
        m_presets.ClearCurrent();
        if (direction == CBasePTZComm::kZoomIn || direction == CBasePTZComm::kZoomOut)
            m_zooming = true;
        else
            m_moving = true;
    }
    return result;
}

int32_t CBasePTZControl::Stop() {
    if (!m_comm) return kPtzNotPosted;
    bool ok = true;
    // A stop that cannot be posted keeps its flag, so the next Stop tries again.
    if (m_moving) {
        const bool posted = m_comm->StopMoving(this);
        if (posted) m_moving = false;
        ok = ok && posted;
    }
    if (m_zooming) {
        const bool posted = m_comm->StopZooming(this);
        if (posted) m_zooming = false;
        ok = ok && posted;
    }
    if (m_irisChanging) {
        const bool posted = m_comm->StopIrisChanging(this);
        if (posted) m_irisChanging = false;
        ok = ok && posted;
    }
    if (m_focusing) {
        const bool posted = m_comm->StopFocusing(this);
        if (posted) m_focusing = false;
        ok = ok && posted;
    }
    return ok ? kPtzOk : kPtzNotPosted;
}

int32_t CBasePTZControl::Center(int32_t a, int32_t b, int32_t c) {
    if (!m_comm) return kPtzNotPosted;
    const int32_t result = m_comm->Center(this, a, b, c);
    if (result == kPtzOk) m_presets.ClearCurrent();
    return result;
}

int32_t CBasePTZControl::ZoomIn(int32_t speed) {
    if (!m_comm) return kPtzNotPosted;
    const int32_t result = m_comm->StartMove(this, CBasePTZComm::kZoomIn, speed);
    if (result == kPtzOk) {
        m_zooming = true;
        m_presets.ClearCurrent();
    }
    return result;
}

int32_t CBasePTZControl::ZoomOut(int32_t speed) {
    if (!m_comm) return kPtzNotPosted;
    const int32_t result = m_comm->StartMove(this, CBasePTZComm::kZoomOut, speed);
    if (result == kPtzOk) {
        m_zooming = true;
        m_presets.ClearCurrent();
    }
    return result;
}

int32_t CBasePTZControl::Unzoom(int32_t a) {
    if (!m_comm) return kPtzNotPosted;
    const int32_t result = m_comm->Unzoom(this, a);
    if (result == kPtzOk) m_presets.ClearCurrent();
    return result;
}

int32_t CBasePTZControl::AreaZoom(int32_t a, int32_t b, int32_t c, int32_t d) {
    if (!m_comm) return kPtzNotPosted;
    const int32_t result = m_comm->AreaZoom(this, a, b, c, d);
    if (result == kPtzOk) m_presets.ClearCurrent();
    return result;
}

int32_t CBasePTZControl::PostFocus(int32_t subCode, int32_t speed) {
    if (!m_comm) return kPtzNotPosted;
    const int32_t result = m_comm->StartFocus(this, subCode, speed);
    if (result == kPtzOk) {
        m_focusing = true;
        m_presets.ClearCurrent();
    }
    return result;
}

int32_t CBasePTZControl::PostIris(int32_t subCode, int32_t speed) {
    if (!m_comm) return kPtzNotPosted;
    const int32_t result = m_comm->StartIris(this, subCode, speed);
    if (result == kPtzOk) {
        m_irisChanging = true;
        m_presets.ClearCurrent();
    }
    return result;
}

int32_t CBasePTZControl::FocusNear(int32_t speed) { return PostFocus(CBasePTZComm::kFocusNear, speed); }
int32_t CBasePTZControl::FocusFar(int32_t speed) { return PostFocus(CBasePTZComm::kFocusFar, speed); }
int32_t CBasePTZControl::IrisOpen(int32_t speed) { return PostIris(CBasePTZComm::kIrisOpen, speed); }
int32_t CBasePTZControl::IrisClose(int32_t speed) { return PostIris(CBasePTZComm::kIrisClose, speed); }

int32_t CBasePTZControl::GetCapabilities(PTZ_CAPABILITIES* record) {
    if (!m_comm) return kPtzNotPosted;
    if (record == nullptr) return kPtzBadArgument;
    uint8_t flags[8] = {};
    m_comm->GetCapabilities(flags);
    for (int i = 0; i < 5; ++i) record->Field[1 + i] = flags[i] != 0 ? 1 : 0;
    record->Field[6] = 0;
    record->Field[7] = m_comm->PresetCapacity();
    record->Field[8] = m_presets.GetCount();
    record->Field[9] = 0;
    record->Field[10] = 0;
    for (int i = 0; i < 3; ++i) record->Field[11 + i] = flags[5 + i] != 0 ? 1 : 0;
    return kPtzOk;
}

int32_t CBasePTZControl::GetPresetCount() { return static_cast<int32_t>(m_presets.GetCount()); }

int32_t CBasePTZControl::CopyName(const std::string& name, bool found, char* buffer, uint32_t bufferSize) {
    if (!found) return kPtzPresetRefused;
    if (buffer == nullptr || name.size() >= bufferSize) return kPtzBadArgument;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return kPtzOk;
}

int32_t CBasePTZControl::GetPresetName(int32_t index, char* buffer, uint32_t bufferSize) {
    return Guarded([&] {
        std::string name;
        const bool found = index >= 0 && m_presets.GetName(static_cast<uint32_t>(index), name);
        return CopyName(name, found, buffer, bufferSize);
    });
}

int32_t CBasePTZControl::GotoPreset(int32_t value, const char* name) {
    if (name == nullptr) return kPtzBadArgument;
    return Guarded([&] { return m_presets.GotoPreset(name, value) ? kPtzOk : kPtzPresetRefused; });
}

int32_t CBasePTZControl::AddPreset(const char* name) {
    if (name == nullptr) return kPtzBadArgument;
    return Guarded([&] { return m_presets.AddPreposition(name); });
}

int32_t CBasePTZControl::RemovePreset(const char* name) {
    if (name == nullptr) return kPtzBadArgument;
    return Guarded([&] { return m_presets.RemovePreset(name) ? kPtzOk : kPtzPresetRefused; });
}

int32_t CBasePTZControl::GetCurrentPresetName(char* buffer, uint32_t bufferSize) {
    return Guarded([&] {
        std::string name;
        const bool found = m_presets.GetCurrentName(name);
        return CopyName(name, found, buffer, bufferSize);
    });
}

int32_t CBasePTZControl::EchoArgument(int32_t value) { return value; }

uint32_t CBasePTZControl::GetChannelIndex() { return m_channel; }
bool CBasePTZControl::GetFirstProperty() { return m_firstProperty; }
void CBasePTZControl::SetFirstProperty(bool value) { m_firstProperty = value; }
bool CBasePTZControl::GetSecondProperty() { return m_secondProperty; }
void CBasePTZControl::SetSecondProperty(bool value) { m_secondProperty = value; }

}  // namespace talvex
