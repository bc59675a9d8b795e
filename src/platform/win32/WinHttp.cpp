// The HTTP transport on WinHTTP in synchronous mode: each operation is the
// WinHTTP call of the same name. Abort closes the request handle from the
// calling thread, which WinHTTP answers by failing the blocked call on the
// owner's thread with "operation cancelled"; the record stays until the
// owner closes it, so the handle is never closed twice.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/PlatformHttp.h"

namespace talvex::platform {

struct HttpSessionRecord {
    HINTERNET handle = nullptr;
};

struct HttpConnectionRecord {
    HINTERNET handle = nullptr;
};

struct HttpRequestRecord {
    HINTERNET handle = nullptr;
    std::atomic<bool> aborted{false};
    std::mutex closeMutex;  // guards closed: abort and close may race
    bool closed = false;
};

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

bool SetDwordOption(HINTERNET handle, DWORD option, DWORD value) {
    return WinHttpSetOption(handle, option, &value, sizeof value) != FALSE;
}

// The request's handle, or null once it was aborted.
HINTERNET Live(HttpRequestHandle request) {
    if (request == nullptr || request->aborted.load()) return nullptr;
    return request->handle;
}

bool QueryNumber(HttpRequestHandle request, DWORD query, uint32_t& value) {
    const HINTERNET handle = Live(request);
    if (handle == nullptr) return false;
    DWORD number = 0;
    DWORD size = sizeof number;
    if (!WinHttpQueryHeaders(handle, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &number, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return false;
    value = number;
    return true;
}

}  // namespace

HttpSession OpenHttpSession(const std::string& agent) {
    const HINTERNET handle = WinHttpOpen(Wide(agent).c_str(), WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                         WINHTTP_NO_PROXY_BYPASS, 0);
    if (handle == nullptr) return nullptr;
    auto* session = new HttpSessionRecord;
    session->handle = handle;
    return session;
}

bool SetHttpSessionOption(HttpSession session, EHttpSessionOption option, uint32_t value) {
    if (session == nullptr) return false;
    DWORD winOption = 0;
    switch (option) {
        case EHttpSessionOption::ReceiveTimeout: winOption = WINHTTP_OPTION_RECEIVE_TIMEOUT; break;
        case EHttpSessionOption::ResolveTimeout: winOption = WINHTTP_OPTION_RESOLVE_TIMEOUT; break;
        case EHttpSessionOption::ReceiveResponseTimeout: winOption = WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT; break;
        case EHttpSessionOption::SendTimeout: winOption = WINHTTP_OPTION_SEND_TIMEOUT; break;
        case EHttpSessionOption::ConnectTimeout: winOption = WINHTTP_OPTION_CONNECT_TIMEOUT; break;
        case EHttpSessionOption::MaxConnectionsPerServer: winOption = WINHTTP_OPTION_MAX_CONNS_PER_SERVER; break;
        case EHttpSessionOption::MaxConnectionsPerHttp10Server:
            winOption = WINHTTP_OPTION_MAX_CONNS_PER_1_0_SERVER;
            break;
    }
    return SetDwordOption(session->handle, winOption, value);
}

void CloseHttpSession(HttpSession session) {
    if (session == nullptr) return;
    WinHttpCloseHandle(session->handle);
    delete session;
}

HttpConnection ConnectHttp(HttpSession session, const std::string& host, uint16_t port) {
    if (session == nullptr) return nullptr;
    const HINTERNET handle = WinHttpConnect(session->handle, Wide(host).c_str(), port, 0);
    if (handle == nullptr) return nullptr;
    auto* connection = new HttpConnectionRecord;
    connection->handle = handle;
    return connection;
}

void CloseHttpConnection(HttpConnection connection) {
    if (connection == nullptr) return;
    WinHttpCloseHandle(connection->handle);
    delete connection;
}

HttpRequestHandle OpenHttpRequest(HttpConnection connection, const std::string& verb, const std::string& path,
                                  uint32_t flags) {
    if (connection == nullptr || verb.empty() || path.empty()) return nullptr;
    DWORD winFlags = WINHTTP_FLAG_BYPASS_PROXY_CACHE;
    if (flags & kHttpRequestEscapeDisableQuery) winFlags |= WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
    if (flags & kHttpRequestSecure) winFlags |= WINHTTP_FLAG_SECURE;
    const HINTERNET handle = WinHttpOpenRequest(connection->handle, Wide(verb).c_str(), Wide(path).c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, winFlags);
    if (handle == nullptr) return nullptr;
    auto* request = new HttpRequestRecord;
    request->handle = handle;
    return request;
}

bool SetHttpCredentials(HttpRequestHandle request, uint32_t scheme, const std::string& user,
                        const std::string& password) {
    const HINTERNET handle = Live(request);
    return handle != nullptr && WinHttpSetCredentials(handle, WINHTTP_AUTH_TARGET_SERVER, scheme, Wide(user).c_str(),
                                                      Wide(password).c_str(), nullptr) != FALSE;
}

bool SetHttpRequestOption(HttpRequestHandle request, EHttpRequestOption option) {
    const HINTERNET handle = Live(request);
    if (handle == nullptr) return false;
    if (option == EHttpRequestOption::IgnoreCertificateErrors) {
        return SetDwordOption(handle, WINHTTP_OPTION_SECURITY_FLAGS,
                              SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                  SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID);
    }
    return SetDwordOption(handle, WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS);
}

bool AddHttpRequestHeader(HttpRequestHandle request, const std::string& line) {
    const HINTERNET handle = Live(request);
    if (handle == nullptr) return false;
    const std::wstring wide = Wide(line);
    return WinHttpAddRequestHeaders(handle, wide.c_str(), static_cast<DWORD>(wide.size()),
                                    WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE) != FALSE;
}

bool SendHttpRequest(HttpRequestHandle request, const void* body, uint32_t size, uint32_t totalLength) {
    const HINTERNET handle = Live(request);
    return handle != nullptr &&
           WinHttpSendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              size > 0 ? const_cast<void*>(body) : WINHTTP_NO_REQUEST_DATA, size, totalLength,
                              0) != FALSE;
}

bool ReceiveHttpResponse(HttpRequestHandle request) {
    const HINTERNET handle = Live(request);
    return handle != nullptr && WinHttpReceiveResponse(handle, nullptr) != FALSE;
}

bool QueryHttpStatusCode(HttpRequestHandle request, uint32_t& statusCode) {
    return QueryNumber(request, WINHTTP_QUERY_STATUS_CODE, statusCode);
}

bool QueryHttpContentLength(HttpRequestHandle request, uint32_t& contentLength) {
    // Read as text: a number query turns a header such as "many" into 0 on
    // some WinHTTP implementations, and a made-up length must never reach
    // the sender.
    const HINTERNET handle = Live(request);
    if (handle == nullptr) return false;
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(handle, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                             WINHTTP_NO_HEADER_INDEX))
        return false;
    uint64_t value = 0;
    std::size_t digits = 0;
    for (const wchar_t* c = text; *c != L'\0'; ++c, ++digits) {
        if (*c < L'0' || *c > L'9') return false;
        value = value * 10 + static_cast<uint64_t>(*c - L'0');
        if (value > 0xFFFFFFFFull) return false;
    }
    if (digits == 0) return false;
    contentLength = static_cast<uint32_t>(value);
    return true;
}

