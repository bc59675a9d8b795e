// The host's PTZ control of one channel: posts moves to the channel's
// command object, keeps track of running continuous actions so that one
// Stop ends them all, and forwards the preset operations to the preset list.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "base/IDriver.h"
#include "base/TSmartPtr.h"
#include "ptz/CBasePTZComm.h"
#include "ptz/CPrepositionList.h"
#include "ptz/CXMLPrepositionReader.h"
#include "wrenfield/PTZ.h"

namespace talvex {

class CBasePTZControl : public ipcapture::IIPPTZApiEx, public IIPParams {
public:
    CBasePTZControl(IDriver* driver, uint32_t channel);
    virtual ~CBasePTZControl();
    CBasePTZControl(const CBasePTZControl&) = delete;
    CBasePTZControl& operator=(const CBasePTZControl&) = delete;
    WF_DELETING_DESTRUCTOR(CBasePTZControl)

    // IIPPTZApi
    int32_t CheckPTZ() override;
    int32_t Move(int32_t direction, int32_t speed) override;
    int32_t Stop() override;
    int32_t Center(int32_t a, int32_t b, int32_t c) override;
    int32_t ZoomIn(int32_t speed) override;
    int32_t ZoomOut(int32_t speed) override;
    int32_t Unzoom(int32_t a) override;
    int32_t AreaZoom(int32_t a, int32_t b, int32_t c, int32_t d) override;
    int32_t FocusNear(int32_t speed) override;
    int32_t FocusFar(int32_t speed) override;
    int32_t IrisOpen(int32_t speed) override;
    int32_t IrisClose(int32_t speed) override;
    int32_t GetCapabilities(ipcapture::PTZ_CAPABILITIES* record) override;
    int32_t GetPresetCount() override;
    int32_t GetPresetName(int32_t index, char* buffer, uint32_t bufferSize) override;
    int32_t GotoPreset(int32_t value, const char* name) override;
    int32_t AddPreset(const char* name) override;
    int32_t RemovePreset(const char* name) override;
    int32_t GetCurrentPresetName(char* buffer, uint32_t bufferSize) override;
    // IIPPTZApiEx
    int32_t EchoArgument(int32_t value) override;

    // IIPParams
    uint32_t GetChannelIndex() override;
    bool GetFirstProperty() override;
    void SetFirstProperty(bool value) override;
    bool GetSecondProperty() override;
    void SetSecondProperty(bool value) override;

    virtual void Close();
    virtual CBasePTZComm* CreateComm() = 0;
    // Without storage the control still moves the camera; presets then live
    // in memory only until storage is attached.
    virtual bool Initialize(TSmartPtr<CXMLPrepositionReader> storage);
    // Gives the list storage that could not be opened before, and reloads it.
    void AttachStorage(TSmartPtr<CXMLPrepositionReader> storage);

    CPrepositionList& Presets() { return m_presets; }
    bool IsZooming() const { return m_zooming; }
    bool IsFocusing() const { return m_focusing; }
    bool IsIrisChanging() const { return m_irisChanging; }
    bool IsMoving() const { return m_moving; }

protected:
    IDriver* Driver() const { return m_driver; }
    uint32_t Channel() const { return m_channel; }
    bool HasComm() const { return static_cast<bool>(m_comm); }

private:
    int32_t PostFocus(int32_t subCode, int32_t speed);
    int32_t PostIris(int32_t subCode, int32_t speed);
    int32_t CopyName(const std::string& name, bool found, char* buffer, uint32_t bufferSize);

    IDriver* const m_driver;  // not owned
    const uint32_t m_channel;
    std::unique_ptr<CBasePTZComm> m_comm;  // set by Initialize, gone after Close
    CPrepositionList m_presets;
    std::atomic<bool> m_firstProperty{false};
    std::atomic<bool> m_secondProperty{false};
    // Written by host threads and read by the ticker.
    std::atomic<bool> m_zooming{false};
    std::atomic<bool> m_focusing{false};
    std::atomic<bool> m_irisChanging{false};
    std::atomic<bool> m_moving{false};
};

}  // namespace talvex
