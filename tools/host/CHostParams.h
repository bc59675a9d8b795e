// The connection and device description the driver reads once at Open,
// made from a camera text.
#pragma once

#include <string>

#include "CCameraText.h"
#include "wrenfield/DriverParams.h"

namespace wfhost {

class CHostParams final : public talvex::ipcapture::IIPDriverParams {
public:
    explicit CHostParams(const SCamera& camera);

    talvex::ipcapture::IIPDeviceParams* GetDeviceParams() override { return &m_device; }
    talvex::ipcapture::IIPConnectionParams* GetConnectionParams() override { return &m_connection; }
    // The driver stops reading at the first missing index, so the gaps
    // below the highest one given read as "(none)", which it takes as absent.
    const char* GetCustomParam(unsigned int index) override;

private:
    class CConnection final : public talvex::ipcapture::IIPConnectionParams {
    public:
        explicit CConnection(const SCamera& camera) : m_camera(camera) {}
        const char* GetAddress() override { return m_camera.address.c_str(); }
        uint16_t GetPort() override { return m_camera.port; }
        int32_t GetStreamType() override { return m_camera.streamType; }
        const char* GetUserName() override { return m_camera.user.c_str(); }
        const char* GetPassword() override { return m_camera.password.c_str(); }

    private:
        const SCamera& m_camera;
    };
    class CDevice final : public talvex::ipcapture::IIPDeviceParams {
    public:
        explicit CDevice(const SCamera& camera) : m_camera(camera) {}
        const char* GetModelName() override { return m_camera.model.c_str(); }
        uint32_t GetChannelCount() override { return m_camera.inputs != 0 ? m_camera.inputs : 1; }
        uint32_t GetInputCount() override { return m_camera.digitalInputs; }
        uint32_t GetOutputCount() override { return m_camera.digitalOutputs; }

    private:
        const SCamera& m_camera;
    };

    const SCamera m_camera;
    CConnection m_connection{m_camera};
    CDevice m_device{m_camera};
};

}  // namespace wfhost
