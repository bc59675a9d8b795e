#include "http/CHttpSender.h"

#include <algorithm>

namespace Web {

using namespace talvex::platform;

namespace {

constexpr uint32_t kMaxConnectionsPerServer = 16;
constexpr uint32_t kReadAllBufferBytes = 8192;
constexpr uint32_t kStatusUnauthorized = 401;

}  // namespace

CHttpSender::CHttpSender(const talvex::DEVICE_INFO& device, std::size_t bodyCapBytes)
    : m_device(device), m_bodyCapBytes(bodyCapBytes) {
    OpenSession();
}

CHttpSender::~CHttpSender() {
    SetRequest(nullptr);
    CloseHttpConnection(m_connection);
    CloseHttpSession(m_session);
}

void CHttpSender::OpenSession() {
    m_session = OpenHttpSession("Talvex::HttpClient");
    if (m_session == nullptr) return;  // silent: every later Send fails
    const EHttpSessionOption timeouts[] = {
        EHttpSessionOption::ReceiveTimeout, EHttpSessionOption::ResolveTimeout,
        EHttpSessionOption::ReceiveResponseTimeout, EHttpSessionOption::SendTimeout,
        EHttpSessionOption::ConnectTimeout,
    };
    for (EHttpSessionOption option : timeouts)
        if (!SetHttpSessionOption(m_session, option, m_device.ConnectTimeout)) return;
    if (!SetHttpSessionOption(m_session, EHttpSessionOption::MaxConnectionsPerServer, kMaxConnectionsPerServer)) return;
    SetHttpSessionOption(m_session, EHttpSessionOption::MaxConnectionsPerHttp10Server, kMaxConnectionsPerServer);
}

void CHttpSender::SetRequest(HttpRequestHandle request) {
    HttpRequestHandle previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_requestMutex);  // guards m_request
        previous = m_request;
        m_request = request;
        // An abort that came while no request was registered still ends this one.
        if (request != nullptr && m_aborted) AbortHttpRequest(request);
    }
    CloseHttpRequest(previous);
}

bool CHttpSender::Aborted() {
    std::lock_guard<std::mutex> lock(m_requestMutex);  // guards m_aborted
    return m_aborted;
}

bool CHttpSender::Fail() {
    SetRequest(nullptr);
    return false;
}

void CHttpSender::AbortRead() {
    std::lock_guard<std::mutex> lock(m_requestMutex);  // keeps the request alive while it is aborted
    m_aborted = true;
    if (m_request != nullptr) AbortHttpRequest(m_request);
}

void CHttpSender::ResetAbort() {
    std::lock_guard<std::mutex> lock(m_requestMutex);  // guards m_aborted
    m_aborted = false;
}

bool CHttpSender::Send(const HttpRequest& request) {
    SetRequest(nullptr);
    if (Aborted()) return false;
    if (m_connection == nullptr && m_session != nullptr)
        m_connection = ConnectHttp(m_session, m_device.Address, m_device.Port);
    if (m_connection == nullptr) return false;

    // What this sender learned comes first, then what the device taught an
    // earlier sender, then what the request asks for.
    const uint32_t taught = m_device.TaughtAuthScheme ? m_device.TaughtAuthScheme->load() : 0;
    const uint32_t sentScheme =
        m_learnedScheme != 0 ? m_learnedScheme : taught != 0 ? taught : AuthSchemeKind(request.AuthScheme);
    if (!OpenAndSend(request, sentScheme)) return false;

    const bool callerWritesBody = request.Body.size() < request.TotalLength;
    if (callerWritesBody || (request.Flags & kRequestNoWait) != 0) return true;
    if (!ReceiveHttpResponse(m_request)) return Fail();
    ReadHead();

    if (m_statusCode == kStatusUnauthorized) ReportRefusedChallenge();
    if (m_statusCode == kStatusUnauthorized && m_learnedScheme == 0) return RetryWithOfferedScheme(request, sentScheme);
    // A 401 after a scheme was learned goes back to the caller as it is.
    return true;
}

