// An RTP channel whose camera is asked for the stream by an RTSP session:
// to the channel's UDP ports, or interleaved on the RTSP connection once the
// channel has found UDP blocked on the way from the camera.
#pragma once

#include <cstdint>

#include "channels/CBaseRTPChannel.h"
#include "rtsp/CBaseRTSPClient.h"
#include "rtsp/RTSPConnectionSettings.h"

namespace talvex {

class CBaseRTSPChannel : public CBaseRTPChannel {
public:
    // Consecutive sessions that played without one packet reaching the UDP
    // ports before the channel takes UDP for blocked.
    static constexpr uint32_t kSilentSessionsBeforeInterleaving = 2;

    CBaseRTSPChannel(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink);
    ~CBaseRTSPChannel() override;

    bool Interleaved() const { return m_interleaved; }

protected:
    bool StartStreaming() override;
    void StopStreaming() override;
    void OnStopping() override;
    virtual void PrepareSession(RTSPConnectionSettings& settings);
    virtual bool ConfigureCamera() = 0;

    CBaseRTSPClient& Client() { return m_client; }

private:
    // After a session: does what it showed mean that UDP cannot reach us?
    void JudgeTransport();

    CBaseRTSPClient m_client;
    // Touched by the capture thread only.
    bool m_sessionStarted = false;
    bool m_interleaved = false;
    bool m_udpEverHeard = false;
    uint32_t m_silentSessions = 0;
    uint64_t m_sessionStartMs = 0;
};

}  // namespace talvex
