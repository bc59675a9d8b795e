// The PTZ command object of Hunt / Asoni cameras: work items and preset
// commands become GET requests on "/SetPTZ.cgi?".
#pragma once

#include <memory>
#include <string>

#include "http/CHttpSender.h"
#include "ptz/CBasePTZComm.h"
#include "thread/CRecursiveLock.h"

namespace talvex {

class CHuntPTZComm : public CBasePTZComm {
public:
    CHuntPTZComm(IDriver* driver, uint16_t channel);
    ~CHuntPTZComm() override;

    void GetCapabilities(uint8_t flags[8]) override;
    bool Open() override;
    int32_t CheckPTZ(IIPParams* params) override;
    void ProcessItem(IWorkItem* item) override;

    bool SavePreset(uint32_t slot, const std::string& name) override;
    bool GotoPreset(uint32_t slot, const std::string& name, int32_t value) override;
    bool RemovePreset(uint32_t slot, const std::string& name) override;

    // The command text of a move ("PTZSpeed=5&Dir=Left"); empty for a
    // direction that has none.
    static std::string MoveCommand(int32_t direction, int32_t speed);
    // "/SetPTZ.cgi?", with "CH=n&" on a device of several channels.
    std::string RequestPrefix();

private:
    bool Send(const std::string& path);

    CRecursiveLock m_senderLock;  // one request at a time on m_sender: worker and callers share it
    std::unique_ptr<Web::CHttpSender> m_sender;
};

}  // namespace talvex
