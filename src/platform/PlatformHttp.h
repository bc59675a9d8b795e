// The synchronous HTTP transport beneath Web::CHttpSender: a session, one
// connection to one device, and requests on it. The operations and their
// order are those of WinHTTP in synchronous mode; every call blocks the
// calling thread for at most the session's time-outs. Only AbortRequest may
// be called from another thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace talvex::platform {

struct HttpSessionRecord;
struct HttpConnectionRecord;
struct HttpRequestRecord;
using HttpSession = HttpSessionRecord*;
using HttpConnection = HttpConnectionRecord*;
using HttpRequestHandle = HttpRequestRecord*;

// Authentication schemes, with the bit values WinHTTP gives them so that a
// learned scheme means the same on every platform.
enum : uint32_t {
    kHttpAuthBasic = 0x01,
    kHttpAuthNtlm = 0x02,
    kHttpAuthPassport = 0x04,
    kHttpAuthDigest = 0x08,
    kHttpAuthNegotiate = 0x10,
};

// Session-wide options, all 32-bit values; time-outs in milliseconds.
enum class EHttpSessionOption {
    ReceiveTimeout,
    ResolveTimeout,
    ReceiveResponseTimeout,
    SendTimeout,
    ConnectTimeout,
    MaxConnectionsPerServer,
    MaxConnectionsPerHttp10Server,
};

// Flags of a new request.
enum : uint32_t {
    kHttpRequestEscapeDisableQuery = 0x01,  // send the query exactly as given
    kHttpRequestSecure = 0x02,              // HTTPS
};

// Per-request options.
enum class EHttpRequestOption {
    IgnoreCertificateErrors,  // unknown CA, wrong usage, invalid name, invalid date
    DisableRedirects,
};

HttpSession OpenHttpSession(const std::string& agent);
bool SetHttpSessionOption(HttpSession session, EHttpSessionOption option, uint32_t value);
void CloseHttpSession(HttpSession session);

// Records where to connect; the network connection itself is made by the
// first request and kept for the next ones.
HttpConnection ConnectHttp(HttpSession session, const std::string& host, uint16_t port);
void CloseHttpConnection(HttpConnection connection);

HttpRequestHandle OpenHttpRequest(HttpConnection connection, const std::string& verb, const std::string& path,
                                  uint32_t flags);
bool SetHttpCredentials(HttpRequestHandle request, uint32_t scheme, const std::string& user,
                        const std::string& password);
bool SetHttpRequestOption(HttpRequestHandle request, EHttpRequestOption option);
// Adds one header line ("Name: value"), replacing one of the same name.
bool AddHttpRequestHeader(HttpRequestHandle request, const std::string& line);
// Sends the request with its body (size bytes, may be null when 0);
// totalLength announces a larger body the caller would write afterwards.
bool SendHttpRequest(HttpRequestHandle request, const void* body, uint32_t size, uint32_t totalLength);
// Waits for the final response head.
bool ReceiveHttpResponse(HttpRequestHandle request);
// False when the head has no such header or it is not a number.
bool QueryHttpStatusCode(HttpRequestHandle request, uint32_t& statusCode);
bool QueryHttpContentLength(HttpRequestHandle request, uint32_t& contentLength);
// The schemes a 401 answer offers, and the first one it names. False when
// the head offers none.
bool QueryHttpAuthSchemes(HttpRequestHandle request, uint32_t& supported, uint32_t& first);
// Why the transport refused the Digest challenge of the latest 401 answer
// (see DigestRefusalText); false when it refused none. Only a transport that
// answers Digest itself refuses challenges.
bool QueryHttpRefusedChallenge(HttpRequestHandle request, std::string& reason);
// Reads at most capacity bytes of the body; read is 0 at its end. Blocks
// until data arrives or the receive time-out passes (then false).
bool ReadHttpData(HttpRequestHandle request, void* buffer, uint32_t capacity, uint32_t& read);
// Callable from any thread while the owner is inside any call on the
// request: that call and every later one on the request fail promptly. The
// owner still closes the request.
void AbortHttpRequest(HttpRequestHandle request);
void CloseHttpRequest(HttpRequestHandle request);

}  // namespace talvex::platform
