// TCP sockets and host name resolution: the only place that knows BSD
// sockets or Winsock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace talvex::platform {

struct SocketRecord;
using SocketHandle = SocketRecord*;

enum class EIoResult { Ok, TimedOut, Closed, Failed };

// IPv4 address in network byte order of a host name or dotted address; 0
// when it does not resolve.
uint32_t ResolveIPv4(const std::string& host);

// A listening socket on 127.0.0.1 with a port the system chooses; port
// receives it. Null on failure.
SocketHandle ListenLoopback(uint16_t& port);
// Waits up to timeoutMs for a connection; Ok with accepted set, TimedOut, or
// Failed once the listener was shut down or closed.
EIoResult Accept(SocketHandle listener, uint32_t timeoutMs, SocketHandle& accepted);
// Connects to an IPv4 address (network byte order) within timeoutMs.
SocketHandle ConnectTcp(uint32_t address, uint16_t port, uint32_t timeoutMs);

// Sends every byte; Failed when the peer has gone.
EIoResult SendAll(SocketHandle socket, const void* data, std::size_t size);
// Waits up to timeoutMs for data and receives at most capacity bytes.
// Closed when the peer has finished sending.
EIoResult Receive(SocketHandle socket, void* buffer, std::size_t capacity, std::size_t& received,
                  uint32_t timeoutMs);

// Ends both directions; a peer sees the end of the stream. Safe to call from
// another thread while the owner waits in Receive.
void ShutdownSocket(SocketHandle socket);
void CloseSocket(SocketHandle socket);

}  // namespace talvex::platform
