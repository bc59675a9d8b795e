#include <winsock2.h>
#include <ws2tcpip.h>
#include <objbase.h>

#include <cstring>

#include "platform/PlatformUdp.h"

namespace talvex::platform {

struct UdpRecord {
    SOCKET socket = INVALID_SOCKET;
};

namespace {

bool EnsureWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

sockaddr_in ToSockaddr(const SUdpAddress& address) {
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_addr.s_addr = htonl(address.Address);
    out.sin_port = htons(address.Port);
    return out;
}

}  // namespace

UdpHandle OpenUdp(uint16_t port, uint32_t receiveBufferBytes, uint32_t receiveTimeoutMs, uint32_t sendTimeoutMs) {
    if (!EnsureWinsock())
        return nullptr;
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return nullptr;
    const int bufferBytes = static_cast<int>(receiveBufferBytes == 0 ? 65535 : receiveBufferBytes);
    if (::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferBytes), sizeof(bufferBytes)) != 0) {
        ::closesocket(s);
        return nullptr;
    }
    // Winsock takes these time-outs as a DWORD of milliseconds.
    if (receiveTimeoutMs != 0) {
        const DWORD ms = receiveTimeoutMs;
        ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof(ms));
    }
    if (sendTimeoutMs != 0) {
        const DWORD ms = sendTimeoutMs;
        ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof(ms));
    }
    // Without this, Windows reports an ICMP port-unreachable for an earlier
    // send as a failure of the next receive.
    BOOL reportReset = FALSE;
    DWORD unused = 0;
    ::WSAIoctl(s, _WSAIOW(IOC_VENDOR, 12), &reportReset, sizeof(reportReset), nullptr, 0, &unused, nullptr, nullptr);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
        ::closesocket(s);
        return nullptr;
    }
    auto* record = new UdpRecord;
    record->socket = s;
    return record;
}

EUdpWait WaitUdpReadable(UdpHandle socket, uint32_t seconds, uint32_t microseconds) {
    if (socket == nullptr || socket->socket == INVALID_SOCKET)
        return EUdpWait::Closed;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket->socket, &readable);
    timeval limit{};
    limit.tv_sec = static_cast<long>(seconds);
    limit.tv_usec = static_cast<long>(microseconds);
    const int result = ::select(0, &readable, nullptr, nullptr, &limit);
    if (result > 0)
        return EUdpWait::Readable;
    if (result == 0)
        return EUdpWait::TimedOut;
    switch (::WSAGetLastError()) {
    case WSAEFAULT:
    case WSAENETDOWN:
    case WSANOTINITIALISED:
    case WSAENOTSOCK:
        return EUdpWait::Closed;
    case WSAEINVAL:
        return EUdpWait::Readable;
    default:
        return EUdpWait::Retry;
    }
}

EUdpReceive ReceiveDatagram(UdpHandle socket, void* buffer, std::size_t capacity, std::size_t& size,
                            SUdpAddress& sender) {
    size = 0;
    if (socket == nullptr)
        return EUdpReceive::Failed;
    sockaddr_in from{};
    int fromLength = sizeof(from);
    const int capped = capacity > 65535 ? 65535 : static_cast<int>(capacity);
    const int received = ::recvfrom(socket->socket, static_cast<char*>(buffer), capped, 0,
                                    reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received < 0)
        return ::WSAGetLastError() == WSAEMSGSIZE ? EUdpReceive::Truncated : EUdpReceive::Failed;
    size = static_cast<std::size_t>(received);
    sender.Address = ntohl(from.sin_addr.s_addr);
    sender.Port = ntohs(from.sin_port);
    return EUdpReceive::Datagram;
}

std::size_t ReceiveDatagrams(UdpHandle socket, SUdpDatagram* slots, std::size_t count) {
    if (count == 0)
        return 0;
    // Winsock has no batch receive for plain sockets: one datagram a call.
    slots[0].Result = ReceiveDatagram(socket, slots[0].Buffer, slots[0].Capacity, slots[0].Size, slots[0].Sender);
    return 1;
}

bool SendDatagram(UdpHandle socket, const void* data, std::size_t size, const SUdpAddress& destination) {
    if (socket == nullptr || size > 65535)
        return false;
    const sockaddr_in to = ToSockaddr(destination);
    const int sent = ::sendto(socket->socket, static_cast<const char*>(data), static_cast<int>(size), 0,
                              reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    return sent >= 0 && static_cast<std::size_t>(sent) == size;
}

void ShutdownUdp(UdpHandle socket) {
    if (socket != nullptr)
        ::shutdown(socket->socket, SD_BOTH);
}

void CloseUdp(UdpHandle socket) {
    if (socket == nullptr)
        return;
    ::closesocket(socket->socket);
    delete socket;
}

void RandomBytes(void* buffer, std::size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        GUID guid{};
        ::CoCreateGuid(&guid);
        const std::size_t take = size - done < sizeof(guid) ? size - done : sizeof(guid);
        std::memcpy(out + done, &guid, take);
        done += take;
    }
}

}  // namespace talvex::platform
