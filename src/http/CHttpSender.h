// The synchronous HTTP client every conversation with a camera's web server
// goes through: one session, one kept connection to one device and at most
// one open request at a time. It sends credentials pre-emptively and, when
// the device answers 401 with another scheme, learns that scheme once and
// uses it for the rest of its life; later senders of the same device start
// with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/DEVICE_INFO.h"
#include "base/IDebugMessage.h"
#include "http/HttpRequest.h"
#include "platform/PlatformHttp.h"

namespace Web {

class CHttpSender {
public:
    // ReadAll's cap: far above the largest page a camera serves the driver,
    // and an amount a 32-bit host can always give.
    static constexpr std::size_t kMaxBodyBytes = 8u * 1024u * 1024u;
    static constexpr uint32_t kDefaultChunkSize = 8192;

    // bodyCapBytes bounds ReadAll; only tests pass anything but the default.
    explicit CHttpSender(const talvex::DEVICE_INFO& device, std::size_t bodyCapBytes = kMaxBodyBytes);
    virtual ~CHttpSender();
    CHttpSender(const CHttpSender&) = delete;
    CHttpSender& operator=(const CHttpSender&) = delete;

    // Closes the previous request, sends this one and (unless it asks not to
    // wait) receives the answer's head. True means the request is open; the
    // status may still be a failure.
    bool Send(const HttpRequest& request);
    // A default GET; the body is left for ReadAll or ReadChunk.
    bool Get(const std::string& path);
    // GET and read the whole body; true only for a non-empty body with
    // status 200, and then a zero byte follows the body in data.
    bool GetData(std::vector<uint8_t>& data, const std::string& path);
    // Reads the open request's body to its end. A body longer than the cap
    // is refused whole: the request is closed, data is empty, the result is
    // 0 and BodyTooLarge() tells this apart from an empty body.
    std::size_t ReadAll(std::vector<uint8_t>& data);
    bool BodyTooLarge() const { return m_bodyTooLarge; }
    std::size_t BodyCapBytes() const { return m_bodyCapBytes; }
    // One read of at most ChunkSize bytes; 0 at the end of the body, on an
    // error, a time-out, an abort, or without an open request.
    std::size_t ReadChunk(std::vector<uint8_t>& data);

    // The only call another thread may make: breaks the read or wait in
    // progress on the open request, which then reads as ended, and every
    // later Send and read fails at once until the owner calls ResetAbort. An
    // abort thus also lands while a request is being replaced or connected.
    void AbortRead();
    // Lets the sender work again after AbortRead; called by the owner while
    // no other thread uses the sender.
    void ResetAbort();
    // Ends the open request (for a stream: the GET itself) before the next
    // Send would.
    void CloseRequest() { SetRequest(nullptr); }

    uint32_t StatusCode() const { return m_statusCode; }
    uint32_t ContentLength() const { return m_contentLength; }
    uint32_t LearnedScheme() const { return m_learnedScheme; }
    uint32_t ChunkSize() const { return m_chunkSize; }
    void SetChunkSize(uint32_t chunkSize) { m_chunkSize = chunkSize; }
    const talvex::DEVICE_INFO& DeviceInfo() const { return m_device; }
    // Where the sender reports what the device did wrong (a challenge it
    // refused); none by default. Set before the first Send.
    void SetLog(IDebugMessage* log) { m_log = log; }

private:
    void OpenSession();
    bool OpenAndSend(const HttpRequest& request, uint32_t scheme);
    bool RetryWithOfferedScheme(const HttpRequest& request, uint32_t sentScheme);
    void ReportRefusedChallenge();
    void ReadHead();
    void SetRequest(talvex::platform::HttpRequestHandle request);
    bool Aborted();
    bool Fail();  // closes the open request; always false

    const talvex::DEVICE_INFO m_device;
    uint32_t m_learnedScheme = 0;  // 0 until a 401 to this sender taught one
    IDebugMessage* m_log = nullptr;
    bool m_bodyTooLarge = false;
    uint32_t m_statusCode = 0;
    uint32_t m_contentLength = 0;
    talvex::platform::HttpRequestHandle m_request = nullptr;  // written by the owner under m_requestMutex
    bool m_aborted = false;                                  // guarded by m_requestMutex
    talvex::platform::HttpSession m_session = nullptr;
    talvex::platform::HttpConnection m_connection = nullptr;
    uint32_t m_chunkSize = kDefaultChunkSize;
    const std::size_t m_bodyCapBytes;
    // Guards m_request against AbortRead from another thread: the request
    // must not be closed while it is being aborted.
    std::mutex m_requestMutex;
};

}  // namespace Web
