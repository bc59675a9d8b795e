#include "CDriverSession.h"

#include <chrono>

#include "wrenfield/CapabilityQuery.h"

namespace wfhost {

namespace {

constexpr uint32_t kPresetCountParam = 5;
constexpr uint32_t kMacAddressParam = 6;
constexpr uint32_t kFirmwareParam = 7;

std::string Where(const SCamera& camera) { return "camera " + camera.address + ":" + std::to_string(camera.port); }

}  // namespace

CDriverSession::~CDriverSession() { Close(); }

bool CDriverSession::Query(const SCamera& camera, CCapabilityRecord& record, std::string& error) {
    talvex::ipcapture::IIPCapabilityQuery* query = m_library.CreateQuery(&record);
    if (query == nullptr) {
        error = "the driver made no capability query module";
        return false;
    }
    bool ok = query->Start(camera.address.c_str(), camera.port, camera.user.c_str(), camera.password.c_str(), &record);
    if (!ok) error = Where(camera) + ": the capability query did not start";
    const auto outcome = ok ? record.Wait(std::chrono::milliseconds(kQueryTimeoutMs))
                            : CCapabilityRecord::EOutcome::Failed;
    if (ok && outcome != CCapabilityRecord::EOutcome::Ready) {
        ok = false;
        error = Where(camera) + ": " +
                (outcome == CCapabilityRecord::EOutcome::Running ? std::string("no answer to the capability query")
                                                                 : record.FailureText());
        query->Terminate();
    }
    // Deleting the module waits for its thread (bounded by the driver).
    m_library.Delete(query);
    error = m_log.Masked(error);
    if (!ok) m_log.Write(1, error);
    return ok;
}

void CDriverSession::Complete(SCamera& camera, const SCapabilities& capabilities) {
    // The device name is the model, after the vendor's words when there are any.
    if (camera.model.empty()) camera.model = capabilities.deviceName.substr(capabilities.deviceName.rfind(' ') + 1);
    if (camera.inputs == 0) camera.inputs = static_cast<uint32_t>(capabilities.Value(0, 1));
    if (camera.digitalInputs == 0) camera.digitalInputs = static_cast<uint32_t>(capabilities.Value(2));
    if (camera.digitalOutputs == 0) camera.digitalOutputs = static_cast<uint32_t>(capabilities.Value(3));
    for (const uint32_t index : {kPresetCountParam, kMacAddressParam, kFirmwareParam}) {
        const std::string value = capabilities.Property(index);
        if (!value.empty() && camera.custom.count(index) == 0) camera.custom[index] = value;
    }
}

bool CDriverSession::OpenForControl(SCamera camera, bool probe, std::string& error) {
    if (probe) {
        CCapabilityRecord record;
        if (!Query(camera, record, error)) return false;
        Complete(camera, record.Snapshot());
    }
    if (camera.streamType == 0) camera.streamType = talvex::ipcapture::kStreamTypeMjpeg;
    return Open(camera, error);
}

bool CDriverSession::Open(const SCamera& camera, std::string& error) {
    Close();
    m_camera = camera;
    m_params = std::make_unique<CHostParams>(m_camera);
    m_driver = m_library.CreateDriver();
    if (m_driver == nullptr) {
        error = "the driver made no driver object";
        return false;
    }
    if (!m_driver->Open(&m_log, &m_allocator, m_params.get())) {
        error = m_log.Masked(Where(camera) + ": the driver did not open");
        Close();
        return false;
    }
    return true;
}

void CDriverSession::Close() {
    if (m_driver == nullptr) return;
    m_driver->Close();
    m_library.Delete(m_driver);
    m_driver = nullptr;
}

}  // namespace wfhost
