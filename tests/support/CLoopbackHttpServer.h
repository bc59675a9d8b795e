#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/PlatformSocket.h"

// One request the fake camera received.
struct SLoopbackRequest {
    std::string method;
    std::string target;  // path and query as on the request line
    std::vector<std::pair<std::string, std::string>> headers;  // names as sent
    std::string body;
    int connection = 0;  // numbered from 1 in order of acceptance

    // The value of the first header of that name (any case); empty if none.
    std::string Header(const std::string& name) const;
};

// How a scripted reply is written.
enum class EReplyMode {
    Sized,        // Content-Length and the body
    NoLength,     // no Content-Length; the body ends when the connection closes
    Chunked,      // chunked transfer coding, chunkBytes per chunk
    Truncated,    // announces the body's length, sends truncateAt bytes, closes
    Endless,      // head, then a never-ending patterned body until the client goes
    HeadThenHold, // head without a length and the body, then silence until the server stops
    Hold,         // no answer at all until the server stops
    Close,        // closes the connection without answering
    EndlessHead,  // a status line, then header lines every kPollMs, never an end
};

struct SLoopbackReply {
    int status = 200;
    std::string reason = "OK";
    std::vector<std::string> headers;  // complete lines without line ends
    std::string body;
    EReplyMode mode = EReplyMode::Sized;
    std::size_t chunkBytes = 1024;
    std::size_t truncateAt = 0;
    bool closeAfter = false;
};

// A scripted HTTP/1.1 server on 127.0.0.1 with a port of the system's
// choosing, for tests of the driver's HTTP client. Each connection is served
// on its own thread, kept alive between requests. Replies come from the
// queue first, then from the handler (404 without one). Every request is
// recorded.
class CLoopbackHttpServer {
public:
    using Handler = std::function<SLoopbackReply(const SLoopbackRequest&)>;

    CLoopbackHttpServer();
    ~CLoopbackHttpServer();
    CLoopbackHttpServer(const CLoopbackHttpServer&) = delete;
    CLoopbackHttpServer& operator=(const CLoopbackHttpServer&) = delete;

    bool Listening() const { return m_listener != nullptr; }
    uint16_t Port() const { return m_port; }

    void SetHandler(Handler handler);
    void Enqueue(SLoopbackReply reply);

    std::vector<SLoopbackRequest> Requests() const;
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    int Connections() const { return m_connections.load(); }
    // Body bytes written by Endless replies so far.
    uint64_t EndlessBytesSent() const { return m_endlessBytes.load(); }

    // The byte an Endless body carries at a position.
    static uint8_t EndlessByteAt(uint64_t position) { return static_cast<uint8_t>(position % 251); }

private:
    void AcceptLoop();
    void Serve(talvex::platform::SocketHandle socket, int connection);
    bool ReadRequest(talvex::platform::SocketHandle socket, std::string& buffer, SLoopbackRequest& request);
    bool ReceiveMore(talvex::platform::SocketHandle socket, std::string& buffer);
    SLoopbackReply NextReply(const SLoopbackRequest& request);
    bool WriteReply(talvex::platform::SocketHandle socket, const SLoopbackReply& reply);
    bool WriteEndless(talvex::platform::SocketHandle socket);
    void WaitUntilStopping();

    talvex::platform::SocketHandle m_listener = nullptr;
    uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_connections{0};
    std::atomic<uint64_t> m_endlessBytes{0};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;  // guards everything below
    mutable std::condition_variable m_changed;
    Handler m_handler;
    std::deque<SLoopbackReply> m_queue;
    std::vector<SLoopbackRequest> m_requests;
    std::vector<std::thread> m_connectionThreads;
    std::vector<talvex::platform::SocketHandle> m_openSockets;
};
