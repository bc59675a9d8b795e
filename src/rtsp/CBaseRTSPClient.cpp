#include "rtsp/CBaseRTSPClient.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/Base64.h"
#include "base/DigestAuthorization.h"
#include "base/FormatString.h"
#include "base/Md5.h"
#include "base/TextUtils.h"
#include "http/HostAddress.h"
#include "http/ReplyLookups.h"
#include "platform/PlatformTime.h"
#include "platform/PlatformUdp.h"
#include "rtsp/CRTSPStreamParser.h"

namespace talvex {

namespace {

constexpr char kUserAgent[] = "User-Agent: Talvex\r\n";
constexpr char kVersion[] = "RTSP/1.0\r\n";
// The step in which a blocking receive looks at the stop event.
constexpr uint32_t kReceiveSliceMs = 100;
// What is left of a receive once a stop was asked for.
constexpr uint32_t kReceiveAfterStopMs = 300;
constexpr uint32_t kStatusUnsupportedTransport = 461;

std::string ClientNonce() {
    uint8_t bytes[8];
    platform::RandomBytes(bytes, sizeof(bytes));
    std::string text;
    for (uint8_t b : bytes)
        text += FormatString("%02x", static_cast<unsigned>(b));
    return text;
}

}  // namespace

CBaseRTSPClient::CBaseRTSPClient(IDebugMessage* log) : CBaseThread(log) {}

CBaseRTSPClient::~CBaseRTSPClient() {
    StopSession();
}

const char* CBaseRTSPClient::MethodName(uint32_t method) {
    switch (method) {
    case RTSP_DESCRIBE: return "DESCRIBE";
    case RTSP_SETUP: return "SETUP";
    case RTSP_PLAY: return "PLAY";
    case RTSP_TEARDOWN: return "TEARDOWN";
    case RTSP_OPTIONS: return "OPTIONS";
    case RTSP_PAUSE: return "PAUSE";
    default: return "";
    }
}

bool CBaseRTSPClient::StartSession(const RTSPConnectionSettings& settings, IRTPReceiverUser* user) {
    return StartSession(settings, user, TRANSPORT_UDP);
}

bool CBaseRTSPClient::StartSession(const RTSPConnectionSettings& settings, IRTPReceiverUser* user,
                                   uint32_t transportMode) {
    m_parser.Reset();
    m_settings = settings;
    m_transportMode = transportMode;
    m_user = user;
    m_digestNonce.clear();
    m_nonceCount = 0;
    m_outcome.store(EOutcome::Pending);
    if (Connect() && StartThread("RTSP Client Thread"))
        return true;
    StopSession();
    return false;
}

void CBaseRTSPClient::StopSession() {
    // The thread may wait in a receive for up to the receive time-out.
    StopThread(std::max(m_settings.ReceiveTimeout, m_settings.SendTimeout) + 1000);
    if (m_socket != nullptr) {
        platform::CloseSocket(m_socket);
        m_socket = nullptr;
    }
    m_user = nullptr;
    m_keepAliveSent = false;
    m_lastKeepAliveMs = 0;
}

bool CBaseRTSPClient::Connect() {
    const uint32_t address = HUtils::ResolveHostAddress(m_settings.Host);
    if (address == 0)
        return false;
    // A time-out below the 100 ms polling step succeeds only on an
    // immediate connect; the platform call waits for the whole time-out.
    m_socket = platform::ConnectTcp(address, m_settings.Port, std::max<uint32_t>(m_settings.ConnectTimeout, 1));
    return m_socket != nullptr;
}

void CBaseRTSPClient::Run() {
    if (!SendRequest(RTSP_DESCRIBE))
        return;
    if (m_parser.StatusCode == 401 && m_parser.AuthScheme != m_settings.AuthScheme) {
        m_settings.AuthScheme = m_parser.AuthScheme;
        if (!SendRequest(RTSP_DESCRIBE))
            return;
    }
    if (m_parser.StatusCode < 200 || m_parser.StatusCode > 299)
        return;
    if (WaitForStop(0))
        return;
    if (m_user != nullptr)
        m_user->OnSdpParameters(m_parser.CodecParameters);
    if (!Transact(RTSP_SETUP)) {
        if (m_parser.StatusCode == kStatusUnsupportedTransport)
            m_outcome.store(EOutcome::TransportRefused);
    } else if (m_transportMode == TRANSPORT_INTERLEAVED) {
        // The answer to PLAY comes inside the stream that follows it.
        m_outcome.store(EOutcome::Playing);
        if (!WaitForStop(0))
            Transact(RTSP_PLAY);
    } else if (!WaitForStop(0) && Transact(RTSP_PLAY)) {
        m_outcome.store(EOutcome::Playing);
        while (!WaitForStop(1000))
            KeepAlive();
    }
    Transact(RTSP_TEARDOWN);
    if (m_outcome.load() == EOutcome::Playing)
        m_outcome.store(EOutcome::Ended);
}

bool CBaseRTSPClient::Transact(uint32_t method) {
    bool ok = SendRequest(method);
    if (ok && m_parser.StatusCode == 401 && m_parser.AuthScheme != m_settings.AuthScheme) {
        m_settings.AuthScheme = m_parser.AuthScheme;
        ok = SendRequest(method);
    }
    if (method == RTSP_PLAY && m_transportMode == TRANSPORT_INTERLEAVED)
        return ok;
    return ok && m_parser.StatusCode >= 200 && m_parser.StatusCode <= 299;
}

bool CBaseRTSPClient::SendRequest(uint32_t method) {
    if (m_socket == nullptr)
        return false;
    const std::string request = BuildRequest(method);
    if (request.empty())
        return false;
    if (platform::SendAll(m_socket, request.data(), request.size()) != platform::EIoResult::Ok)
        return false;
    if (method == RTSP_PLAY && m_transportMode == TRANSPORT_INTERLEAVED)
        return ReadInterleaved();
    const std::string answer = ReadResponse();
    if (answer.empty())
        return false;
    return m_parser.Parse(answer, method);
}

std::string CBaseRTSPClient::BuildRequest(uint32_t method) {
    const std::string base = BaseUrl();
    ++m_parser.CSeq;
    const std::string cseqLine = FormatString("CSeq: %u\r\n", m_parser.CSeq);
    const std::string sessionLine =
        m_parser.SessionId.empty() ? std::string() : FormatString("Session: %s\r\n", m_parser.SessionId.c_str());
    switch (method) {
    case RTSP_DESCRIBE:
        return FormatString("DESCRIBE %s %s%s%s%s%s\r\n", base.c_str(), kVersion, cseqLine.c_str(),
                            AuthorizationLine(method, base).c_str(), kUserAgent, "Accept: application/sdp\r\n");
    case RTSP_SETUP: {
        // Digest answers name the URL of their own request line: a strict
        // server compares the two.
        const std::string url = SetupUrl(base);
        return FormatString("SETUP %s %s%s%s%s%s\r\n", url.c_str(), kVersion, cseqLine.c_str(),
                            AuthorizationLine(method, url).c_str(), TransportLine().c_str(), kUserAgent);
    }
    case RTSP_PLAY:
    case RTSP_PAUSE:
        return FormatString("%s %s %s%s%s%s%s%s\r\n", MethodName(method), base.c_str(), kVersion, cseqLine.c_str(),
                            AuthorizationLine(method, base).c_str(), sessionLine.c_str(), "Range: npt=0.000-\r\n",
                            kUserAgent);
    case RTSP_TEARDOWN:
    case RTSP_OPTIONS:
        return FormatString("%s %s %s%s%s%s%s\r\n", MethodName(method), base.c_str(), kVersion, cseqLine.c_str(),
                            AuthorizationLine(method, base).c_str(), sessionLine.c_str(), kUserAgent);
    default:
        return {};
    }
}

std::string CBaseRTSPClient::BaseUrl() const {
    if (m_parser.ContentBase.find("rtsp://") != std::string::npos)
        return m_parser.ContentBase;
    std::string url = FormatString("rtsp://%s:%u/", m_settings.Host.c_str(), static_cast<unsigned>(m_settings.Port));
    const std::size_t start = m_settings.StreamPath.find_first_not_of('/');
    if (start != std::string::npos)
        url += m_settings.StreamPath.substr(start);
    return url;
}

std::string CBaseRTSPClient::SetupUrl(const std::string& baseIn) const {
    std::string control;
    switch (m_settings.MediaKind) {
    case 1: control = m_parser.VideoControl; break;
    case 2: control = m_parser.AudioControl; break;
    case 3: control = m_parser.DataControl; break;
    default: break;
    }
    if (control.find("://") != std::string::npos)
        return control;
    std::string base = baseIn.empty() ? BaseUrl() : baseIn;
    if (control.empty() || base.empty())
        return base;
    if (base.back() == '/')
        base.pop_back();
    if (control.front() != '/')
        base += '/';
    return base + control;
}

std::string CBaseRTSPClient::TransportLine() const {
    std::string profile;
    switch (m_settings.MediaKind) {
    case 1: profile = m_parser.VideoTransport; break;
    case 2: profile = m_parser.AudioTransport; break;
    case 3: profile = m_parser.DataTransport; break;
    default: break;
    }
    std::string ports;
    if (m_transportMode == TRANSPORT_INTERLEAVED)
        ports = ";interleaved=0-1";
    else
        ports = FormatString(";client_port=%u-%u", static_cast<unsigned>(m_settings.ClientRtpPort),
                             static_cast<unsigned>(m_settings.ClientRtcpPort));
    if (m_transportMode == TRANSPORT_INTERLEAVED || m_transportMode == TRANSPORT_TCP_PORTS) {
        // Interleaving needs the TCP lower transport whatever the SDP says.
        if (profile.empty() || profile.find("TCP") == std::string::npos)
            profile = profile.empty() || m_transportMode == TRANSPORT_INTERLEAVED ? "RTP/AVP/TCP" : profile;
    } else if (profile.empty()) {
        profile = "RTP/AVP/UDP";
    }
    return FormatString("Transport: %s;unicast%s\r\n", profile.c_str(), ports.c_str());
}

std::string CBaseRTSPClient::AuthorizationLine(uint32_t method, const std::string& uriIn) {
    if (m_settings.AuthScheme == RTSP_AUTH_BASIC) {
        std::string encoded;
        if (!EncodeBasicCredentials(m_settings.UserName, m_settings.Password, encoded))
            return {};
        return FormatString("Authorization: Basic %s\r\n", encoded.c_str());
    }
    if (m_settings.AuthScheme != RTSP_AUTH_DIGEST)
        return {};
    const std::string uri = uriIn.empty() ? BaseUrl() : uriIn;
    if (m_parser.AuthScheme != RTSP_AUTH_DIGEST || m_parser.Realm.empty() || m_parser.Nonce.empty() ||
        m_settings.UserName.empty() || m_settings.Password.empty() || uri.empty())
        return {};
    // A challenge that could break the request line it goes back in is no
    // challenge at all.
    if (HasControlCharacter(m_parser.AuthParameters) || HasControlCharacter(m_parser.Realm) ||
        HasControlCharacter(m_parser.Nonce)) {
        if (Log() != nullptr)
            Log()->DebugMessage(kLevelInformation, "%s: Refused the Digest challenge of %s: it carries %s",
                                "talvex::CBaseRTSPClient::AuthorizationLine", HUtils::MaskUrlCredentials(BaseUrl()).c_str(),
                                DigestRefusalText(EDigestRefusal::ControlCharacter));
        return {};
    }
    const std::optional<SDigestChallenge> challenge = ParseDigestChallenge(m_parser.AuthParameters);
    if (challenge && challenge->qopAuth) {
        if (m_digestNonce != challenge->nonce) {
            m_digestNonce = challenge->nonce;
            m_nonceCount = 0;
        }
        ++m_nonceCount;
        return "Authorization: " +
               BuildDigestAuthorization(*challenge, m_settings.UserName, m_settings.Password, MethodName(method), uri,
                                        m_nonceCount, ClientNonce()) +
               "\r\n";
    }
    const std::string ha1 = Md5Hex(m_settings.UserName + ":" + m_parser.Realm + ":" + m_settings.Password);
    const std::string ha2 = Md5Hex(std::string(MethodName(method)) + ":" + uri);
    const std::string response = Md5Hex(ha1 + ":" + m_parser.Nonce + ":" + ha2);
    return FormatString(
        "Authorization: Digest username=\"%s\", realm=\"%s\", nonce=\"%s\", uri=\"%s\", response=\"%s\"\r\n",
        QuoteDigestValue(m_settings.UserName).c_str(), QuoteDigestValue(m_parser.Realm).c_str(),
        QuoteDigestValue(m_parser.Nonce).c_str(), QuoteDigestValue(uri).c_str(), response.c_str());
}

std::string CBaseRTSPClient::ReadResponse() {
    // The head is read until its empty line, up to kMaxRTSPHeadBytes; then
    // exactly the body its Content-Length announces, up to kMaxRTSPBodyBytes.
    // A head or body beyond those limits fails the request; a receive
    // time-out ends the read with what arrived.
    std::string answer;
    std::size_t expected = kMaxRTSPHeadBytes;
    bool headSeen = false;
    std::size_t ask = 256;
    std::vector<char> buffer(512);
    for (;;) {
        std::size_t received = 0;
        const platform::EIoResult result = ReceiveSome(buffer.data(), ask, received);
        if (result != platform::EIoResult::Ok || received == 0)
            break;
        answer.append(buffer.data(), received);
        if (!headSeen) {
            const std::size_t end = answer.find("\r\n\r\n");
            if (end == std::string::npos) {
                if (answer.size() >= kMaxRTSPHeadBytes)
                    return {};
            } else {
                headSeen = true;
                const std::string lengthText =
                    HUtils::Trim(HUtils::FindRecordValue("content-length", ":", HUtils::ToLower(answer.substr(0, end + 2)), "\r\n"));
                uint32_t length = 0;
                if (!lengthText.empty()) {
                    if (lengthText.size() > 6 || lengthText.find_first_not_of("0123456789") != std::string::npos)
                        return {};
                    length = static_cast<uint32_t>(std::stoul(lengthText));
                    if (length > kMaxRTSPBodyBytes)
                        return {};
                }
                expected = end + 4 + length;
            }
        }
        if (answer.size() >= expected)
            break;
        ask = std::min<std::size_t>(expected - answer.size(), buffer.size());
    }
    return answer;
}

platform::EIoResult CBaseRTSPClient::ReceiveSome(void* buffer, std::size_t capacity, std::size_t& received) {
    const uint32_t limit = std::max<uint32_t>(m_settings.ReceiveTimeout, 1);
    uint32_t waited = 0;
    uint32_t afterStop = 0;
    for (;;) {
        if (WaitForStop(0)) {
            if (afterStop >= kReceiveAfterStopMs)
                return platform::EIoResult::TimedOut;
            afterStop += kReceiveSliceMs;
        }
        if (waited >= limit)
            return platform::EIoResult::TimedOut;
        const uint32_t slice = std::min(kReceiveSliceMs, limit - waited);
        const platform::EIoResult result = platform::Receive(m_socket, buffer, capacity, received, slice);
        if (result != platform::EIoResult::TimedOut)
            return result;
        waited += slice;
    }
}

void CBaseRTSPClient::KeepAlive() {
    const uint32_t interval = m_parser.SessionTimeout != 0 ? m_parser.SessionTimeout : m_settings.KeepAliveInterval;
    const uint32_t now = platform::TickCountMs();
    if (!m_keepAliveSent || static_cast<uint64_t>(now - m_lastKeepAliveMs) > static_cast<uint64_t>(interval) * 1000 / 2) {
        Transact(RTSP_OPTIONS);
        m_lastKeepAliveMs = platform::TickCountMs();
        m_keepAliveSent = true;
    }
}

bool CBaseRTSPClient::ReadInterleaved() {
    CRTSPStreamParser parser(m_user);
    std::vector<uint8_t> buffer(8192);
    uint32_t quietMs = 0;
    const uint32_t step = std::min<uint32_t>(std::max<uint32_t>(m_settings.ReceiveTimeout, 1), 500);
    const uint32_t interval = m_parser.SessionTimeout != 0 ? m_parser.SessionTimeout : m_settings.KeepAliveInterval;
    uint32_t lastKeepAliveMs = platform::TickCountMs();
    while (!WaitForStop(0)) {
        // The session lives only as long as the server hears from us; the
        // answer comes inside the stream, where the frame reader skips it.
        if (static_cast<uint64_t>(platform::TickCountMs() - lastKeepAliveMs) > static_cast<uint64_t>(interval) * 1000 / 2) {
            const std::string request = BuildRequest(RTSP_OPTIONS);
            if (platform::SendAll(m_socket, request.data(), request.size()) != platform::EIoResult::Ok)
                return true;
            lastKeepAliveMs = platform::TickCountMs();
        }
        std::size_t received = 0;
        const platform::EIoResult result = platform::Receive(m_socket, buffer.data(), buffer.size(), received, step);
        if (result == platform::EIoResult::TimedOut) {
            // Polled in short steps so that a stop is seen; the connection
            // counts as ended after the whole receive time-out of silence.
            quietMs += step;
            if (quietMs >= m_settings.ReceiveTimeout)
                return true;
            continue;
        }
        if (result != platform::EIoResult::Ok || received == 0)
            return true;
        quietMs = 0;
        parser.Feed(buffer.data(), received);
    }
    return false;
}

}  // namespace talvex
