#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>

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
    // Reports the channel online or offline; only a change logs a line.
    void SetOnline(bool online);
    // A picture was taken by the host: the channel is online, unless a stop
    // or reconfiguration has begun (decided in one step with that stop, so a
    // late picture never reports online behind the "stopped" line).
    void ReportPictureTaken();
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
    // Called on the host's thread just before a capture thread is created:
    // the place to undo what OnStopping did.
    virtual void OnStarting();

    IDriver* Driver() const { return m_driver; }
    ipcapture::IHostFrameSink* FrameSink() const { return m_sink; }
    CManualEvent& StopEvent() { return m_stopEvent; }
    CTime& LastFrameTime() { return m_lastFrameTime; }
    bool StartCaptureThread();
    void StopCaptureThread();

private:
    static uint32_t ThreadEntry(void* self);
    std::string LowerCaseName() const;
    // Under m_stateLock: changes the online flag and queues its line.
    void ChangeOnlineLocked(bool online);
    // Logs the queued lines in the order they were decided, without holding
    // the lock while the message path runs.
    void FlushLines();
    void BeginStopping(bool reportOffline);

    bool m_networkStarted = false;
    CRecursiveLock m_stateLock;  // guards everything down to m_flushing
    int32_t m_state = kChannelStopped;
    bool m_online = false;
    bool m_stopping = false;  // a stop or reconfiguration began; no picture reports online
    std::deque<std::pair<int32_t, std::string>> m_pendingLines;
    bool m_flushing = false;  // one thread at a time logs the queued lines
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
