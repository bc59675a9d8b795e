// The command object of one PTZ channel: host commands become work items on
// its own thread, so the host's call returns at once and the slow camera
// request runs there. At most one command waits: a newer one replaces it.
#pragma once

#include <cstdint>

#include "base/IDriver.h"
#include "ptz/IPrepositionComm.h"
#include "thread/CWorkItemThreadEx.h"

class IIPParams;

namespace talvex {

class CBasePTZComm : public CWorkItemThreadEx, public IPrepositionComm {
public:
    // PTZ message codes of the work items.
    enum : int32_t { kMove = 1, kFocus = 2, kIris = 3, kStop = 4, kAreaZoom = 5, kCenter = 6, kUnzoom = 7 };
    // Sub-codes of focus, iris and stop.
    enum : int32_t {
        kFocusFar = 1,
        kFocusNear = 2,
        kIrisOpen = 3,
        kIrisClose = 4,
        kStopMoving = 5,
        kStopZooming = 6,
        kStopFocusing = 7,
        kStopIris = 8,
    };
    // Directions of StartMove.
    enum : int32_t {
        kLeft = 0,
        kRight,
        kUp,
        kDown,
        kUpLeft,
        kUpRight,
        kDownLeft,
        kDownRight,
        kZoomIn,
        kZoomOut,
    };
    static constexpr int32_t kPosted = 1;
    static constexpr int32_t kNotPosted = -18;

    class CWorkItem : public IWorkItem {
    public:
        int32_t code = 0;
        int32_t subCode = 0;
        IIPParams* params = nullptr;  // not owned
        int32_t value = 0;
        int32_t first = 0;
        int32_t second = 0;
        int32_t third = 0;
    };

    CBasePTZComm(IDriver* driver, uint16_t channel);
    ~CBasePTZComm() override;

    virtual void GetCapabilities(uint8_t flags[8]) = 0;
    virtual bool Open();
    virtual int32_t CheckPTZ(IIPParams* params) = 0;

    int32_t StartMove(IIPParams* params, int32_t direction, int32_t speed);
    int32_t StartFocus(IIPParams* params, int32_t subCode, int32_t speed);
    int32_t StartIris(IIPParams* params, int32_t subCode, int32_t speed);
    bool StopMoving(IIPParams* params);
    bool StopZooming(IIPParams* params);
    bool StopFocusing(IIPParams* params);
    bool StopIrisChanging(IIPParams* params);
    int32_t AreaZoom(IIPParams* params, int32_t a, int32_t b, int32_t c, int32_t d);
    int32_t Center(IIPParams* params, int32_t a, int32_t b, int32_t c);
    int32_t Unzoom(IIPParams* params, int32_t a);

    // IDebugMessage: hands the finished text to the driver at the same level.
    void DebugMessage(int32_t level, const char* format, ...) override WF_PRINTF_FORMAT(3, 4);

    uint32_t PresetCapacity() const { return m_presetCapacity; }
    uint16_t Channel() const { return m_channel; }
    bool IsOpened() const { return m_opened; }
    // Stops the worker (the control's Close).
    void Shutdown();

protected:
    IDriver* Driver() const { return m_driver; }
    void SetPresetCapacity(uint32_t capacity) { m_presetCapacity = capacity; }

private:
    bool Post(const char* source, CWorkItem* item);

    uint32_t m_presetCapacity = 0;
    const uint16_t m_channel;
    IDriver* const m_driver;  // not owned; outlives this object
    bool m_opened = false;
};

}  // namespace talvex
