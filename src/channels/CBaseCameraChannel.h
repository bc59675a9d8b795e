#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "channels/ICameraChannel.h"
#include "base/IDriver.h"
#include "parsers/SampleSizes.h"
#include "platform/PlatformThread.h"
#include "thread/CEvent.h"
#include "thread/CRecursiveLock.h"
#include "thread/CTime.h"
#include "wrenfield/Media.h"

namespace talvex {

// The base of every channel kind: owns the capture thread, the state seen by
// the host, the online/offline lines the operator reads, and the delivery of
// finished pictures to the host's frame sink.
class CBaseCameraChannel : public ICameraChannel {
public:
    CBaseCameraChannel(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink);
    ~CBaseCameraChannel() override;
    CBaseCameraChannel(const CBaseCameraChannel&) = delete;
    CBaseCameraChannel& operator=(const CBaseCameraChannel&) = delete;

    bool Start(const CaptureSettings& settings) override;
    void Stop() override;
    bool Reconfigure(const CaptureSettings& settings) override;
    int32_t GetState() override;

    void SetState(int32_t state);
    void SetOnline(bool online);
    // False when there is no sink, the sink refuses, or it throws.
    bool DeliverFrame(ipcapture::IHostMediaSample* sample);

    // "Camera <address>" or "Video-server <address> (channel <n>)".
    std::string ChannelName() const;
    unsigned int ChannelIndex() const { return m_channelIndex; }
    const CaptureSettings& Settings() const { return m_settings; }

protected:
    virtual uint32_t CaptureThread() = 0;
    // Called just before the capture thread is waited for: the place to
    // unblock whatever the thread waits on.
    virtual void OnStopping();

    IDriver* Driver() const { return m_driver; }
    ipcapture::IHostFrameSink* FrameSink() const { return m_sink; }
    CManualEvent& StopEvent() { return m_stopEvent; }
    CTime& LastFrameTime() { return m_lastFrameTime; }
    bool StartCaptureThread();
    void StopCaptureThread();

private:
    static uint32_t ThreadEntry(void* self);
    std::string LowerCaseName() const;

    bool m_networkStarted = false;
    std::atomic<bool> m_online{false};  // changed only by SetOnline, from host and capture threads
    CRecursiveLock m_stateLock;     // guards m_state
    int32_t m_state = kChannelStopped;
    CRecursiveLock m_threadLock;    // guards thread creation and joining
    platform::ThreadHandle m_thread = nullptr;
    uint32_t m_threadId = 0;
    const unsigned int m_channelIndex;
    IDriver* const m_driver;                  // not owned; outlives the channel
    ipcapture::IHostFrameSink* const m_sink;  // not owned; may be null
    CaptureSettings m_settings;
    CManualEvent m_stopEvent;
    CTime m_lastFrameTime;
};

}  // namespace talvex
