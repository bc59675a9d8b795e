#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include "platform/PlatformUdp.h"

namespace talvex::platform {

struct UdpRecord {
    int fd = -1;
};

namespace {

void SetTimeout(int fd, int option, uint32_t ms) {
    timeval value{};
    value.tv_sec = static_cast<time_t>(ms / 1000);
    value.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    ::setsockopt(fd, SOL_SOCKET, option, &value, sizeof(value));
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
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0)
        return nullptr;
    const int bufferBytes = static_cast<int>(receiveBufferBytes == 0 ? 65535 : receiveBufferBytes);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof(bufferBytes)) != 0) {
        ::close(fd);
        return nullptr;
    }
    if (receiveTimeoutMs != 0)
        SetTimeout(fd, SO_RCVTIMEO, receiveTimeoutMs);
    if (sendTimeoutMs != 0)
        SetTimeout(fd, SO_SNDTIMEO, sendTimeoutMs);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
        ::close(fd);
        return nullptr;
    }
    auto* record = new UdpRecord;
    record->fd = fd;
    return record;
}

EUdpWait WaitUdpReadable(UdpHandle socket, uint32_t seconds, uint32_t microseconds) {
    if (socket == nullptr || socket->fd < 0 || socket->fd >= FD_SETSIZE)
        return EUdpWait::Closed;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket->fd, &readable);
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(seconds);
    limit.tv_usec = static_cast<suseconds_t>(microseconds);
    const int result = ::select(socket->fd + 1, &readable, nullptr, nullptr, &limit);
    if (result > 0)
        return EUdpWait::Readable;
    if (result == 0)
        return EUdpWait::TimedOut;
    return errno == EBADF || errno == ENOMEM ? EUdpWait::Closed : EUdpWait::Retry;
}

EUdpReceive ReceiveDatagram(UdpHandle socket, void* buffer, std::size_t capacity, std::size_t& size,
                            SUdpAddress& sender) {
    size = 0;
    if (socket == nullptr)
        return EUdpReceive::Failed;
    sockaddr_in from{};
    iovec part{buffer, capacity};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof(from);
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    // recvfrom would cut an oversized datagram silently; MSG_TRUNC in the
    // flags tells it apart, so a cut packet is never taken for a whole one.
    const ssize_t received = ::recvmsg(socket->fd, &message, 0);
    if (received < 0)
        return EUdpReceive::Failed;
    if ((message.msg_flags & MSG_TRUNC) != 0)
        return EUdpReceive::Truncated;
    size = static_cast<std::size_t>(received);
    sender.Address = ntohl(from.sin_addr.s_addr);
    sender.Port = ntohs(from.sin_port);
    return EUdpReceive::Datagram;
}

std::size_t ReceiveDatagrams(UdpHandle socket, SUdpDatagram* slots, std::size_t count) {
    if (count == 0)
        return 0;
#ifdef __linux__
    constexpr std::size_t kMaxBatch = 64;
    if (socket != nullptr && count > 1) {
        count = count < kMaxBatch ? count : kMaxBatch;
        mmsghdr messages[kMaxBatch];
        iovec parts[kMaxBatch];
        sockaddr_in from[kMaxBatch];
        std::memset(messages, 0, sizeof(mmsghdr) * count);
        for (std::size_t i = 0; i < count; ++i) {
            parts[i] = iovec{slots[i].Buffer, slots[i].Capacity};
            from[i] = sockaddr_in{};
            messages[i].msg_hdr.msg_name = &from[i];
            messages[i].msg_hdr.msg_namelen = sizeof(from[i]);
            messages[i].msg_hdr.msg_iov = &parts[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        // Waits (within the socket's receive time-out) for the first only.
        const int received = ::recvmmsg(socket->fd, messages, static_cast<unsigned>(count), MSG_WAITFORONE, nullptr);
        if (received <= 0) {
            slots[0].Size = 0;
            slots[0].Result = EUdpReceive::Failed;
            return 1;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(received); ++i) {
            SUdpDatagram& slot = slots[i];
            // As with one datagram: a cut one is never taken for a whole one.
            if ((messages[i].msg_hdr.msg_flags & MSG_TRUNC) != 0) {
                slot.Size = 0;
                slot.Result = EUdpReceive::Truncated;
                continue;
            }
            slot.Size = messages[i].msg_len;
            slot.Sender.Address = ntohl(from[i].sin_addr.s_addr);
            slot.Sender.Port = ntohs(from[i].sin_port);
            slot.Result = EUdpReceive::Datagram;
        }
        return static_cast<std::size_t>(received);
    }
#endif
    slots[0].Result = ReceiveDatagram(socket, slots[0].Buffer, slots[0].Capacity, slots[0].Size, slots[0].Sender);
    return 1;
}

bool SendDatagram(UdpHandle socket, const void* data, std::size_t size, const SUdpAddress& destination) {
    if (socket == nullptr)
        return false;
    const sockaddr_in to = ToSockaddr(destination);
    const ssize_t sent = ::sendto(socket->fd, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to),
                                  sizeof(to));
    return sent >= 0 && static_cast<std::size_t>(sent) == size;
}

void ShutdownUdp(UdpHandle socket) {
    if (socket != nullptr)
        ::shutdown(socket->fd, SHUT_RDWR);
}

void CloseUdp(UdpHandle socket) {
    if (socket == nullptr)
        return;
    ::close(socket->fd);
    delete socket;
}

void RandomBytes(void* buffer, std::size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::getrandom(out + done, size - done, 0);
        if (got <= 0) {
            if (got < 0 && errno == EINTR)
                continue;
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    if (done < size) {
        std::random_device device;
        for (; done < size; ++done)
            out[done] = static_cast<unsigned char>(device());
    }
}

}  // namespace talvex::platform
