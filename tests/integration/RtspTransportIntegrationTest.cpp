// The RTSP client, the RTP receiver and the RTCP handler against the
// simulator's RTSP server (GStreamer): Digest after one 401 with each
// request's own uri, SETUP with the client ports, PLAY, packets on those
// ports, OPTIONS at half the session time-out, TEARDOWN on stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "CCamSimControl.h"
#include "CCamSimProcess.h"
#include "rtsp/CBaseRTSPClient.h"
#include "rtsp/CRTCPHandler.h"
#include "rtsp/CRTPReceiver.h"

namespace {

using namespace talvex;

class CChannelStandIn : public IRTPReceiverUser {
public:
    explicit CChannelStandIn(CRTCPHandler& rtcp) : m_rtcp(rtcp) {}
    void OnInterleavedPacket(const CRTPPacket&) override {}
    void OnRtpPacket(const platform::SUdpAddress&, const CRTPPacket& packet) override {
        m_rtcp.OnRtpSequence(packet.SequenceNumber());
        Packets.fetch_add(1);
    }
    void OnReceiveTimeout() override {}
    void OnSocketClosed() override {}
    void OnSdpParameters(const SdpCodecParameters& parameters) override {
        SdpCalls.fetch_add(1);
        HasSps.store(!parameters.Sps.empty());
    }
    std::atomic<int> Packets{0};
    std::atomic<int> SdpCalls{0};
    std::atomic<bool> HasSps{false};

private:
    CRTCPHandler& m_rtcp;
};

std::string UriOf(const std::string& authorization) {
    const std::size_t at = authorization.find("uri=\"");
    if (at == std::string::npos)
        return {};
    return authorization.substr(at + 5, authorization.find('"', at + 5) - at - 5);
}

template <typename P>
bool WaitUntil(P predicate) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

TEST(RtspTransportIntegrationTest, DigestSessionStreamsKeepsAliveAndTearsDown) {
    CCamSimProcess camera({"--rtsp-auth", "digest", "--user", "admin", "--password", "secret", "--session-timeout",
                           "2", "--rtsp-strict-digest-uri", "1", "--codec", "h264"});
    ASSERT_TRUE(camera.Started()) << camera.Error();
    CCamSimControl control(camera.ControlPort());

    CRTCPHandler rtcp(nullptr);
    CChannelStandIn channel(rtcp);
    CRTPReceiver receiver(nullptr);
    receiver.User = &channel;
    uint16_t rtpPort = 0;
    for (uint16_t port = 42000; port < 43000 && rtpPort == 0; port = static_cast<uint16_t>(port + 2)) {
        if (!receiver.Start(port))
            continue;
        if (rtcp.Start(static_cast<uint16_t>(port + 1), 0x7F000001))
            rtpPort = port;
        else
            receiver.Stop();
    }
    ASSERT_NE(rtpPort, 0);

    CBaseRTSPClient client(nullptr);
    RTSPConnectionSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = static_cast<uint16_t>(camera.RtspPort());
    settings.UserName = "admin";
    settings.Password = "secret";
    settings.StreamPath = "/live1";
    settings.ClientRtpPort = rtpPort;
    settings.ClientRtcpPort = static_cast<uint16_t>(rtpPort + 1);
    ASSERT_TRUE(client.StartSession(settings, &channel));

    auto optionsSent = [&] {
        const auto requests = control.Requests();
        return std::count_if(requests.begin(), requests.end(),
                             [](const SCamSimRequest& r) { return r.protocol == "rtsp" && r.method == "OPTIONS"; });
    };
    EXPECT_TRUE(WaitUntil([&] { return channel.Packets.load() >= 100 && optionsSent() >= 2; }));
    client.StopSession();
    rtcp.Stop();
    receiver.Stop();

    EXPECT_EQ(channel.SdpCalls.load(), 1);
    EXPECT_GT(rtcp.ExtendedHighestSequence(), 0u);
    std::vector<SCamSimRequest> rtsp;
    for (const SCamSimRequest& r : control.Requests())
        if (r.protocol == "rtsp")
            rtsp.push_back(r);
    ASSERT_GE(rtsp.size(), 6u);
    EXPECT_EQ(rtsp[0].method, "DESCRIBE");
    EXPECT_EQ(rtsp[0].authorization, "");
    EXPECT_EQ(rtsp[1].method, "DESCRIBE");
    EXPECT_EQ(UriOf(rtsp[1].authorization), rtsp[1].path);
    EXPECT_EQ(rtsp[2].method, "SETUP");
    EXPECT_NE(rtsp[2].path, rtsp[1].path) << "SETUP names the control URL";
    EXPECT_EQ(UriOf(rtsp[2].authorization), rtsp[2].path);
    EXPECT_EQ(rtsp[2].status, 0) << "the strict camera accepted SETUP";
    EXPECT_EQ(rtsp[3].method, "PLAY");
    EXPECT_EQ(rtsp.back().method, "TEARDOWN");
    // Keep-alives about one second apart (half of the two-second time-out).
    std::vector<int64_t> options;
    for (const SCamSimRequest& r : rtsp)
        if (r.method == "OPTIONS")
            options.push_back(r.timeMs);
    ASSERT_GE(options.size(), 2u);
    EXPECT_GE(options[1] - options[0], 900);
}

}  // namespace