bool CHttpSender::OpenAndSend(const HttpRequest& request, uint32_t scheme) {
    uint32_t flags = 0;
    if (request.Flags & kRequestEscapeDisableQuery) flags |= kHttpRequestEscapeDisableQuery;
    if (request.Secure == 1) flags |= kHttpRequestSecure;
    SetRequest(OpenHttpRequest(m_connection, request.Verb, request.Path, flags));
    if (m_request == nullptr) return false;

    if (!m_device.UserName.empty() && !SetHttpCredentials(m_request, scheme, m_device.UserName, m_device.Password))
        return Fail();
    if (request.Secure == 1 && (request.Flags & kRequestIgnoreCertErrors) != 0 &&
        !SetHttpRequestOption(m_request, EHttpRequestOption::IgnoreCertificateErrors))
        return Fail();
    if ((request.Flags & kRequestNoRedirects) != 0 &&
        !SetHttpRequestOption(m_request, EHttpRequestOption::DisableRedirects))
        return Fail();
    for (const std::string& header : request.Headers)
        if (!AddHttpRequestHeader(m_request, header)) return Fail();

    const auto bodySize = static_cast<uint32_t>(request.Body.size());
    const uint32_t totalLength = std::max(bodySize, request.TotalLength);
    if (!SendHttpRequest(m_request, request.Body.empty() ? nullptr : request.Body.data(), bodySize, totalLength))
        return Fail();
    return true;
}

void CHttpSender::ReadHead() {
    uint32_t status = 0;
    // A head whose status cannot be read counts as no answer at all.
    m_statusCode = QueryHttpStatusCode(m_request, status) ? status : 0;
    uint32_t length = 0;
    if (QueryHttpContentLength(m_request, length)) m_contentLength = length;
}

void CHttpSender::ReportRefusedChallenge() {
    std::string reason;
    if (m_log == nullptr || !QueryHttpRefusedChallenge(m_request, reason)) return;
    const std::string device = m_device.Address + ":" + std::to_string(m_device.Port);
    m_log->DebugMessage(kLevelInformation, "%s: Refused the Digest challenge of %s: it carries %s",
                        "Web::CHttpSender::Send", device.c_str(), reason.c_str());
}

bool CHttpSender::RetryWithOfferedScheme(const HttpRequest& request, uint32_t sentScheme) {
    uint32_t supported = 0;
    uint32_t first = 0;
    const bool queried = QueryHttpAuthSchemes(m_request, supported, first);
    if (queried) m_learnedScheme = first;
    if (queried && first != 0 && m_device.TaughtAuthScheme) m_device.TaughtAuthScheme->store(first);
    SetRequest(nullptr);
    // The device wants what was already sent: the credentials are wrong, and
    // sending them again would only repeat the 401.
    if (!queried || first == 0 || first == sentScheme) return false;
    return Send(request);  // m_learnedScheme is set now, so this cannot recurse again
}

bool CHttpSender::Get(const std::string& path) { return Send(HttpRequest("GET", path)); }

bool CHttpSender::GetData(std::vector<uint8_t>& data, const std::string& path) {
    data.clear();
    if (!Get(path)) return false;
    if (ReadAll(data) == 0 || m_statusCode != 200) return false;
    data.push_back(0);
    return true;
}

std::size_t CHttpSender::ReadAll(std::vector<uint8_t>& data) {
    data.clear();
    m_bodyTooLarge = false;
    uint8_t buffer[kReadAllBufferBytes];
    while (m_request != nullptr) {
        uint32_t read = 0;
        if (!ReadHttpData(m_request, buffer, sizeof buffer, read) || read == 0) break;
        if (read > m_bodyCapBytes - data.size()) {
            // Half a page would read as a whole one; nothing is better.
            m_bodyTooLarge = true;
            data.clear();
            SetRequest(nullptr);
            break;
        }
        data.insert(data.end(), buffer, buffer + read);
    }
    return data.size();
}

std::size_t CHttpSender::ReadChunk(std::vector<uint8_t>& data) {
    data.clear();
    if (m_request == nullptr || m_chunkSize == 0) return 0;
    data.resize(m_chunkSize);
    uint32_t read = 0;
    if (!ReadHttpData(m_request, data.data(), m_chunkSize, read)) read = 0;
    data.resize(read);
    return data.size();
}

}  // namespace Web
