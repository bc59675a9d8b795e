// The device connection record, copied into every HTTP sender, properties
// reader and capability module.
#pragma once

#include <cstdint>
#include <string>

namespace talvex {

struct DEVICE_INFO {
    virtual ~DEVICE_INFO() = default;

    // Every HTTP time-out; twice it bounds the wait for a capture or fetching
    // thread to stop.
    uint32_t ConnectTimeout = 5000;
    // How long a streaming channel may go without a picture.
    uint32_t ReceiveTimeout = 5000;
    std::string Address;  // host name or dotted IPv4 address
    uint16_t Port = 80;   // HTTP port
    std::string UserName;
    std::string Password;
    std::string ModelName;
};

}  // namespace talvex
