// The HTTP transport on libcurl, driven through the multi interface so that
// the owner decides when bytes are taken off the socket: a body is pulled
// one read at a time and a long stream is never held in memory whole.
//
// WinHTTP behaviour this keeps: credentials go out pre-emptively in the
// scheme that was set (Basic as a header; Digest from the connection's last
// challenge, answering a new challenge once within the request); the
// response head is final when ReceiveHttpResponse returns; status and
// Content-Length read as numbers; the first scheme a 401 offers is the first
// WWW-Authenticate header's; one kept-alive connection per sender.
#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

#include "base/Base64.h"
#include "base/DigestAuthorization.h"
#include "base/Md5.h"
#include "base/TextUtils.h"
#include "platform/PlatformHttp.h"

namespace talvex::platform {

using Clock = std::chrono::steady_clock;

struct HttpSessionRecord {
    std::string agent;
    uint32_t receiveTimeoutMs = 30000;
    uint32_t receiveResponseTimeoutMs = 30000;
    uint32_t connectTimeoutMs = 60000;
    uint32_t maxConnections = 16;
};

struct HttpConnectionRecord {
    HttpSessionRecord settings;  // a copy: the session may be closed first
    std::string host;
    uint16_t port = 0;
    // One multi and one easy handle per connection: the multi handle's
    // connection cache keeps the camera's socket alive between requests.
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    // The last Digest challenge of this server and how often its nonce was
    // used, so later requests authenticate without a challenge round.
    std::optional<SDigestChallenge> digest;
    uint32_t nonceCount = 0;
};

struct HttpRequestRecord {
    HttpConnectionRecord* connection = nullptr;
    std::string verb;
    std::string target;  // path and query as they go on the request line
    bool secure = false;
    bool ignoreCertificateErrors = false;
    bool followRedirects = true;
    uint32_t scheme = 0;
    std::string user;
    std::string password;
    std::vector<std::string> headers;
    std::string body;

    // Transfer state, touched only by the owner's thread (curl runs its
    // callbacks inside the owner's calls).
    curl_slist* headerList = nullptr;
    bool active = false;  // the easy handle is in the multi handle
    bool done = false;
    CURLcode result = CURLE_OK;
    bool digestAnswered = false;  // a challenge was answered in this request
    uint32_t status = 0;
    bool headEnded = false;
    bool headFinal = false;
    bool bodyStarted = false;
    std::vector<std::string> headLines;  // header lines of the latest head
    std::size_t headBytes = 0;           // their size, bounded by kMaxHeadBytes
    EDigestRefusal refusedChallenge = EDigestRefusal::None;  // of the latest 401
    std::string pending;                 // body bytes taken from curl, not yet read
    std::size_t pendingOffset = 0;
    bool paused = false;
    bool draining = false;  // the rest of the body is read and dropped
    Clock::time_point lastProgress;

    std::atomic<bool> aborted{false};  // set by any thread
};

namespace {

// A head larger than this is no camera's; the transfer fails instead of
// holding whatever a device keeps sending.
constexpr std::size_t kMaxHeadBytes = 64 * 1024;

void EnsureCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool HasFeature(int feature) {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    return info != nullptr && (info->features & feature) != 0;
}

// WinHTTP escapes what cannot stand on a request line; curl refuses such
// URLs, so the same characters are percent-encoded here.
std::string EscapeUnsafe(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte <= 0x20 || byte >= 0x7F || std::strchr("\"<>\\^`{|}", character) != nullptr) {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        } else {
            escaped += character;
        }
    }
    return escaped;
}

std::string RequestTarget(const std::string& path, bool escapeQuery) {
    const std::size_t query = path.find('?');
    if (query == std::string::npos) return EscapeUnsafe(path);
    const std::string tail = path.substr(query);
    return EscapeUnsafe(path.substr(0, query)) + (escapeQuery ? EscapeUnsafe(tail) : tail);
}

std::string HeaderValue(const std::string& line) {
    const std::size_t colon = line.find(':');
    return colon == std::string::npos ? std::string() : HUtils::Trim(line.substr(colon + 1));
}

std::string HeaderName(const std::string& line) {
    const std::size_t colon = line.find(':');
    return colon == std::string::npos ? std::string() : HUtils::ToLower(HUtils::Trim(line.substr(0, colon)));
}

