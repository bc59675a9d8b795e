#include "CLoopbackHttpServer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

using namespace talvex::platform;

namespace {

constexpr uint32_t kPollMs = 50;  // how often blocked loops look at the stop flag
constexpr std::size_t kMaxHeadBytes = 64 * 1024;

std::string Lower(std::string text) {
    for (char& character : text) character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    return text;
}

std::string TrimBlanks(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SendText(SocketHandle socket, const std::string& text) {
    return SendAll(socket, text.data(), text.size()) == EIoResult::Ok;
}

}  // namespace

std::string SLoopbackRequest::Header(const std::string& name) const {
    const std::string wanted = Lower(name);
    for (const auto& [headerName, value] : headers)
        if (Lower(headerName) == wanted) return value;
    return {};
}

CLoopbackHttpServer::CLoopbackHttpServer() {
    m_listener = ListenLoopback(m_port);
    if (m_listener != nullptr) m_acceptThread = std::thread([this] { AcceptLoop(); });
}

CLoopbackHttpServer::~CLoopbackHttpServer() {
    m_stopping.store(true);
    if (m_acceptThread.joinable()) m_acceptThread.join();
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Wakes a connection blocked in a send to a client that stopped reading.
        for (SocketHandle socket : m_openSockets) ShutdownSocket(socket);
        threads.swap(m_connectionThreads);
    }
    for (std::thread& thread : threads) thread.join();
    CloseSocket(m_listener);
}

void CLoopbackHttpServer::SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

void CLoopbackHttpServer::Enqueue(SLoopbackReply reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(std::move(reply));
}

std::vector<SLoopbackRequest> CLoopbackHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

bool CLoopbackHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
}

void CLoopbackHttpServer::AcceptLoop() {
    while (!m_stopping.load()) {
        SocketHandle accepted = nullptr;
        const EIoResult result = Accept(m_listener, kPollMs, accepted);
        if (result == EIoResult::Failed) break;
        if (result != EIoResult::Ok) continue;
        const int connection = ++m_connections;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openSockets.push_back(accepted);
        m_connectionThreads.emplace_back([this, accepted, connection] { Serve(accepted, connection); });
    }
}

void CLoopbackHttpServer::Serve(SocketHandle socket, int connection) {
    std::string buffer;
    for (;;) {
        SLoopbackRequest request;
        request.connection = connection;
        if (!ReadRequest(socket, buffer, request)) break;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
        }
        m_changed.notify_all();
        const SLoopbackReply reply = NextReply(request);
        if (!WriteReply(socket, reply) || reply.closeAfter) break;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openSockets.erase(std::remove(m_openSockets.begin(), m_openSockets.end(), socket), m_openSockets.end());
    }
    CloseSocket(socket);
}

bool CLoopbackHttpServer::ReceiveMore(SocketHandle socket, std::string& buffer) {
    char piece[4096];
    while (!m_stopping.load()) {
        std::size_t received = 0;
        const EIoResult result = Receive(socket, piece, sizeof piece, received, kPollMs);
        if (result == EIoResult::Ok) {
            buffer.append(piece, received);
            return true;
        }
        if (result != EIoResult::TimedOut) return false;
    }
    return false;
}

bool CLoopbackHttpServer::ReadRequest(SocketHandle socket, std::string& buffer, SLoopbackRequest& request) {
    std::size_t headEnd = std::string::npos;
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (buffer.size() > kMaxHeadBytes || !ReceiveMore(socket, buffer)) return false;
    }
    const std::string head = buffer.substr(0, headEnd);
    buffer.erase(0, headEnd + 4);

    std::size_t lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) return false;
    request.method = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    while (lineEnd != std::string::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos)
            request.headers.emplace_back(TrimBlanks(line.substr(0, colon)), TrimBlanks(line.substr(colon + 1)));
    }

    const std::size_t bodyLength = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
    while (buffer.size() < bodyLength)
        if (!ReceiveMore(socket, buffer)) return false;
    request.body = buffer.substr(0, bodyLength);
    buffer.erase(0, bodyLength);
    return true;
}

SLoopbackReply CLoopbackHttpServer::NextReply(const SLoopbackRequest& request) {
    Handler handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_queue.empty()) {
            SLoopbackReply reply = std::move(m_queue.front());
            m_queue.pop_front();
            return reply;
        }
        handler = m_handler;
    }
    if (handler) return handler(request);  // outside the lock: a handler may look at Requests()
    SLoopbackReply missing;
    missing.status = 404;
    missing.reason = "Not Found";
    return missing;
}

bool CLoopbackHttpServer::WriteReply(SocketHandle socket, const SLoopbackReply& reply) {
    if (reply.mode == EReplyMode::Close) return false;
    if (reply.mode == EReplyMode::Hold) {
        WaitUntilStopping();
        return false;
    }
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + reply.reason + "\r\n";
    if (reply.mode == EReplyMode::EndlessHead) {
        if (!SendText(socket, head)) return false;
        for (int line = 0; !m_stopping.load(); ++line) {
            if (!SendText(socket, "X-Line-" + std::to_string(line) + ": more to come\r\n")) return false;
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait_for(lock, std::chrono::milliseconds(kPollMs));
        }
        return false;
    }
    for (const std::string& line : reply.headers) head += line + "\r\n";
    switch (reply.mode) {
        case EReplyMode::Sized:
        case EReplyMode::Truncated: head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n"; break;
        case EReplyMode::Chunked: head += "Transfer-Encoding: chunked\r\n"; break;
        default: head += "Connection: close\r\n"; break;
    }
    head += "\r\n";
    if (!SendText(socket, head)) return false;

    switch (reply.mode) {
        case EReplyMode::Sized: return SendText(socket, reply.body);
        case EReplyMode::NoLength: SendText(socket, reply.body); return false;
        case EReplyMode::Truncated: SendText(socket, reply.body.substr(0, reply.truncateAt)); return false;
        case EReplyMode::Endless: return WriteEndless(socket);
        case EReplyMode::HeadThenHold:
            SendText(socket, reply.body);  // what came before the stall
            WaitUntilStopping();
            return false;
        case EReplyMode::Chunked: {
            const std::size_t step = std::max<std::size_t>(reply.chunkBytes, 1);
            for (std::size_t pos = 0; pos < reply.body.size(); pos += step) {
                const std::string piece = reply.body.substr(pos, step);
                char size[32];
                std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
                if (!SendText(socket, size + piece + "\r\n")) return false;
            }
            return SendText(socket, "0\r\n\r\n");
        }
        default: return false;
    }
}

bool CLoopbackHttpServer::WriteEndless(SocketHandle socket) {
    uint8_t piece[4096];
    uint64_t position = 0;
    while (!m_stopping.load()) {
        for (uint8_t& byte : piece) byte = EndlessByteAt(position++);
        if (SendAll(socket, piece, sizeof piece) != EIoResult::Ok) break;
        m_endlessBytes += sizeof piece;
    }
    return false;
}

void CLoopbackHttpServer::WaitUntilStopping() {
    while (!m_stopping.load()) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(kPollMs));
    }
}
