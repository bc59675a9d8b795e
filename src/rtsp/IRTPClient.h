// The face by which owners hold a UDP client, and the face by which the
// client reports datagrams, quiet periods and socket loss to its one user.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/PlatformUdp.h"

namespace talvex {

class IRTPClient;

class IRTPClientUser {
public:
    virtual ~IRTPClientUser() = default;
    // bytes point into the client's receive buffer: copy what is kept.
    virtual void OnDatagram(IRTPClient* client, const platform::SUdpAddress& sender, const uint8_t* bytes,
                            std::size_t length) = 0;
    // Datagrams the client received together, in arrival order; slots that
    // hold no whole datagram are skipped. By default each goes to OnDatagram.
    virtual void OnDatagrams(IRTPClient* client, const platform::SUdpDatagram* datagrams, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i)
            if (datagrams[i].Result == platform::EUdpReceive::Datagram && datagrams[i].Size > 0)
                OnDatagram(client, datagrams[i].Sender, static_cast<const uint8_t*>(datagrams[i].Buffer),
                           datagrams[i].Size);
    }
    virtual void OnReceiveTimeout(IRTPClient* client) = 0;
    virtual void OnSocketClosed(IRTPClient* client) = 0;
};

class IRTPClient {
public:
    virtual ~IRTPClient() = default;
    virtual bool Open(IRTPClientUser* user, uint16_t port) = 0;
    virtual void Close() = 0;
    virtual void SetBufferSize(uint32_t bytes) = 0;
    virtual void SetSelectTimeout(uint32_t seconds, uint32_t microseconds) = 0;
    virtual uint16_t GetPort() = 0;
};

}  // namespace talvex
