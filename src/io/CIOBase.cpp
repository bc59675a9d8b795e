#include "io/CIOBase.h"

#include <new>
#include <utility>

namespace talvex {

CIOBase::CIOBase(IDriver* driver, uint32_t pollPeriodMs) : m_pollPeriodMs(pollPeriodMs), m_driver(driver) {
    ResetStates();
}

CIOBase::~CIOBase() {
    // Vendor classes stop first, while their requests still exist; this
    // one only finds the threads gone.
    Stop();
}

uint32_t CIOBase::GetInputCount() { return m_driver != nullptr ? m_driver->GetIOCounts().first : 0; }

uint32_t CIOBase::GetOutputCount() { return m_driver != nullptr ? m_driver->GetIOCounts().second : 0; }

bool CIOBase::SetSink(ipcapture::IHostIOSink* sink) {
    if (sink == nullptr) return false;
    CLockHolder hold(m_stateLock);
    m_sink = sink;
    return true;
}

ipcapture::IHostIOSink* CIOBase::Sink() {
    CLockHolder hold(m_stateLock);
    return m_sink;
}

bool CIOBase::Start() {
    try {
        // A second Start would send the initial requests through the senders
        // the running workers own.
        if (thread::CWorkItemThread::IsRunning() || thread::CTickerThread::IsRunning()) return false;
        m_stopping = false;
        const uint32_t inputs = GetInputCount();
        const uint32_t outputs = GetOutputCount();
        if (inputs > 0 && !PollAndReport()) ReportFailure();
        // Every output starts switched off, so that what the host sets later
        // is what the relays do.
        for (uint32_t i = 0; i < outputs; ++i)
            if (!SwitchOffOutput(i)) ReportFailure();

        bool result = true;
        if (outputs > 0 && !StartWorker("Digital Output thread")) result = false;
        if (inputs > 0) {
            SetPeriodMs(m_pollPeriodMs);
            if (!thread::CTickerThread::Start("Digital Input thread")) return false;
        }
        return result;
    } catch (...) {
        // Out of memory while starting; Stop still ends whatever runs.
        return false;
    }
}

void CIOBase::Stop() {
    m_stopping = true;
    AbortRequests();
    thread::CWorkItemThread::StopWorker();
    thread::CTickerThread::StopTicker();
    ResumeRequests();
    try {
        ResetStates();
    } catch (...) {
        // Out of memory: the old states stay, and Start polls and switches everything again anyway.
    }
}

bool CIOBase::SetOutput(unsigned int index, int32_t state) {
    // The camera knows only on and off; any other state would be sent as
    // "on" and switch a relay the host did not mean to switch. An output
    // the device lacks would be queued and then silently dropped.
    if (index >= GetOutputCount() || (state != ipcapture::kIoStateInactive && state != ipcapture::kIoStateActive))
        return false;
    auto* item = new (std::nothrow) CWorkItem(index, state);
    if (item == nullptr) return false;
    try {
        if (AddItem(item)) return true;
    } catch (...) {
        // The queue could not take it: the item is still ours.
    }
    delete item;
    return false;
}

void CIOBase::ProcessItem(IWorkItem* item) {
    auto* work = dynamic_cast<CWorkItem*>(item);
    if (work == nullptr) return;
    {
        CLockHolder hold(m_stateLock);
        auto known = m_outputStates.find(work->index);
        if (known == m_outputStates.end() || known->second == work->state) return;
        known->second = work->state;
    }
    bool written = false;
    try {
        written = WriteOutput(work->index, work->state);
    } catch (...) {
        // Counts as a failed request: the worker must go on.
    }
    if (!written) ReportFailure();
}

void CIOBase::OnTick() {
    if (!PollAndReport()) ReportFailure();
}

bool CIOBase::PollAndReport() {
    try {
        return PollInputs(GetInputCount());
    } catch (...) {
        return false;
    }
}

bool CIOBase::SwitchOffOutput(uint32_t index) {
    {
        CLockHolder hold(m_stateLock);
        auto known = m_outputStates.find(index);
        if (known != m_outputStates.end()) known->second = ipcapture::kIoStateInactive;
    }
    try {
        return WriteOutput(index, ipcapture::kIoStateInactive);
    } catch (...) {
        return false;
    }
}

void CIOBase::UpdateInputs(const std::vector<int32_t>& states) {
    std::vector<std::pair<uint32_t, int32_t>> changes;
    changes.reserve(states.size());
    ipcapture::IHostIOSink* sink = nullptr;
    {
        CLockHolder hold(m_stateLock);
        sink = m_sink;
        if (sink == nullptr) return;
        for (uint32_t i = 0; i < states.size(); ++i) {
            auto known = m_inputStates.find(i);
            if (known == m_inputStates.end() || known->second == states[i]) continue;
            known->second = states[i];
            changes.emplace_back(i, states[i]);
        }
    }
    for (const auto& [index, state] : changes) {
        try {
            sink->OnInputChanged(index, state);
        } catch (...) {
            // The host's fault must not end the poller; the other changes still go out.
        }
    }
}

void CIOBase::ResetStates() {
    std::map<uint32_t, int32_t> inputs;
    std::map<uint32_t, int32_t> outputs;
    for (uint32_t i = 0, n = GetInputCount(); i < n; ++i) inputs.emplace(i, ipcapture::kIoStateUnknown);
    for (uint32_t i = 0, n = GetOutputCount(); i < n; ++i) outputs.emplace(i, ipcapture::kIoStateUnknown);
    // The old maps are freed after the lock is released.
    CLockHolder hold(m_stateLock);
    m_inputStates.swap(inputs);
    m_outputStates.swap(outputs);
}

void CIOBase::ReportFailure() {
    try {
        ResetStates();
    } catch (...) {
        // Out of memory: the known states stay; the host still hears of the failure.
    }
    // A request that Stop broke off says nothing about the camera.
    if (m_stopping) return;
    ipcapture::IHostIOSink* sink = Sink();
    if (sink == nullptr) return;
    try {
        sink->OnIOFailure();
    } catch (...) {
        // The host's fault must not end the worker.
    }
}

}  // namespace talvex
