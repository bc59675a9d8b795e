#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "channels/ICameraChannel.h"
#include "driver/ICustomCreator.h"
#include "thread/CRecursiveLock.h"
#include "wrenfield/VideoCapture.h"

namespace talvex {

// The host's handle on the video inputs of one device: one table entry per
// input, each holding the running channel (if any). The table lock guards the
// entries only; channels start and stop outside it, so a slow stop of one
// input never blocks status queries on another.
class CIPVideoCapture final : public ipcapture::IIPVideoCaptureEx {
public:
    CIPVideoCapture(ICustomCreator* factory, uint32_t channelCount);
    virtual ~CIPVideoCapture();
    CIPVideoCapture(const CIPVideoCapture&) = delete;
    CIPVideoCapture& operator=(const CIPVideoCapture&) = delete;
    WF_DELETING_DESTRUCTOR(CIPVideoCapture)

    uint32_t GetChannelCount() override;
    bool StartChannel(unsigned int index, ipcapture::IHostFrameSink* sink, ipcapture::IIPCaptureParams* params) override;
    bool StopChannel(unsigned int index) override;
    bool ChangeSettings(unsigned int index, ipcapture::IIPResolution* resolution, unsigned int frameIntervalMs) override;
    void* GetReservedObject() override;
    bool GetChannelStatus(unsigned int index, int32_t* state, int32_t* reserved, char* text,
                          unsigned int textSize) override;
    bool ReservedQueryA(unsigned int index, void* argument, unsigned int size) override;
    bool ReservedQueryB(unsigned int index, void* argument, unsigned int size) override;
    bool QueryChannelOptionB(unsigned int index) override;
    bool QueryChannelOptionA(unsigned int index) override;

private:
    using Entry = std::pair<std::unique_ptr<ICameraChannel>, std::unique_ptr<ICameraChannel>>;  // main, aux

    // The main channel of an input, or null. The pointer stays valid while the
    // host does not stop that input concurrently (the host's promise).
    ICameraChannel* MainChannel(unsigned int index);
    Entry TakeEntry(unsigned int index);
    static void Release(Entry entry);

    ICustomCreator* const m_factory;  // the driver; outlives this object
    CRecursiveLock m_tableLock;       // guards m_table entries
    std::vector<Entry> m_table;       // fixed length: one entry per input
};

}  // namespace talvex
