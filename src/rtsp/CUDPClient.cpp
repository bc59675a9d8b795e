#include "rtsp/CUDPClient.h"

#include <algorithm>
#include <vector>

#include "base/FormatString.h"

namespace talvex {

CUDPClient::CUDPClient(IDebugMessage* log) : CBaseThread(log) {}

CUDPClient::~CUDPClient() {
    Close();
    StopThread(2000);
}

void CUDPClient::SetSelectTimeout(uint32_t seconds, uint32_t microseconds) {
    SelectSeconds.store(seconds);
    SelectMicroseconds.store(microseconds % 1000);
}

bool CUDPClient::SetupSocket(const UDPOpenParams& params) {
    if (Socket != nullptr)
        return false;
    Socket = platform::OpenUdp(params.Port, params.ReceiveBufferSize, params.ReceiveTimeout, params.SendTimeout);
    if (Socket == nullptr)
        return false;
    CloseWait = std::max(params.ReceiveTimeout, params.SendTimeout);
    Port.store(params.Port);
    return true;
}

bool CUDPClient::Open(IRTPClientUser* user, uint16_t port) {
    const UDPOpenParams params{port, SocketBufferSize.load(), 5000, 1000};
    bool started = false;
    {
        CLockHolder hold(Lock);
        if (Socket != nullptr)
            return false;
        User = user;
        if (SetupSocket(params)) {
            ThreadSocket = Socket;
            started = StartThread(FormatString("UDP client thread, port %u", static_cast<unsigned>(port)));
        }
    }
    if (!started)
        Close();
    return started;
}

void CUDPClient::Close() {
    StopEvent().Set();
    platform::UdpHandle closed = nullptr;
    bool joined = true;
    {
        CLockHolder hold(Lock);
        if (Socket != nullptr) {
            platform::ShutdownUdp(Socket);
            closed = Socket;
            Socket = nullptr;
            Port.store(0);
        }
        const uint32_t wait = std::max<uint32_t>(std::max(SelectSeconds.load() * 1000, CloseWait) + 1000, 5000);
        if (IsRunning())
            joined = JoinThread(wait);
    }
    if (closed == nullptr)
        return;
    if (!joined) {
        // The thread still uses the socket (its user blocks): leave the
        // socket to the process rather than close it under the thread.
        return;
    }
    ThreadSocket = nullptr;
    std::vector<uint8_t> drain(1500);
    for (int i = 0; i < 100; ++i) {
        std::size_t size = 0;
        platform::SUdpAddress sender;
        if (platform::WaitUdpReadable(closed, 0, 0) != platform::EUdpWait::Readable ||
            platform::ReceiveDatagram(closed, drain.data(), drain.size(), size, sender) !=
                platform::EUdpReceive::Datagram ||
            size == 0)
            break;
    }
    platform::CloseUdp(closed);
    if (User != nullptr)
        User->OnSocketClosed(this);
}

bool CUDPClient::SendTo(const uint8_t* bytes, std::size_t length, const platform::SUdpAddress& destination) {
    CLockHolder hold(Lock);
    if (Socket == nullptr || length == 0)
        return false;
    return platform::SendDatagram(Socket, bytes, length, destination);
}

bool CUDPClient::WaitReadable(platform::UdpHandle socket) {
    for (;;) {
        if (StopEvent().Wait(0))
            return false;
        const platform::EUdpWait result =
            platform::WaitUdpReadable(socket, SelectSeconds.load(), SelectMicroseconds.load());
        if (StopEvent().Wait(0))
            return false;
        switch (result) {
        case platform::EUdpWait::TimedOut:
            if (User != nullptr)
                User->OnReceiveTimeout(this);
            break;
        case platform::EUdpWait::Readable:
            return true;
        case platform::EUdpWait::Closed:
            if (User != nullptr)
                User->OnSocketClosed(this);
            return false;
        case platform::EUdpWait::Retry:
            break;
        }
    }
}

void CUDPClient::Run() {
    platform::UdpHandle socket = ThreadSocket;
    uint32_t readSize = std::min(std::max<uint32_t>(BufferSize.load(), 1), kMaxDatagram);
    const std::size_t batch = std::clamp<uint32_t>(BatchSize.load(), 1, kMaxBatch);
    // One buffer per slot, grown together when a datagram did not fit.
    std::vector<uint8_t> buffers;
    std::vector<platform::SUdpDatagram> slots(batch);
    std::size_t slotBytes = 0;
    while (!StopEvent().Wait(0)) {
        if (!WaitReadable(socket))
            break;
        if (slotBytes != readSize) {
            slotBytes = readSize;
            buffers.resize(batch * slotBytes);
            for (std::size_t i = 0; i < batch; ++i) {
                slots[i].Buffer = buffers.data() + i * slotBytes;
                slots[i].Capacity = slotBytes;
            }
        }
        const std::size_t received = platform::ReceiveDatagrams(socket, slots.data(), batch);
        if (StopEvent().Wait(0))
            break;
        if (User != nullptr)
            User->OnDatagrams(this, slots.data(), received);
        for (std::size_t i = 0; i < received; ++i) {
            // The datagram is lost; later ones of that size fit.
            if (slots[i].Result == platform::EUdpReceive::Truncated)
                readSize = std::min(readSize + kGrowStep, kMaxDatagram);
        }
    }
}

}  // namespace talvex
