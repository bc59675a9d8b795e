// The device connection record, copied into every HTTP sender, properties
// reader and capability module.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
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
    // The authentication scheme the device last taught any HTTP sender made
    // from this record or a copy of it (0 until a 401 taught one). Copies
    // share it, so a new sender of a Digest camera starts with Digest and
    // never shows the password in Basic form.
    std::shared_ptr<std::atomic<uint32_t>> TaughtAuthScheme = std::make_shared<std::atomic<uint32_t>>(0);
};

}  // namespace talvex