bool QueryHttpAuthSchemes(HttpRequestHandle request, uint32_t& supported, uint32_t& first) {
    const HINTERNET handle = Live(request);
    if (handle == nullptr) return false;
    DWORD supportedSchemes = 0;
    DWORD firstScheme = 0;
    DWORD target = 0;
    if (!WinHttpQueryAuthSchemes(handle, &supportedSchemes, &firstScheme, &target)) return false;
    supported = supportedSchemes;
    first = firstScheme;
    return true;
}

// WinHTTP reads and answers Digest challenges itself.
bool QueryHttpRefusedChallenge(HttpRequestHandle, std::string&) { return false; }

bool ReadHttpData(HttpRequestHandle request, void* buffer, uint32_t capacity, uint32_t& read) {
    read = 0;
    const HINTERNET handle = Live(request);
    if (handle == nullptr) return false;
    DWORD got = 0;
    if (!WinHttpReadData(handle, buffer, capacity, &got)) return false;
    read = got;
    return true;
}

void AbortHttpRequest(HttpRequestHandle request) {
    if (request == nullptr) return;
    request->aborted.store(true);
    std::lock_guard<std::mutex> lock(request->closeMutex);
    if (request->closed) return;
    request->closed = true;
    WinHttpCloseHandle(request->handle);
}

void CloseHttpRequest(HttpRequestHandle request) {
    if (request == nullptr) return;
    {
        std::lock_guard<std::mutex> lock(request->closeMutex);
        if (!request->closed) WinHttpCloseHandle(request->handle);
        request->closed = true;
    }
    delete request;
}

}  // namespace talvex::platform