uint32_t SchemeOfChallenge(const std::string& challenge) {
    const std::string word = HUtils::ToLower(challenge.substr(0, challenge.find_first_of(" \t,")));
    if (word == "basic") return kHttpAuthBasic;
    if (word == "ntlm") return kHttpAuthNtlm;
    if (word.rfind("passport", 0) == 0) return kHttpAuthPassport;
    if (word == "digest") return kHttpAuthDigest;
    if (word == "negotiate") return kHttpAuthNegotiate;
    return 0;
}

std::string NewClientNonce() {
    static std::mutex mutex;  // guards generator
    static std::mt19937_64 generator{std::random_device{}()};
    std::lock_guard<std::mutex> lock(mutex);
    return Md5Hex(std::to_string(generator())).substr(0, 16);
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
    auto& request = *static_cast<HttpRequestRecord*>(user);
    const std::size_t bytes = size * count;
    std::string line(data, bytes);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    // Header lines do not count as progress: the wait for a head is bounded
    // as a whole, so a device that trickles lines forever still times out.
    request.headBytes += bytes;
    if (request.headBytes > kMaxHeadBytes) return 0;  // curl ends the transfer with an error
    if (line.rfind("HTTP/", 0) == 0) {
        // A new head: an earlier one was interim (1xx) or answered by curl.
        request.headLines.clear();
        request.headBytes = bytes;
        request.headEnded = false;
        request.bodyStarted = false;
        const std::size_t space = line.find(' ');
        int status = 0;
        request.status = space != std::string::npos && HUtils::StringToInt(line.substr(space + 1, 3), status) && status > 0
                             ? static_cast<uint32_t>(status)
                             : 0;
    } else if (line.empty()) {
        request.headEnded = true;
        // curl may still answer a 401/407 (NTLM, Negotiate) or follow a
        // redirect itself; such a head is final only once its body or the
        // end of the transfer shows curl kept it.
        const uint32_t status = request.status;
        const bool curlMayContinue = status == 401 || status == 407 || (status >= 300 && status < 400);
        if (status >= 200 && !curlMayContinue) request.headFinal = true;
    } else {
        request.headLines.push_back(line);
    }
    return bytes;
}

size_t OnBodyData(char* data, size_t size, size_t count, void* user) {
    auto& request = *static_cast<HttpRequestRecord*>(user);
    const std::size_t bytes = size * count;
    request.lastProgress = Clock::now();
    request.bodyStarted = true;
    if (request.headEnded) request.headFinal = true;
    if (request.draining) return bytes;
    // Take one delivery at a time: until the reader has emptied the last
    // one, curl keeps the data and stops reading the socket.
    if (request.pendingOffset < request.pending.size()) {
        request.paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    request.pending.assign(data, bytes);
    request.pendingOffset = 0;
    return bytes;
}

void CollectFinished(HttpRequestRecord& request) {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(request.connection->multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == request.connection->easy) {
            request.done = true;
            request.result = message->data.result;
            if (request.headEnded) request.headFinal = true;
        }
    }
}

// Runs the transfer until ready() holds, it ends, it is aborted, or nothing
// arrived for timeoutMs (0: no limit). True when ready() holds.
template <typename Ready>
bool Drive(HttpRequestRecord& request, uint32_t timeoutMs, Ready ready) {
    request.lastProgress = Clock::now();
    for (;;) {
        if (request.aborted.load()) return false;
        int running = 0;
        if (curl_multi_perform(request.connection->multi, &running) != CURLM_OK) return false;
        CollectFinished(request);
        if (ready()) return true;
        if (request.done) return false;
        int waitMs = 1000;
        if (timeoutMs != 0) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - request.lastProgress);
            if (elapsed.count() >= timeoutMs) return false;
            waitMs = static_cast<int>(std::min<int64_t>(waitMs, timeoutMs - elapsed.count()));
        }
        // AbortHttpRequest wakes this wait through curl_multi_wakeup.
        curl_multi_poll(request.connection->multi, nullptr, 0, waitMs, nullptr);
    }
}

bool ShortBodyAnnounced(const HttpRequestRecord& request);

// Closing a request in the middle of its body makes curl drop the
// connection. A short announced rest (an error page, a 401) is read off
// first so the next request reuses the socket; a stream is cut at once.
void DrainShortBody(HttpRequestRecord& request) {
    if (!request.active || request.done || request.aborted.load() || !request.headFinal ||
        !ShortBodyAnnounced(request))
        return;
    request.draining = true;
    if (request.paused) {
        request.paused = false;
        curl_easy_pause(request.connection->easy, CURLPAUSE_CONT);
    }
    Drive(request, request.connection->settings.receiveTimeoutMs, [&] { return request.done; });
}

