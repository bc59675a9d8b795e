// A bound UDP socket with a receiving thread ("UDP client thread, port %u")
// that reports every datagram, quiet period and socket failure to one user.
#pragma once

#include <atomic>
#include <cstdint>

#include "rtsp/IRTPClient.h"
#include "thread/CBaseThread.h"
#include "thread/CRecursiveLock.h"

namespace talvex {

struct UDPOpenParams {
    uint16_t Port = 0;
    uint32_t ReceiveBufferSize = 0;  // bytes
    uint32_t ReceiveTimeout = 0;     // ms
    uint32_t SendTimeout = 0;        // ms
};

class CUDPClient : public CBaseThread, public IRTPClient {
public:
    explicit CUDPClient(IDebugMessage* log);
    ~CUDPClient() override;

    bool Open(IRTPClientUser* user, uint16_t port) override;
    void Close() override;
    void SetBufferSize(uint32_t bytes) override { BufferSize.store(bytes); }
    void SetSelectTimeout(uint32_t seconds, uint32_t microseconds) override;
    uint16_t GetPort() override { return Port.load(); }

    // Datagrams taken from the socket per system call where the platform
    // batches (1..kMaxBatch); set before Open.
    void SetBatchSize(uint32_t datagrams) { BatchSize.store(datagrams); }
    // The socket's receive buffer in bytes (the system may cap it); set
    // before Open.
    void SetSocketBufferSize(uint32_t bytes) { SocketBufferSize.store(bytes); }
    static constexpr uint32_t kDefaultSocketBuffer = 65535;

    bool SendTo(const uint8_t* bytes, std::size_t length, const platform::SUdpAddress& destination);

    // Read size after datagrams larger than the buffer made it grow.
    static constexpr uint32_t kGrowStep = 1024;
    static constexpr uint32_t kMaxDatagram = 65535;
    static constexpr uint32_t kMaxBatch = 64;

protected:
    void Run() override;

private:
    bool SetupSocket(const UDPOpenParams& params);
    bool WaitReadable(platform::UdpHandle socket);

    CRecursiveLock Lock;
    IRTPClientUser* User = nullptr;
    platform::UdpHandle Socket = nullptr;
    // The socket the receiving thread works on: set before the thread starts
    // and released only after it has been joined.
    platform::UdpHandle ThreadSocket = nullptr;
    std::atomic<uint16_t> Port{0};
    std::atomic<uint32_t> BufferSize{8192};
    std::atomic<uint32_t> BatchSize{1};
    std::atomic<uint32_t> SocketBufferSize{kDefaultSocketBuffer};
    std::atomic<uint32_t> SelectSeconds{2};
    std::atomic<uint32_t> SelectMicroseconds{0};
    uint32_t CloseWait = 0;
};

}  // namespace talvex
