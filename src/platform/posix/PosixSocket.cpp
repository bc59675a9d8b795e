#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/PlatformSocket.h"

namespace talvex::platform {

struct SocketRecord {
    int fd = -1;
};

namespace {

// Waits for the descriptor to become ready; false on time-out or failure.
bool WaitReady(int fd, short events, uint32_t timeoutMs, bool& timedOut) {
    timedOut = false;
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, static_cast<int>(timeoutMs > 0x7FFFFFFFu ? 0x7FFFFFFF : timeoutMs));
        if (ready > 0) return true;
        if (ready == 0) {
            timedOut = true;
            return false;
        }
        if (errno != EINTR) return false;
    }
}

SocketHandle Wrap(int fd) {
    auto* record = new SocketRecord;
    record->fd = fd;
    return record;
}

}  // namespace

uint32_t ResolveIPv4(const std::string& host) {
    in_addr literal{};
    if (::inet_pton(AF_INET, host.c_str(), &literal) == 1) return literal.s_addr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return 0;
    const uint32_t address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return address;
}

SocketHandle ListenLoopback(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return nullptr;
    }
    port = ntohs(address.sin_port);
    return Wrap(fd);
}

EIoResult Accept(SocketHandle listener, uint32_t timeoutMs, SocketHandle& accepted) {
    accepted = nullptr;
    bool timedOut = false;
    if (!WaitReady(listener->fd, POLLIN, timeoutMs, timedOut)) return timedOut ? EIoResult::TimedOut : EIoResult::Failed;
    const int fd = ::accept4(listener->fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return errno == EAGAIN || errno == EINTR ? EIoResult::TimedOut : EIoResult::Failed;
    const int noDelay = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    accepted = Wrap(fd);
    return EIoResult::Ok;
}

SocketHandle ConnectTcp(uint32_t address, uint16_t port, uint32_t timeoutMs) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = address;
    peer.sin_port = htons(port);
    // Non-blocking only for the connect, so that its wait is bounded.
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int result = ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
    if (result != 0 && errno == EINPROGRESS) {
        bool timedOut = false;
        int error = 0;
        socklen_t length = sizeof error;
        if (WaitReady(fd, POLLOUT, timeoutMs, timedOut) &&
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
            result = 0;
    }
    if (result != 0) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, flags);
    return Wrap(fd);
}

EIoResult SendAll(SocketHandle socket, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        // MSG_NOSIGNAL: a peer that has gone must be a failed send, not a
        // SIGPIPE that ends the process.
        const ssize_t sent = ::send(socket->fd, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return EIoResult::Failed;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return EIoResult::Ok;
}

EIoResult Receive(SocketHandle socket, void* buffer, std::size_t capacity, std::size_t& received,
                  uint32_t timeoutMs) {
    received = 0;
    bool timedOut = false;
    if (!WaitReady(socket->fd, POLLIN, timeoutMs, timedOut)) return timedOut ? EIoResult::TimedOut : EIoResult::Failed;
    for (;;) {
        const ssize_t got = ::recv(socket->fd, buffer, capacity, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return EIoResult::Failed;
        if (got == 0) return EIoResult::Closed;
        received = static_cast<std::size_t>(got);
        return EIoResult::Ok;
    }
}

void ShutdownSocket(SocketHandle socket) {
    if (socket != nullptr) ::shutdown(socket->fd, SHUT_RDWR);
}

void CloseSocket(SocketHandle socket) {
    if (socket == nullptr) return;
    ::close(socket->fd);
    delete socket;
}

}  // namespace talvex::platform
