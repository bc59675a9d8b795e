// The PTZ control of Hunt / Asoni cameras. Their zoom, focus and iris
// commands act only for a short time, so while such an action runs a ticker
// sends it again every 500 ms until the host calls Stop.
#pragma once

#include <atomic>

#include "ptz/CBasePTZControl.h"
#include "thread/CRecursiveLock.h"
#include "thread/CTickerThread.h"

namespace talvex {

class CHuntPTZControl : public CBasePTZControl, public thread::CTickerThread {
public:
    static constexpr uint32_t kTickPeriodMs = 500;

    CHuntPTZControl(IDriver* driver, uint32_t channel);
    ~CHuntPTZControl() override;
    WF_DELETING_DESTRUCTOR(CHuntPTZControl)

    int32_t ZoomIn(int32_t speed) override;
    int32_t ZoomOut(int32_t speed) override;
    int32_t FocusNear(int32_t speed) override;
    int32_t FocusFar(int32_t speed) override;
    int32_t IrisOpen(int32_t speed) override;
    int32_t IrisClose(int32_t speed) override;
    int32_t Stop() override;
    CBasePTZComm* CreateComm() override;
    void OnTick() override;

    int32_t ContinuousSpeed() const { return m_speed; }
    bool TickerRunning() const { return IsRunning(); }

private:
    void StartTicker(int32_t speed);
    void EndTicker();

    // Positive for zoom in, focus near and iris open; set by host threads,
    // read by the ticker.
    std::atomic<int32_t> m_speed{0};
    CRecursiveLock m_tickerLock;  // makes start and stop of the ticker one step each
};

}  // namespace talvex
