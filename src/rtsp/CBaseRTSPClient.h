// Runs one RTSP session with a camera on the "RTSP Client Thread": DESCRIBE,
// SETUP and PLAY on one TCP connection, OPTIONS keep-alives at half the
// session time-out while the channel streams, TEARDOWN when told to stop.
// The media arrives on the channel's UDP ports, or interleaved on this
// connection in transport mode 2.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/PlatformSocket.h"
#include "rtsp/CRTSPResponseParser.h"
#include "rtsp/IRTPReceiverUser.h"
#include "rtsp/RTSPConnectionSettings.h"
#include "thread/CBaseThread.h"

namespace talvex {

class CBaseRTSPClient : public CBaseThread {
public:
    enum ETransportMode : uint32_t { TRANSPORT_UDP = 0, TRANSPORT_TCP_PORTS = 1, TRANSPORT_INTERLEAVED = 2 };

    explicit CBaseRTSPClient(IDebugMessage* log);
    ~CBaseRTSPClient() override;

    bool StartSession(const RTSPConnectionSettings& settings, IRTPReceiverUser* user);
    // As StartSession, with another transport (the interleaved fallback).
    bool StartSession(const RTSPConnectionSettings& settings, IRTPReceiverUser* user, uint32_t transportMode);
    void StopSession();
    // Callable from any thread: the session thread stops waiting at once,
    // sends its TEARDOWN and ends; StopSession then joins it promptly.
    void Abort() { StopEvent().Set(); }

    // How far the latest session came, for a channel that must tell a camera
    // that refuses UDP from one that merely sends nothing.
    enum class EOutcome { Pending, TransportRefused, Playing, Ended };
    EOutcome Outcome() const { return m_outcome.load(); }
    uint32_t TransportMode() const { return m_transportMode; }

    static const char* MethodName(uint32_t method);

    // Session facts; read by the channel once the thread has written them.
    const CRTSPResponseParser& Parser() const { return m_parser; }

protected:
    void Run() override;
    virtual std::string BuildRequest(uint32_t method);
    virtual bool ReadInterleaved();

    bool Connect();
    bool Transact(uint32_t method);
    bool SendRequest(uint32_t method);
    std::string ReadResponse();
    // One receive within the receive time-out, polled in short slices so
    // that a stop is seen; once a stop was asked for, only a short wait is
    // left (for the TEARDOWN answer nobody needs).
    platform::EIoResult ReceiveSome(void* buffer, std::size_t capacity, std::size_t& received);
    void KeepAlive();

    std::string BaseUrl() const;
    std::string SetupUrl(const std::string& base) const;
    std::string TransportLine() const;
    std::string AuthorizationLine(uint32_t method, const std::string& uri);

    RTSPConnectionSettings m_settings;
    CRTSPResponseParser m_parser;
    platform::SocketHandle m_socket = nullptr;
    uint32_t m_lastKeepAliveMs = 0;
    bool m_keepAliveSent = false;
    uint32_t m_transportMode = TRANSPORT_UDP;
    IRTPReceiverUser* m_user = nullptr;

    std::atomic<EOutcome> m_outcome{EOutcome::Pending};

private:
    std::string m_digestNonce;  // the nonce m_nonceCount counts uses of
    uint32_t m_nonceCount = 0;
};

}  // namespace talvex
