// The digital I/O object of one device: output changes are queued for the
// "Digital Output thread", so the host's call returns at once, and the
// "Digital Input thread" polls the inputs and tells the host what changed.
// Vendor classes supply the camera requests (WriteOutput, PollInputs).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <vector>

#include "base/IDriver.h"
#include "thread/CRecursiveLock.h"
#include "thread/CTickerThread.h"
#include "thread/CWorkItemThread.h"
#include "wrenfield/IO.h"

namespace talvex {

class CIOBase : public ICaptureIOApi, public thread::CWorkItemThread, public thread::CTickerThread {
public:
    static constexpr uint32_t kPollPeriodMs = 2000;

    // One wanted output change.
    class CWorkItem : public IWorkItem {
    public:
        CWorkItem(uint32_t outputIndex, int32_t wantedState) : index(outputIndex), state(wantedState) {}
        uint32_t index;  // from 0
        int32_t state;
    };

    // pollPeriodMs is the input poll period; only tests pass anything but
    // the default.
    explicit CIOBase(IDriver* driver, uint32_t pollPeriodMs = kPollPeriodMs);
    ~CIOBase() override;

    // ICaptureIOApi (WriteOutput and PollInputs come from the vendor class)
    bool SetSink(ipcapture::IHostIOSink* sink) override;
    bool Start() override;
    void Stop() override;
    uint32_t GetInputCount() override;
    uint32_t GetOutputCount() override;
    bool SetOutput(unsigned int index, int32_t state) override;

    // The output worker and the input poller.
    void ProcessItem(IWorkItem* item) override;
    void OnTick() override;

    bool InputThreadRunning() const { return thread::CTickerThread::IsRunning(); }
    bool OutputThreadRunning() const { return thread::CWorkItemThread::IsRunning(); }

protected:
    IDriver* Driver() const { return m_driver; }
    // Takes the states just read from the camera (one per input, from 0):
    // stores each that differs from the known one and tells the host about
    // it. While no sink is set nothing is stored, so the host hears every
    // input once it has a sink.
    void UpdateInputs(const std::vector<int32_t>& states);
    // Breaks the camera requests in progress so that Stop does not wait out
    // a hanging camera, and lets the requests work again after the stop.
    virtual void AbortRequests() {}
    virtual void ResumeRequests() {}

private:
    // Every known state back to 0: the next poll reports every input again
    // and the next output change is sent whatever was sent before.
    void ResetStates();
    // The failure rule of one failed camera request.
    void ReportFailure();
    bool PollAndReport();
    bool SwitchOffOutput(uint32_t index);
    ipcapture::IHostIOSink* Sink();

    const uint32_t m_pollPeriodMs;
    IDriver* const m_driver;  // not owned; outlives this object
    // Guards m_sink and both state maps: a failed request on either worker
    // rebuilds both maps. Never held across a camera request or a host call.
    CRecursiveLock m_stateLock;
    ipcapture::IHostIOSink* m_sink = nullptr;  // not owned; the host keeps it alive while started
    std::map<uint32_t, int32_t> m_inputStates;
    std::map<uint32_t, int32_t> m_outputStates;
    // Set while Stop runs: a request it aborted is no camera failure.
    std::atomic<bool> m_stopping{false};
};

}  // namespace talvex