void StopTransfer(HttpRequestRecord& request) {
    DrainShortBody(request);
    if (request.active) curl_multi_remove_handle(request.connection->multi, request.connection->easy);
    request.active = false;
    curl_slist_free_all(request.headerList);
    request.headerList = nullptr;
}

void ResetResponse(HttpRequestRecord& request) {
    request.done = false;
    request.result = CURLE_OK;
    request.status = 0;
    request.headEnded = false;
    request.headFinal = false;
    request.bodyStarted = false;
    request.headLines.clear();
    request.headBytes = 0;
    request.refusedChallenge = EDigestRefusal::None;
    request.pending.clear();
    request.pendingOffset = 0;
    request.paused = false;
    request.draining = false;
}

std::string AuthorizationLine(HttpRequestRecord& request) {
    HttpConnectionRecord& connection = *request.connection;
    if (request.scheme == kHttpAuthBasic)
        return "Authorization: Basic " + Base64Encode(request.user + ":" + request.password);
    if (request.scheme == kHttpAuthDigest && connection.digest) {
        return "Authorization: " + BuildDigestAuthorization(*connection.digest, request.user, request.password,
                                                            request.verb, request.target, ++connection.nonceCount,
                                                            NewClientNonce());
    }
    return {};
}

void ApplyAuthentication(HttpRequestRecord& request, CURL* easy) {
    // Basic and Digest are answered here (see AuthorizationLine); curl only
    // runs the multi-leg NTLM and Negotiate handshakes.
    const bool curlAuth = request.scheme == kHttpAuthNtlm || request.scheme == kHttpAuthNegotiate;
    const unsigned long curlScheme = request.scheme == kHttpAuthNtlm ? CURLAUTH_NTLM : CURLAUTH_NEGOTIATE;
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, curlAuth ? curlScheme : CURLAUTH_NONE);
    curl_easy_setopt(easy, CURLOPT_USERNAME, curlAuth ? request.user.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_PASSWORD, curlAuth ? request.password.c_str() : nullptr);
}

bool StartTransfer(HttpRequestRecord& request) {
    HttpConnectionRecord& connection = *request.connection;
    CURL* easy = connection.easy;
    ResetResponse(request);

    for (const std::string& line : request.headers) request.headerList = curl_slist_append(request.headerList, line.c_str());
    const std::string authorization = AuthorizationLine(request);
    if (!authorization.empty()) request.headerList = curl_slist_append(request.headerList, authorization.c_str());

    const bool bracket = connection.host.find(':') != std::string::npos && connection.host.front() != '[';
    const std::string url = std::string(request.secure ? "https://" : "http://") + (bracket ? "[" : "") +
                            connection.host + (bracket ? "]" : "") + ":" + std::to_string(connection.port) +
                            request.target;
    // The handle is never reset between requests, so every option is set
    // here each time.
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, nullptr);
    if (request.verb == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (!request.body.empty() || request.verb == "POST") {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
    }
    if (request.verb != "GET" && request.verb != "HEAD" && request.verb != "POST")
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, request.headerList);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, connection.settings.agent.c_str());
    curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, request.ignoreCertificateErrors ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, request.ignoreCertificateErrors ? 0L : 2L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connection.settings.connectTimeoutMs));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");  // never a proxy, whatever the environment says
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeaderLine);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &request);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBodyData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &request);
    ApplyAuthentication(request, easy);

    if (curl_multi_add_handle(connection.multi, easy) != CURLM_OK) return false;
    request.active = true;
    return true;
}

bool ShortBodyAnnounced(const HttpRequestRecord& request) {
    constexpr unsigned long kShortBodyBytes = 64 * 1024;
    for (const std::string& line : request.headLines) {
        if (HeaderName(line) != "content-length") continue;
        const std::string value = HeaderValue(line);
        return !value.empty() && value.size() <= 6 && value.find_first_not_of("0123456789") == std::string::npos &&
               std::stoul(value) <= kShortBodyBytes;
    }
    return false;
}

// The Digest challenge of the latest head, if it offers one the client can
// answer safely; a refused one is noted on the request.
std::optional<SDigestChallenge> DigestChallengeOf(HttpRequestRecord& request) {
    for (const std::string& line : request.headLines) {
        if (HeaderName(line) != "www-authenticate") continue;
        const std::string value = HeaderValue(line);
        if (SchemeOfChallenge(value) != kHttpAuthDigest) continue;
        std::optional<SDigestChallenge> challenge = ParseDigestChallenge(value.substr(6), &request.refusedChallenge);
        return challenge;
    }
    return std::nullopt;
}

