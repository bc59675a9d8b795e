// IPv4 socket address in host byte order, as the UDP transport reports the
// sender of a datagram and takes the destination of one.
#pragma once

#include <cstdint>

namespace talvex::platform {

struct SUdpAddress {
    uint32_t Address = 0;
    uint16_t Port = 0;
};

}  // namespace talvex::platform
