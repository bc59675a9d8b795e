// UDP sockets for the RTP transport, and the random source of RTCP
// identifiers: the only place that knows BSD sockets or Winsock for UDP.
#pragma once

#include <cstddef>
#include <cstdint>

namespace talvex::platform {

// IPv4 socket address in host byte order, as the UDP transport reports the
// sender of a datagram and takes the destination of one.
struct SUdpAddress {
    uint32_t Address = 0;
    uint16_t Port = 0;
};

struct UdpRecord;
using UdpHandle = UdpRecord*;

// A UDP socket bound to the wildcard address and port, with the given
// receive buffer (bytes) and receive / send time-outs (ms, 0 = none). Null
// on any failure (the port taken, among others).
UdpHandle OpenUdp(uint16_t port, uint32_t receiveBufferBytes, uint32_t receiveTimeoutMs, uint32_t sendTimeoutMs);

enum class EUdpWait {
    Readable,
    TimedOut,
    Closed,  // the socket or the network is gone for good
    Retry,   // a passing failure: wait again
};
// Waits until a datagram can be read, at most seconds + microseconds.
EUdpWait WaitUdpReadable(UdpHandle socket, uint32_t seconds, uint32_t microseconds);

enum class EUdpReceive {
    Datagram,
    Truncated,  // the datagram was larger than the buffer: it is lost
    Failed,
};
// Receives one datagram. size is the number of bytes received.
EUdpReceive ReceiveDatagram(UdpHandle socket, void* buffer, std::size_t capacity, std::size_t& size,
                            SUdpAddress& sender);
// One slot of a batch receive: the caller's buffer, and what arrived in it.
struct SUdpDatagram {
    void* Buffer = nullptr;
    std::size_t Capacity = 0;
    std::size_t Size = 0;
    SUdpAddress Sender;
    EUdpReceive Result = EUdpReceive::Failed;
};
// Receives the datagram ReceiveDatagram would, then, without waiting, as many
// of those already queued as there are further slots: one system call for
// the lot where the system has one (recvmmsg on Linux), one datagram a call
// elsewhere. Returns the slots filled, in arrival order (at least one when
// count > 0, a failure included).
std::size_t ReceiveDatagrams(UdpHandle socket, SUdpDatagram* slots, std::size_t count);
// Sends the bytes as one datagram; false when not all of them went out.
bool SendDatagram(UdpHandle socket, const void* data, std::size_t size, const SUdpAddress& destination);

// Ends both directions; a thread waiting in WaitUdpReadable wakes.
void ShutdownUdp(UdpHandle socket);
void CloseUdp(UdpHandle socket);

// Fills the buffer with unpredictable bytes (for RTCP source identifiers).
void RandomBytes(void* buffer, std::size_t size);

}  // namespace talvex::platform