bool WaitForHead(HttpRequestRecord& request) {
    const uint32_t timeoutMs = request.connection->settings.receiveResponseTimeoutMs;
    return Drive(request, timeoutMs, [&] { return request.headFinal; });
}

}  // namespace

HttpSession OpenHttpSession(const std::string& agent) {
    EnsureCurl();
    auto* session = new HttpSessionRecord;
    session->agent = agent;
    return session;
}

bool SetHttpSessionOption(HttpSession session, EHttpSessionOption option, uint32_t value) {
    if (session == nullptr) return false;
    switch (option) {
        case EHttpSessionOption::ReceiveTimeout: session->receiveTimeoutMs = value; return true;
        case EHttpSessionOption::ReceiveResponseTimeout: session->receiveResponseTimeoutMs = value; return true;
        case EHttpSessionOption::ConnectTimeout: session->connectTimeoutMs = value; return true;
        // curl resolves inside the connect time-out and sends within the
        // response wait, which both carry the same value in this driver.
        case EHttpSessionOption::ResolveTimeout:
        case EHttpSessionOption::SendTimeout: return true;
        case EHttpSessionOption::MaxConnectionsPerServer:
        case EHttpSessionOption::MaxConnectionsPerHttp10Server: session->maxConnections = value; return true;
    }
    return false;
}

void CloseHttpSession(HttpSession session) { delete session; }

HttpConnection ConnectHttp(HttpSession session, const std::string& host, uint16_t port) {
    if (session == nullptr || host.empty()) return nullptr;
    auto* connection = new HttpConnectionRecord;
    connection->settings = *session;
    connection->host = host;
    connection->port = port;
    connection->multi = curl_multi_init();
    connection->easy = curl_easy_init();
    if (connection->multi == nullptr || connection->easy == nullptr) {
        CloseHttpConnection(connection);
        return nullptr;
    }
    curl_multi_setopt(connection->multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(session->maxConnections));
    return connection;
}

void CloseHttpConnection(HttpConnection connection) {
    if (connection == nullptr) return;
    if (connection->easy != nullptr) curl_easy_cleanup(connection->easy);
    if (connection->multi != nullptr) curl_multi_cleanup(connection->multi);
    delete connection;
}

HttpRequestHandle OpenHttpRequest(HttpConnection connection, const std::string& verb, const std::string& path,
                                  uint32_t flags) {
    if (connection == nullptr || verb.empty() || path.empty()) return nullptr;
    auto* request = new HttpRequestRecord;
    request->connection = connection;
    request->verb = verb;
    request->target = RequestTarget(path, (flags & kHttpRequestEscapeDisableQuery) == 0);
    request->secure = (flags & kHttpRequestSecure) != 0;
    return request;
}

bool SetHttpCredentials(HttpRequestHandle request, uint32_t scheme, const std::string& user,
                        const std::string& password) {
    if (request == nullptr) return false;
    const bool supported = scheme == kHttpAuthBasic || scheme == kHttpAuthDigest ||
                           (scheme == kHttpAuthNtlm && HasFeature(CURL_VERSION_NTLM)) ||
                           (scheme == kHttpAuthNegotiate && HasFeature(CURL_VERSION_SPNEGO));
    if (!supported) return false;
    request->scheme = scheme;
    request->user = user;
    request->password = password;
    return true;
}

bool SetHttpRequestOption(HttpRequestHandle request, EHttpRequestOption option) {
    if (request == nullptr) return false;
    if (option == EHttpRequestOption::IgnoreCertificateErrors) request->ignoreCertificateErrors = true;
    if (option == EHttpRequestOption::DisableRedirects) request->followRedirects = false;
    return true;
}

bool AddHttpRequestHeader(HttpRequestHandle request, const std::string& line) {
    if (request == nullptr) return false;
    const std::string name = HeaderName(line);
    if (name.empty()) return false;
    auto sameName = [&](const std::string& existing) { return HeaderName(existing) == name; };
    request->headers.erase(std::remove_if(request->headers.begin(), request->headers.end(), sameName),
                           request->headers.end());
    request->headers.push_back(line);
    return true;
}

