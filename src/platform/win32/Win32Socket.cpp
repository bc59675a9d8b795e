#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/PlatformSocket.h"

namespace talvex::platform {

struct SocketRecord {
    SOCKET socket = INVALID_SOCKET;
};

namespace {

// Winsock is started once for the life of the process; the driver never
// calls WSACleanup because hosts and tests may still use sockets of their own.
bool EnsureWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

timeval ToTimeval(uint32_t timeoutMs) {
    timeval limit{};
    limit.tv_sec = static_cast<long>(timeoutMs / 1000);
    limit.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    return limit;
}

// Waits until the socket is readable (or writable); false on time-out or failure.
bool WaitReady(SOCKET socket, bool forWrite, uint32_t timeoutMs, bool& timedOut) {
    timedOut = false;
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(socket, &ready);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    timeval limit = ToTimeval(timeoutMs);
    const int count = ::select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &limit);
    if (count == 0) timedOut = true;
    return count > 0 && FD_ISSET(socket, &ready);
}

SocketHandle Wrap(SOCKET socket) {
    auto* record = new SocketRecord;
    record->socket = socket;
    return record;
}

}  // namespace

uint32_t ResolveIPv4(const std::string& host) {
    if (!EnsureWinsock()) return 0;
    const hostent* entry = ::gethostbyname(host.c_str());
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_addr_list == nullptr ||
        entry->h_addr_list[0] == nullptr)
        return 0;
    uint32_t address = 0;
    memcpy(&address, entry->h_addr_list[0], sizeof address);
    return address;
}

SocketHandle ListenLoopback(uint16_t& port) {
    if (!EnsureWinsock()) return nullptr;
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) return nullptr;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::closesocket(listener);
        return nullptr;
    }
    port = ntohs(address.sin_port);
    return Wrap(listener);
}

EIoResult Accept(SocketHandle listener, uint32_t timeoutMs, SocketHandle& accepted) {
    accepted = nullptr;
    bool timedOut = false;
    if (!WaitReady(listener->socket, false, timeoutMs, timedOut)) return timedOut ? EIoResult::TimedOut : EIoResult::Failed;
    const SOCKET socket = ::accept(listener->socket, nullptr, nullptr);
    if (socket == INVALID_SOCKET) return EIoResult::Failed;
    const BOOL noDelay = TRUE;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    accepted = Wrap(socket);
    return EIoResult::Ok;
}

SocketHandle ConnectTcp(uint32_t address, uint16_t port, uint32_t timeoutMs) {
    if (!EnsureWinsock()) return nullptr;
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == INVALID_SOCKET) return nullptr;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = address;
    peer.sin_port = htons(port);
    // Non-blocking only for the connect, so that its wait is bounded.
    u_long nonBlocking = 1;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    bool connected = ::connect(socket, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0;
    if (!connected && ::WSAGetLastError() == WSAEWOULDBLOCK) {
        bool timedOut = false;
        connected = WaitReady(socket, true, timeoutMs, timedOut);
    }
    if (!connected) {
        ::closesocket(socket);
        return nullptr;
    }
    nonBlocking = 0;
    ::ioctlsocket(socket, FIONBIO, &nonBlocking);
    return Wrap(socket);
}

EIoResult SendAll(SocketHandle socket, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const int piece = size > 0x40000000u ? 0x40000000 : static_cast<int>(size);
        const int sent = ::send(socket->socket, bytes, piece, 0);
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
    if (!WaitReady(socket->socket, false, timeoutMs, timedOut)) return timedOut ? EIoResult::TimedOut : EIoResult::Failed;
    const int piece = capacity > 0x40000000u ? 0x40000000 : static_cast<int>(capacity);
    const int got = ::recv(socket->socket, static_cast<char*>(buffer), piece, 0);
    if (got == 0) return EIoResult::Closed;
    if (got < 0) return EIoResult::Failed;
    received = static_cast<std::size_t>(got);
    return EIoResult::Ok;
}

void ShutdownSocket(SocketHandle socket) {
    if (socket != nullptr) ::shutdown(socket->socket, SD_BOTH);
}

void CloseSocket(SocketHandle socket) {
    if (socket == nullptr) return;
    ::closesocket(socket->socket);
    delete socket;
}

}  // namespace talvex::platform
