#include "ptz/CHuntPTZControl.h"

#include <new>

#include "ptz/CHuntPTZComm.h"

namespace talvex {

CHuntPTZControl::CHuntPTZControl(IDriver* driver, uint32_t channel) : CBasePTZControl(driver, channel) {
    SetPeriodMs(kTickPeriodMs);
}

CHuntPTZControl::~CHuntPTZControl() {
    // The ticker calls into this object: end it before anything goes.
    EndTicker();
    Close();
}

CBasePTZComm* CHuntPTZControl::CreateComm() {
    return new (std::nothrow) CHuntPTZComm(Driver(), static_cast<uint16_t>(Channel()));
}

void CHuntPTZControl::StartTicker(int32_t speed) {
    CLockHolder hold(m_tickerLock);
    m_speed = speed;
    // Under the lock two host threads cannot both find the ticker stopped
    // and start two of them.
    if (!IsRunning()) {
        WaitAndClose();  // a ticker that has ended leaves its handle behind
        Start("PTZ ticker thread");
    }
}

void CHuntPTZControl::EndTicker() {
    CLockHolder hold(m_tickerLock);
    m_speed = 0;
    CTickerThread::StopTicker();
}

int32_t CHuntPTZControl::ZoomIn(int32_t speed) {
    StartTicker(speed);
    return CBasePTZControl::ZoomIn(speed);
}

int32_t CHuntPTZControl::ZoomOut(int32_t speed) {
    StartTicker(-speed);
    return CBasePTZControl::ZoomOut(speed);
}

int32_t CHuntPTZControl::FocusNear(int32_t speed) {
    StartTicker(speed);
    return CBasePTZControl::FocusNear(speed);
}

int32_t CHuntPTZControl::FocusFar(int32_t speed) {
    StartTicker(-speed);
    return CBasePTZControl::FocusFar(speed);
}

int32_t CHuntPTZControl::IrisOpen(int32_t speed) {
    StartTicker(speed);
    return CBasePTZControl::IrisOpen(speed);
}

int32_t CHuntPTZControl::IrisClose(int32_t speed) {
    StartTicker(-speed);
    return CBasePTZControl::IrisClose(speed);
}

int32_t CHuntPTZControl::Stop() {
    // Joined before the stops are posted, so no tick follows a finished Stop.
    EndTicker();
    return CBasePTZControl::Stop();
}

void CHuntPTZControl::OnTick() {
    const int32_t speed = m_speed;
    if (speed == 0) return;
    if (IsZooming()) speed > 0 ? CBasePTZControl::ZoomIn(speed) : CBasePTZControl::ZoomOut(-speed);
    if (IsFocusing()) speed > 0 ? CBasePTZControl::FocusNear(speed) : CBasePTZControl::FocusFar(-speed);
    if (IsIrisChanging()) speed > 0 ? CBasePTZControl::IrisOpen(speed) : CBasePTZControl::IrisClose(-speed);
}

}  // namespace talvex