bool SendHttpRequest(HttpRequestHandle request, const void* body, uint32_t size, uint32_t totalLength) {
    if (request == nullptr || request->aborted.load() || request->active) return false;
    // No operation writes a request body after the send, so a body announced
    // larger than the one given could never be completed.
    if (totalLength > size) return false;
    if (size > 0) request->body.assign(static_cast<const char*>(body), size);
    return StartTransfer(*request);
}

bool ReceiveHttpResponse(HttpRequestHandle request) {
    if (request == nullptr || !request->active) return false;
    if (!WaitForHead(*request)) return false;
    if (request->status != 401) return true;
    // Every Digest challenge is kept for the connection, so a sender that
    // learns Digest from this answer authenticates its next request at once.
    std::optional<SDigestChallenge> challenge = DigestChallengeOf(*request);
    if (!challenge) return true;
    request->connection->digest = std::move(challenge);
    request->connection->nonceCount = 0;
    // A request with Digest credentials answers one challenge itself, as
    // WinHTTP does for credentials set before the send; that second answer
    // is what the caller sees, so wrong credentials cannot loop.
    if (request->scheme != kHttpAuthDigest || request->digestAnswered) return true;
    request->digestAnswered = true;
    StopTransfer(*request);
    if (!StartTransfer(*request) || !WaitForHead(*request)) return false;
    if (request->status == 401 && (challenge = DigestChallengeOf(*request))) {
        request->connection->digest = std::move(challenge);
        request->connection->nonceCount = 0;
    }
    return true;
}

bool QueryHttpStatusCode(HttpRequestHandle request, uint32_t& statusCode) {
    if (request == nullptr || !request->headFinal || request->status == 0) return false;
    statusCode = request->status;
    return true;
}

bool QueryHttpContentLength(HttpRequestHandle request, uint32_t& contentLength) {
    if (request == nullptr || !request->headFinal) return false;
    for (const std::string& line : request->headLines) {
        if (HeaderName(line) != "content-length") continue;
        const std::string value = HeaderValue(line);
        if (value.empty() || value.size() > 10 || value.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const unsigned long long length = std::stoull(value);
        if (length > 0xFFFFFFFFull) return false;
        contentLength = static_cast<uint32_t>(length);
        return true;
    }
    return false;
}

bool QueryHttpAuthSchemes(HttpRequestHandle request, uint32_t& supported, uint32_t& first) {
    if (request == nullptr || !request->headFinal) return false;
    supported = 0;
    first = 0;
    bool anyChallenge = false;
    for (const std::string& line : request->headLines) {
        if (HeaderName(line) != "www-authenticate") continue;
        const uint32_t scheme = SchemeOfChallenge(HeaderValue(line));
        if (!anyChallenge) first = scheme;
        anyChallenge = true;
        supported |= scheme;
    }
    return anyChallenge && supported != 0;
}

bool QueryHttpRefusedChallenge(HttpRequestHandle request, std::string& reason) {
    if (request == nullptr || request->refusedChallenge == EDigestRefusal::None) return false;
    reason = DigestRefusalText(request->refusedChallenge);
    return true;
}

bool ReadHttpData(HttpRequestHandle request, void* buffer, uint32_t capacity, uint32_t& read) {
    read = 0;
    if (request == nullptr || !request->active || request->aborted.load()) return false;
    HttpRequestRecord& r = *request;
    for (;;) {
        if (r.pendingOffset < r.pending.size()) {
            const std::size_t take = std::min<std::size_t>(capacity, r.pending.size() - r.pendingOffset);
            std::memcpy(buffer, r.pending.data() + r.pendingOffset, take);
            r.pendingOffset += take;
            read = static_cast<uint32_t>(take);
            return true;
        }
        if (r.done) return r.result == CURLE_OK;  // a cut-off body ends in an error, not a clean end
        if (r.paused) {
            r.paused = false;
            curl_easy_pause(r.connection->easy, CURLPAUSE_CONT);  // may hand over the held data at once
            continue;
        }
        const uint32_t timeoutMs = r.connection->settings.receiveTimeoutMs;
        if (!Drive(r, timeoutMs, [&] { return r.pendingOffset < r.pending.size() || r.paused; })) {
            if (!r.done) return false;
        }
    }
}

void AbortHttpRequest(HttpRequestHandle request) {
    if (request == nullptr) return;
    request->aborted.store(true);
    curl_multi_wakeup(request->connection->multi);
}

void CloseHttpRequest(HttpRequestHandle request) {
    if (request == nullptr) return;
    StopTransfer(*request);
    delete request;
}

}  // namespace talvex::platform
