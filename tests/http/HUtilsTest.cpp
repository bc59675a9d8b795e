#include "http/HUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CLoopbackHttpServer.h"
#include "http/CHttpSender.h"
#include "platform/PlatformSocket.h"

namespace {

using namespace talvex;

talvex::DEVICE_INFO Device(uint16_t port) {
    talvex::DEVICE_INFO device;
    device.Address = "127.0.0.1";
    device.Port = port;
    device.ConnectTimeout = 3000;
    return device;
}

SLoopbackReply Reply(int status, const std::string& body) {
    SLoopbackReply reply;
    reply.status = status;
    reply.body = body;
    return reply;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(HUtilsTest, JudgesEachAnswerOfTheDevice) {
    struct SCase {
        const char* name;
        SLoopbackReply reply;
        bool readBody;
        int32_t code;
        int32_t category;
        std::string messageTail;
        std::vector<uint8_t> body;
    };
    const SCase cases[] = {
        {"200 with a body", Reply(200, "A=1<br>"), true, kResultSuccess, kResultNoFault, "", {'A', '=', '1', '<', 'b', 'r', '>', 0}},
        {"200 with an empty body", Reply(200, ""), true, kResultEmptyBody, kResultDeviceAnsweredWrongly,
         "incorrect response for request \"/GetVer.cgi\" from 127.0.0.1:", {0}},
        {"204 without reading", Reply(204, ""), false, kResultSuccess, kResultNoFault, "", {}},
        {"299 counts as 2xx", Reply(299, "x"), true, kResultSuccess, kResultNoFault, "", {'x', 0}},
        {"404", Reply(404, "missing"), true, kResultStatusNotOk, kResultDeviceAnsweredWrongly,
         "does not process request \"/GetVer.cgi\", status code = 404", {}},
        {"503 without reading", Reply(503, ""), false, kResultStatusNotOk, kResultDeviceAnsweredWrongly,
         "status code = 503", {}},
    };
    CLoopbackHttpServer camera;
    Web::CHttpSender sender(Device(camera.Port()));
    for (const auto& c : cases) {
        camera.Enqueue(c.reply);
        std::vector<uint8_t> body{'o', 'l', 'd'};
        const CResultDef result = HUtils::RequestGetRD("/GetVer.cgi", body, sender, c.readBody);
        EXPECT_EQ(result.Code, c.code) << c.name;
        EXPECT_EQ(result.Category, c.category) << c.name;
        EXPECT_EQ(body, c.body) << c.name;
        if (c.code == kResultSuccess) {
            EXPECT_TRUE(result.Message.empty()) << c.name;
        } else {
            EXPECT_EQ(result.Message.rfind("talvex::HUtils::RequestGetRD: ", 0), 0u) << result.Message;
            EXPECT_NE(result.Message.find(c.messageTail), std::string::npos) << result.Message;
        }
    }
    const CResultDef notFound = [&] {
        camera.Enqueue(Reply(404, ""));
        std::vector<uint8_t> body;
        return HUtils::RequestGetRD("/x", body, sender, false);
    }();
    EXPECT_TRUE(EndsWith(notFound.Message, "404")) << notFound.Message;
}

TEST(HUtilsTest, ReportsAnUnreachableDeviceAsNotSent) {
    uint16_t port = 0;
    platform::CloseSocket(platform::ListenLoopback(port));  // nothing listens there any more
    Web::CHttpSender sender(Device(port));
    std::vector<uint8_t> body{'o', 'l', 'd'};
    const CResultDef result = HUtils::RequestGetRD("/GetVer.cgi", body, sender, true);
    EXPECT_EQ(result.Code, kResultNotSent);
    EXPECT_EQ(result.Category, kResultNoAnswer);
    EXPECT_EQ(result.Message, "talvex::HUtils::RequestGetRD: can not send request \"/GetVer.cgi\" to 127.0.0.1:" +
                                  std::to_string(port));
    EXPECT_TRUE(body.empty());
    EXPECT_FALSE(HUtils::RequestGetNoBody("/SetGPIO.cgi?Out1STA=1", sender));
}

TEST(HUtilsTest, BodyAndNoBodyRequestsReportSuccessAsTrue) {
    CLoopbackHttpServer camera;
    Web::CHttpSender sender(Device(camera.Port()));
    camera.Enqueue(Reply(200, "Device=HUNT<br>"));
    std::vector<uint8_t> body;
    EXPECT_TRUE(HUtils::RequestGetBody("/GetCameraType.cgi", body, sender));
    EXPECT_EQ(body.back(), 0);
    camera.Enqueue(Reply(200, ""));
    EXPECT_FALSE(HUtils::RequestGetBody("/GetCameraType.cgi", body, sender));
    camera.Enqueue(Reply(200, ""));
    EXPECT_TRUE(HUtils::RequestGetNoBody("/SetPTZ.cgi?Cmd=Stop", sender));
}

}  // namespace
