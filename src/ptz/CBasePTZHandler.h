// The device's PTZ driver object: one control per channel, made on the
// host's first request and kept until the handler goes, and the one preset
// storage all channels share.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "base/IDriver.h"
#include "base/TSmartPtr.h"
#include "ptz/CBasePTZControl.h"
#include "ptz/CXMLPrepositionReader.h"
#include "thread/CRecursiveLock.h"
#include "wrenfield/PTZ.h"

namespace talvex {

class CIPPTZDriverIf : public ipcapture::IIPPTZDriverEx {
public:
    ipcapture::IIPPTZApi* GetPTZApi(unsigned int channel) override;

protected:
    virtual ~CIPPTZDriverIf() = default;
};

class CBasePTZHandler : public CIPPTZDriverIf {
public:
    CBasePTZHandler(IDriver* driver, uint32_t channelCount, const std::string& rootName);
    ~CBasePTZHandler() override;
    CBasePTZHandler(const CBasePTZHandler&) = delete;
    CBasePTZHandler& operator=(const CBasePTZHandler&) = delete;
    WF_DELETING_DESTRUCTOR(CBasePTZHandler)

    ipcapture::IIPPTZApiEx* GetPTZApiEx(unsigned int channel) override;
    virtual std::string GetXMLStorageFileName() = 0;
    virtual CBasePTZControl* CreatePTZControl(uint32_t channel) = 0;
    virtual void ReleaseControls();
    virtual bool InitializeXMLStorage();

    bool HasStorage();

protected:
    IDriver* Driver() const { return m_driver; }

private:
    ipcapture::IIPPTZApiEx* GetPTZApiExLocked(uint32_t channel);
    bool ReportPasses();

    IDriver* const m_driver;  // not owned; may be null
    CRecursiveLock m_lock;    // serialises first requests: guards the map and the storage handle
    std::map<uint32_t, std::unique_ptr<CBasePTZControl>> m_controls;
    const uint32_t m_channelCount;
    TSmartPtr<CXMLPrepositionReader> m_storage;
    const std::string m_rootName;
    static constexpr int kStorageNotOpened = 1;
    int m_storageError = 0;        // of the last InitializeXMLStorage: 3 no file name, 5 no memory, 1 not opened
    uint32_t m_reportCounter = 0;  // throttle of the storage reports
};

}  // namespace talvex
