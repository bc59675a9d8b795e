#include "channels/CCommonChannelRTSP.h"

#include "base/FormatString.h"
#include "base/TextUtils.h"
#include "http/HUtils.h"

namespace talvex {

namespace {

constexpr const char* kNetworkPage = "/GetNetwork.cgi";

// The value of the record named exactly name in a "<br>"-separated page,
// wherever it stands; absent when no record has that name.
bool FindRecord(const std::string& page, const std::string& name, std::string& value) {
    std::size_t start = 0;
    while (start < page.size()) {
        std::size_t end = page.find("<br>", start);
        if (end == std::string::npos) end = page.size();
        const std::string record = page.substr(start, end - start);
        start = end + 4;
        const std::size_t equals = record.find('=');
        if (equals == std::string::npos) continue;
        if (HUtils::Trim(record.substr(0, equals)) != name) continue;
        value = HUtils::Trim(record.substr(equals + 1));
        return true;
    }
    return false;
}

// The leading decimal digits as a port; 0 when there are none or they name
// no port.
uint16_t PortOf(const std::string& text) {
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > 65535) return 0;
    }
    return static_cast<uint16_t>(value);
}

}  // namespace

CCommonChannelRTSP::CCommonChannelRTSP(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink)
    : CBaseRTSPChannel(channelIndex, driver, sink), m_cgiSender(driver->GetDeviceInfo()) {
    m_cgiSender.SetLog(driver);
}

CCommonChannelRTSP::~CCommonChannelRTSP() { Stop(); }

bool CCommonChannelRTSP::ReadNetworkPage(const std::string& page, unsigned int channelIndex, uint16_t& port,
                                         std::string& path) {
    port = 0;
    path.clear();
    std::string value;
    if (!FindRecord(page, "Rtsp_Port", value) || value.empty()) return false;
    port = PortOf(value);
    if (!FindRecord(page, FormatString("Path_Live%u", channelIndex + 1), path) || path.empty())
        FindRecord(page, "Path_Live", path);
    return true;
}

bool CCommonChannelRTSP::ReadNetworkSettings() {
    if (m_rtspPort != 0 || !m_streamPath.empty()) return true;
    if (StopEvent().Wait(0)) return false;
    std::vector<uint8_t> body;
    if (HUtils::RequestGetRD(kNetworkPage, body, m_cgiSender, true).Code != kResultSuccess) return false;
    const std::string page(body.begin(), body.end() - (body.empty() ? 0 : 1));  // without the added zero
    return ReadNetworkPage(page, ChannelIndex(), m_rtspPort, m_streamPath);
}

bool CCommonChannelRTSP::Connect() {
    if (StopEvent().Wait(0)) return false;
    if (!ReadNetworkSettings()) return false;
    if (ConfigureCamera()) return true;
    // Read the network page again next time: the camera may have changed.
    m_rtspPort = 0;
    m_streamPath.clear();
    return false;
}

void CCommonChannelRTSP::PrepareSession(RTSPConnectionSettings& settings) {
    if (m_rtspPort != 0) settings.Port = m_rtspPort;
    if (!m_streamPath.empty()) settings.StreamPath = m_streamPath;
}

bool CCommonChannelRTSP::SendCgi(const std::string& path) {
    return HUtils::RequestGetNoBody(path, m_cgiSender);
}

void CCommonChannelRTSP::OnStopping() {
    CBaseRTSPChannel::OnStopping();
    m_cgiSender.AbortRead();  // a hanging CGI request must not hold the stop
}

void CCommonChannelRTSP::OnStarting() {
    CBaseRTSPChannel::OnStarting();
    m_cgiSender.ResetAbort();
}

}  // namespace talvex
