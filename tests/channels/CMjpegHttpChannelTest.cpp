// The MJPEG channel against a scripted camera that stops answering: a stop
// must break whatever the capture thread waits for, so that the thread ends
// by itself and is never forced.
#include "channels/CMjpegHttpChannel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "CFakeDriver.h"
#include "CHostFrameSink.h"
#include "CHostSampleAllocator.h"
#include "CLoopbackHttpServer.h"
#include "RunningUnderWine.h"

namespace {

using namespace std::chrono_literals;

TEST(CMjpegHttpChannelTest, StopBreaksAHangingConfigurationOrStream) {
    if (wftest::RunningUnderWine()) GTEST_SKIP() << "Wine's WinHTTP does not cancel a blocked request when its handle is closed";
    const struct {
        const char* name;
        bool configurationHangs;
    } cases[] = {{"camera never answers the configuration", true}, {"camera stalls in the middle of a picture", false}};
    for (const auto& c : cases) {
        CLoopbackHttpServer camera;
        ASSERT_TRUE(camera.Listening());
        camera.SetHandler([&](const SLoopbackRequest& request) {
            SLoopbackReply reply;
            if (request.target.rfind("/SetMultimedia.cgi", 0) == 0) {
                if (c.configurationHangs) reply.mode = EReplyMode::Hold;
                return reply;
            }
            reply.headers = {"Content-Type: multipart/x-mixed-replace; boundary=frame"};
            reply.body = std::string("--frame\r\nContent-Type: image/jpeg\r\n\r\n\xFF\xD8\xFF\xC0\x00\x11", 44);
            reply.mode = EReplyMode::HeadThenHold;
            return reply;
        });

        wftest::CFakeDriver driver;
        wftest::CHostSampleAllocator allocator;
        wftest::CHostFrameSink sink;
        driver.allocator = &allocator;
        driver.device.Port = camera.Port();
        // Time-outs far beyond the test's patience: only the abort can end the calls.
        driver.device.ConnectTimeout = 60000;
        driver.device.ReceiveTimeout = 60000;
        talvex::CMjpegHttpChannel channel(0, &sink, &driver);
        ASSERT_TRUE(channel.Start(talvex::CaptureSettings{40, 50, 640, 480}));
        ASSERT_TRUE(camera.WaitForRequests(c.configurationHangs ? 1 : 2, 20s)) << c.name;

        auto stopped = std::async(std::launch::async, [&] { channel.Stop(); });
        ASSERT_EQ(stopped.wait_for(30s), std::future_status::ready) << c.name;
        EXPECT_EQ(driver.Count("cannot be stopped"), 0u) << c.name;
        EXPECT_EQ(channel.GetState(), talvex::kChannelStopped) << c.name;
        EXPECT_EQ(camera.Requests().size(), c.configurationHangs ? 1u : 2u) << c.name;
    }
}

TEST(CMjpegHttpChannelTest, ACameraThatRefusesEveryLoginIsNotHammered) {
    // Many cameras lock an account after a few failed logins: while no
    // picture comes, attempts start at most once a second, counted over ten
    // seconds so that the reconnect pause is inside the window too.
    CLoopbackHttpServer camera;
    ASSERT_TRUE(camera.Listening());
    camera.SetHandler([](const SLoopbackRequest&) {
        SLoopbackReply reply;
        reply.status = 401;
        reply.reason = "Unauthorized";
        reply.headers = {"WWW-Authenticate: Basic realm=\"camera\""};
        return reply;
    });
    wftest::CFakeDriver driver;
    driver.device.Port = camera.Port();
    driver.device.UserName = "admin";
    driver.device.Password = "wrong";
    wftest::CHostFrameSink sink;
    talvex::CMjpegHttpChannel channel(0, &sink, &driver);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(channel.Start(talvex::CaptureSettings{40, 50, 640, 480}));
    std::this_thread::sleep_for(10s);
    channel.Stop();
    const auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    const auto requests = camera.Requests().size();
    EXPECT_GE(requests, 2u);
    EXPECT_LE(requests, static_cast<std::size_t>(elapsedMs / talvex::CBaseHttpChannel::kMinAttemptIntervalMs + 1));
}

}  // namespace
