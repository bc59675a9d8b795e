// The RTSP channel of this camera family: learns the camera's RTSP port and
// stream path from its network page, writes the wanted compression settings
// with one CGI request before each session, and opens the session there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "channels/CBaseRTSPChannel.h"
#include "http/CHttpSender.h"

namespace talvex {

class CCommonChannelRTSP : public CBaseRTSPChannel {
public:
    CCommonChannelRTSP(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink);
    ~CCommonChannelRTSP() override;

    // What a network page says for this input: the RTSP port (0 when the
    // page gives none that is a number) and the stream path. False when the
    // page has no "Rtsp_Port" record.
    static bool ReadNetworkPage(const std::string& page, unsigned int channelIndex, uint16_t& port,
                                std::string& path);

    uint16_t LearnedRtspPort() const { return m_rtspPort; }
    const std::string& LearnedStreamPath() const { return m_streamPath; }

protected:
    bool Connect() override;
    void PrepareSession(RTSPConnectionSettings& settings) override;
    void OnStopping() override;
    void OnStarting() override;

    // Sends one CGI request; true when the camera answered it with success.
    bool SendCgi(const std::string& path);

private:
    bool ReadNetworkSettings();

    Web::CHttpSender m_cgiSender;
    std::string m_streamPath;
    uint16_t m_rtspPort = 0;
};

}  // namespace talvex
