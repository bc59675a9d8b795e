// The HTTP client against the simulated camera: authentication learning as
// the camera's request log records it, and the CGI request judgement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CCamSimControl.h"
#include "CCamSimProcess.h"
#include "http/CHttpSender.h"
#include "http/HUtils.h"
#include "platform/PlatformHttp.h"

namespace {

using Web::CHttpSender;

talvex::DEVICE_INFO Device(int port, const std::string& user, const std::string& password) {
    talvex::DEVICE_INFO device;
    device.Address = "127.0.0.1";
    device.Port = static_cast<uint16_t>(port);
    device.UserName = user;
    device.Password = password;
    device.ConnectTimeout = 5000;
    return device;
}

// The scheme word of each logged camera page request ("" without credentials).
std::vector<std::string> LoggedSchemes(const CCamSimControl& control) {
    std::vector<std::string> schemes;
    for (const SCamSimRequest& request : control.Requests()) {
        if (request.protocol != "http") continue;
        schemes.push_back(request.authorization.substr(0, request.authorization.find(' ')));
    }
    return schemes;
}

class HttpSenderCamSimTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_camera.Started()) << m_camera.Error(); }

    CCamSimProcess m_camera{{"--http-auth", "digest", "--user", "admin", "--password", "secret"}};
    CCamSimControl m_control{m_camera.ControlPort()};
};

TEST_F(HttpSenderCamSimTest, ABasicSenderLearnsDigestOnceAndThenSendsDigestStraightAway) {
    CHttpSender sender(Device(m_camera.HttpPort(), "admin", "secret"));
    std::vector<uint8_t> body;
    ASSERT_TRUE(sender.GetData(body, "/GetCameraType.cgi"));
    EXPECT_EQ(sender.LearnedScheme(), talvex::platform::kHttpAuthDigest);
    ASSERT_TRUE(sender.GetData(body, "/GetMultimedia.cgi?CH=0"));
    ASSERT_TRUE(sender.GetData(body, "/GetVer.cgi"));
    EXPECT_EQ(LoggedSchemes(m_control), (std::vector<std::string>{"Basic", "Digest", "Digest", "Digest"}));
}

TEST_F(HttpSenderCamSimTest, WrongCredentialsFailWithoutALoop) {
    CHttpSender sender(Device(m_camera.HttpPort(), "admin", "wrong"));
    std::vector<uint8_t> body;
    EXPECT_FALSE(sender.GetData(body, "/GetCameraType.cgi"));
    EXPECT_EQ(sender.StatusCode(), 401u);
    EXPECT_FALSE(talvex::HUtils::RequestGetBody("/GetVer.cgi", body, sender));
    EXPECT_LE(LoggedSchemes(m_control).size(), 5u);
}

TEST_F(HttpSenderCamSimTest, AnEmptyUserNameSendsNoCredentials) {
    CHttpSender sender(Device(m_camera.HttpPort(), "", ""));
    std::vector<uint8_t> body;
    EXPECT_FALSE(sender.GetData(body, "/GetCameraType.cgi"));
    const std::vector<std::string> schemes = LoggedSchemes(m_control);
    ASSERT_FALSE(schemes.empty());
    for (const std::string& scheme : schemes) EXPECT_EQ(scheme, "");
}

TEST_F(HttpSenderCamSimTest, RequestGetRdJudgesForcedStatusesAndAnUnreachableCamera) {
    CHttpSender sender(Device(m_camera.HttpPort(), "admin", "secret"));
    std::vector<uint8_t> body;
    talvex::CResultDef result = talvex::HUtils::RequestGetRD("/GetCameraType.cgi", body, sender, true);
    EXPECT_EQ(result.Code, talvex::kResultSuccess) << result.Message;

    ASSERT_TRUE(m_control.FailNext(404));
    result = talvex::HUtils::RequestGetRD("/GetCameraType.cgi", body, sender, true);
    EXPECT_EQ(result.Code, talvex::kResultStatusNotOk);
    EXPECT_NE(result.Message.find("status code = 404"), std::string::npos) << result.Message;

    ASSERT_TRUE(m_control.SetReachable(false));
    CHttpSender freshSender(Device(m_camera.HttpPort(), "admin", "secret"));
    result = talvex::HUtils::RequestGetRD("/GetCameraType.cgi", body, freshSender, true);
    EXPECT_EQ(result.Code, talvex::kResultNotSent);
    EXPECT_EQ(result.Category, talvex::kResultNoAnswer);
}

}  // namespace
