#pragma once

#include "CCameraState.h"
#include "CEncoderHub.h"
#include "CFaultState.h"
#include "CRequestLog.h"

#include <gst/rtsp-server/rtsp-server.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace camsim {

// The camera's RTSP server: one mount per channel at the channel's live path, serving the
// channel's current codec (H.264, MJPEG or MPEG-4) with RTP over UDP to the client ports
// named in SETUP, RTCP sender reports and the configured session time-out. Every pipeline
// starts with an appsrc fed by the channel's encoder, so sessions never encode on their own.
// All server state lives on one GLib main loop thread; other threads reach it through RunOnLoop.
// Client requests are handled on GStreamer's client thread, where the faults that drop UDP
// media or hold an answer take effect.
class CRtspService {
public:
    CRtspService(CCameraState& state, CEncoderHub& encoders, CFaultState& faults, CRequestLog& log);
    ~CRtspService();
    CRtspService(const CRtspService&) = delete;
    CRtspService& operator=(const CRtspService&) = delete;

    bool Start(int port, std::string& error);
    void Stop();
    int Port() const { return m_port; }

    // The next session of the channel uses its current settings.
    void OnVideoChanged(int channel);
    // Closes every RTSP connection and forgets every session.
    void DropAll();
    // Closes or reopens the listening socket (on the same port).
    void SetListening(bool listening);
    // A camera behind a firewall that drops UDP: later sessions refuse an
    // RTP/UDP transport (461) and offer only RTP interleaved over RTSP.
    void SetUdpAllowed(bool allowed);

private:
    struct SChannelContext {
        CRtspService* service;
        int channel;
        GstRTSPMediaFactory* factory;  // owned by the mount points
    };

    void RunOnLoop(const std::function<void()>& work);
    bool Attach(std::string& error);
    void SetUpAuth();
    void AddMount(int channel);
    void ConfigureMedia(int channel, GstRTSPMedia* media);
    GstRTSPStatusCode OnRequest(GstRTSPContext* ctx);

    static std::string LaunchLine(ECodec codec);
    static void OnMediaConfigureThunk(GstRTSPMediaFactory* factory, GstRTSPMedia* media, gpointer context);
    static void OnClientConnectedThunk(GstRTSPServer* server, GstRTSPClient* client, gpointer self);
    static void OnNewSessionThunk(GstRTSPClient* client, GstRTSPSession* session, gpointer self);
    static GstRTSPStatusCode OnRequestThunk(GstRTSPClient* client, GstRTSPContext* ctx, gpointer self);

    CCameraState& m_state;
    CEncoderHub& m_encoders;
    CFaultState& m_faults;
    CRequestLog& m_log;

    GMainContext* m_context = nullptr;
    GMainLoop* m_loop = nullptr;
    std::thread m_thread;  // runs m_loop
    // The members below are touched only on the loop thread once it runs.
    GstRTSPServer* m_server = nullptr;
    GSource* m_listenSource = nullptr;
    GSource* m_cleanupSource = nullptr;
    std::vector<std::unique_ptr<SChannelContext>> m_channels;
    int m_port = 0;
};

}  // namespace camsim
