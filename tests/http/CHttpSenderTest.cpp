#include "http/CHttpSender.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "CLoopbackHttpServer.h"
#include "CRecordingLog.h"
#include "RunningUnderWine.h"
#include "base/DigestAuthorization.h"
#include "base/Md5.h"
#include "platform/PlatformSocket.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Web::CHttpSender;
using Web::HttpRequest;
using namespace talvex::platform;

constexpr const char* kUser = "admin";
constexpr const char* kPassword = "secret";
constexpr const char* kRealm = "camera";
constexpr const char* kNonce = "5f2a1c9d";

using wftest::RunningUnderWine;

talvex::DEVICE_INFO Device(uint16_t port, const std::string& user = kUser, uint32_t timeoutMs = 5000) {
    talvex::DEVICE_INFO device;
    device.Address = "127.0.0.1";
    device.Port = port;
    device.UserName = user;
    device.Password = kPassword;
    device.ConnectTimeout = timeoutMs;
    return device;
}

SLoopbackReply Reply(int status, const std::string& body = {}, std::vector<std::string> headers = {}) {
    SLoopbackReply reply;
    reply.status = status;
    reply.reason = status == 200 ? "OK" : "Status";
    reply.body = body;
    reply.headers = std::move(headers);
    return reply;
}

SLoopbackReply Challenge(const std::string& firstScheme) {
    const std::string digest = std::string("WWW-Authenticate: Digest realm=\"") + kRealm + "\", qop=\"auth\", nonce=\"" +
                               kNonce + "\"";
    const std::string basic = std::string("WWW-Authenticate: Basic realm=\"") + kRealm + "\"";
    return Reply(401, "denied", firstScheme == "Digest" ? std::vector<std::string>{digest, basic}
                                                        : std::vector<std::string>{basic, digest});
}

// The server side of Digest, computed independently of the client's builder
// from the parameters the client sent.
bool DigestIsValid(const SLoopbackRequest& request, const std::string& password) {
    const std::string header = request.Header("Authorization");
    if (header.rfind("Digest ", 0) != 0) return false;
    auto field = [&](const std::string& name) {
        const std::size_t at = header.find(name + "=");
        if (at == std::string::npos) return std::string();
        std::size_t start = at + name.size() + 1;
        const bool quoted = header[start] == '"';
        if (quoted) ++start;
        const std::size_t stop = header.find(quoted ? '"' : ',', start);
        return header.substr(start, stop == std::string::npos ? std::string::npos : stop - start);
    };
    if (field("username") != kUser || field("uri") != request.target || field("nonce") != kNonce) return false;
    const std::string ha1 = talvex::Md5Hex(std::string(kUser) + ":" + kRealm + ":" + password);
    const std::string ha2 = talvex::Md5Hex(request.method + ":" + request.target);
    const std::string expected =
        talvex::Md5Hex(ha1 + ":" + kNonce + ":" + field("nc") + ":" + field("cnonce") + ":" + field("qop") + ":" + ha2);
    return field("qop") == "auth" && field("response") == expected;
}

// A camera that wants Digest and names it first.
CLoopbackHttpServer::Handler DigestCamera(const std::string& password = kPassword) {
    return [password](const SLoopbackRequest& request) {
        return DigestIsValid(request, password) ? Reply(200, "VideoNum=1<br>") : Challenge("Digest");
    };
}

std::string SchemeOf(const SLoopbackRequest& request) {
    const std::string header = request.Header("Authorization");
    return header.substr(0, header.find(' '));
}

std::vector<std::string> SchemesOf(const std::vector<SLoopbackRequest>& requests) {
    std::vector<std::string> schemes;
    for (const auto& request : requests) schemes.push_back(SchemeOf(request));
    return schemes;
}

uint16_t RefusingPort() {
    uint16_t port = 0;
    SocketHandle listener = ListenLoopback(port);
    CloseSocket(listener);  // nothing listens there any more
    return port;
}

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class CHttpSenderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_camera.Listening()); }
    CLoopbackHttpServer m_camera;
};

TEST_F(CHttpSenderTest, LearnsDigestFromOne401AndSendsEveryLaterRequestStraightWithDigest) {
    if (RunningUnderWine()) GTEST_SKIP() << "Wine's WinHTTP does not answer Digest challenges";
    m_camera.SetHandler(DigestCamera());
    CHttpSender sender(Device(m_camera.Port()));

    ASSERT_TRUE(sender.Get("/GetCameraType.cgi"));
    EXPECT_EQ(sender.StatusCode(), 200u);
    EXPECT_EQ(sender.LearnedScheme(), kHttpAuthDigest);
    EXPECT_EQ(SchemesOf(m_camera.Requests()), (std::vector<std::string>{"Basic", "Digest"}));

    ASSERT_TRUE(sender.Get("/GetMultimedia.cgi?CH=0"));
    ASSERT_TRUE(sender.Get("/GetPTZ.cgi"));
    EXPECT_EQ(sender.StatusCode(), 200u);
    EXPECT_EQ(SchemesOf(m_camera.Requests()), (std::vector<std::string>{"Basic", "Digest", "Digest", "Digest"}));
    EXPECT_EQ(m_camera.Connections(), 1);  // one kept connection for all of them
}

TEST_F(CHttpSenderTest, WrongDigestCredentialsEndWithA401InsteadOfALoop) {
    m_camera.SetHandler(DigestCamera("another password"));
    CHttpSender sender(Device(m_camera.Port()));

    ASSERT_TRUE(sender.Get("/GetVer.cgi"));  // the answer to the learned scheme is the caller's to judge
    EXPECT_EQ(sender.StatusCode(), 401u);
    const std::size_t firstRound = m_camera.Requests().size();
    EXPECT_LE(firstRound, 3u);

    ASSERT_TRUE(sender.Get("/GetVer.cgi"));
    EXPECT_EQ(sender.StatusCode(), 401u);
    EXPECT_LE(m_camera.Requests().size() - firstRound, 2u);
}

TEST_F(CHttpSenderTest, FailsWhenTheDeviceRefusesTheSchemeItWasSentAndAnswersTheNextSendAsIs) {
    m_camera.SetHandler([](const SLoopbackRequest&) { return Challenge("Basic"); });
    CHttpSender sender(Device(m_camera.Port()));

    EXPECT_FALSE(sender.Get("/GetMAC.cgi"));
    EXPECT_EQ(m_camera.Requests().size(), 1u);
    EXPECT_EQ(sender.LearnedScheme(), kHttpAuthBasic);

    EXPECT_TRUE(sender.Get("/GetMAC.cgi"));
    EXPECT_EQ(sender.StatusCode(), 401u);
    EXPECT_EQ(m_camera.Requests().size(), 2u);
}

TEST_F(CHttpSenderTest, SendsBasicCredentialsPreemptively) {
    m_camera.SetHandler([](const SLoopbackRequest&) { return Reply(200, "ok"); });
    CHttpSender sender(Device(m_camera.Port()));
    ASSERT_TRUE(sender.Get("/GetNetwork.cgi"));
    const auto requests = m_camera.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Authorization"), "Basic YWRtaW46c2VjcmV0");  // admin:secret
    EXPECT_EQ(requests[0].target, "/GetNetwork.cgi");
    EXPECT_EQ(requests[0].method, "GET");
}

TEST_F(CHttpSenderTest, AnEmptyUserNameSendsNoCredentialsEvenAfterLearningAScheme) {
    m_camera.SetHandler([](const SLoopbackRequest&) { return Challenge("Digest"); });
    CHttpSender sender(Device(m_camera.Port(), ""));
    EXPECT_TRUE(sender.Get("/GetGPIO.cgi"));  // one more send, whose 401 is returned
    EXPECT_EQ(sender.StatusCode(), 401u);
    const auto requests = m_camera.Requests();
    EXPECT_EQ(requests.size(), 2u);
    for (const auto& request : requests) EXPECT_EQ(request.Header("Authorization"), "");

    CLoopbackHttpServer basicCamera;
    basicCamera.SetHandler([](const SLoopbackRequest&) { return Challenge("Basic"); });
    CHttpSender basicSender(Device(basicCamera.Port(), ""));
    EXPECT_FALSE(basicSender.Get("/GetGPIO.cgi"));
    EXPECT_EQ(basicCamera.Requests().size(), 1u);
}

TEST_F(CHttpSenderTest, GetDataSucceedsOnlyForANonEmptyBodyWithStatus200) {
    struct SCase {
        const char* name;
        SLoopbackReply reply;
        bool succeeds;
        std::string data;
    };
    const SCase cases[] = {
        {"200 with a body", Reply(200, "A=1<br>"), true, std::string("A=1<br>") + '\0'},
        {"200 with an empty body", Reply(200), false, ""},
        {"204", Reply(204), false, ""},
        {"206 with a body", Reply(206, "part"), false, "part"},
        {"404 with a body", Reply(404, "missing"), false, "missing"},
        {"500 with a body", Reply(500, "oops"), false, "oops"},
    };
    CHttpSender sender(Device(m_camera.Port()));
    for (const auto& c : cases) {
        m_camera.Enqueue(c.reply);
        std::vector<uint8_t> data{'x'};
        EXPECT_EQ(sender.GetData(data, "/page"), c.succeeds) << c.name;
        EXPECT_EQ(Text(data), c.data) << c.name;
    }
}

TEST_F(CHttpSenderTest, ContentLengthFollowsTheHeadAndKeepsItsValueWhenAHeadHasNoNumber) {
    CHttpSender sender(Device(m_camera.Port()));
    m_camera.Enqueue(Reply(200, "12345"));
    ASSERT_TRUE(sender.Get("/a"));
    EXPECT_EQ(sender.ContentLength(), 5u);

    SLoopbackReply chunked = Reply(200, "abc");
    chunked.mode = EReplyMode::Chunked;
    m_camera.Enqueue(chunked);
    ASSERT_TRUE(sender.Get("/b"));
    EXPECT_EQ(sender.ContentLength(), 5u);

    SLoopbackReply garbage = Reply(200, "", {"Content-Length: many"});
    garbage.mode = EReplyMode::NoLength;
    m_camera.Enqueue(garbage);
    // libcurl refuses a head whose body length it cannot tell, WinHTTP
    // accepts it; either way the text never becomes a length.
    sender.Get("/c");
    EXPECT_EQ(sender.ContentLength(), 5u);
}

TEST_F(CHttpSenderTest, ReadAllReturnsWhatArrivedOfATruncatedBody) {
    SLoopbackReply truncated = Reply(200, std::string(10000, 'b'));
    truncated.mode = EReplyMode::Truncated;
    truncated.truncateAt = 3000;
    m_camera.Enqueue(truncated);
    CHttpSender sender(Device(m_camera.Port()));
    ASSERT_TRUE(sender.Get("/cut"));
    std::vector<uint8_t> body;
    EXPECT_EQ(sender.ReadAll(body), 3000u);
    EXPECT_EQ(Text(body), std::string(3000, 'b'));
    EXPECT_EQ(sender.ReadChunk(body), 0u);
}

TEST_F(CHttpSenderTest, ReadAllTakesABodyUpToItsCapAndRefusesALongerOneWhole) {
    const std::size_t capBytes = 64 * 1024;
    SLoopbackReply endless = Reply(200);
    endless.mode = EReplyMode::Endless;
    const struct {
        const char* name;
        SLoopbackReply reply;
        std::size_t read;
    } cases[] = {
        {"exactly the cap", Reply(200, std::string(capBytes, 'a')), capBytes},
        {"one byte more", Reply(200, std::string(capBytes + 1, 'a')), 0},
        {"a body without end", endless, 0},
    };
    for (const auto& c : cases) {
        m_camera.Enqueue(c.reply);
        CHttpSender sender(Device(m_camera.Port()), capBytes);
        std::vector<uint8_t> body;
        ASSERT_TRUE(sender.Get("/GetVer.cgi")) << c.name;
        EXPECT_EQ(sender.ReadAll(body), c.read) << c.name;
        EXPECT_EQ(body.size(), c.read) << c.name;
        EXPECT_EQ(sender.BodyTooLarge(), c.read == 0) << c.name;
        EXPECT_EQ(sender.ReadChunk(body), 0u) << c.name;  // a refused body is gone, not half read
    }
    // Some MiB: more than any camera page, less than a 32-bit host may lack.
    EXPECT_EQ(CHttpSender::kMaxBodyBytes, 8u * 1024u * 1024u);
}

TEST_F(CHttpSenderTest, ANewSenderOfADeviceStartsWithTheSchemeAnEarlierOneWasTaught) {
    if (RunningUnderWine()) GTEST_SKIP() << "Wine's WinHTTP does not answer Digest challenges";
    m_camera.SetHandler(DigestCamera());
    const talvex::DEVICE_INFO device = Device(m_camera.Port());
    for (int sender = 0; sender < 3; ++sender) {
        CHttpSender fresh(device);  // each a copy of the same record, as the channels make them
        ASSERT_TRUE(fresh.Get("/SetMultimedia.cgi?CH=0")) << sender;
        EXPECT_EQ(fresh.StatusCode(), 200u) << sender;
    }
    const std::vector<std::string> schemes = SchemesOf(m_camera.Requests());
    ASSERT_FALSE(schemes.empty());
    EXPECT_EQ(schemes.front(), "Basic");  // the first request to a new device stays as it was
    for (std::size_t i = 1; i < schemes.size(); ++i) EXPECT_NE(schemes[i], "Basic") << "request " << i;

    // A record of another device (or a reopened driver) starts afresh.
    CHttpSender other(Device(m_camera.Port()));
    ASSERT_TRUE(other.Get("/GetVer.cgi"));
    EXPECT_EQ(SchemesOf(m_camera.Requests())[schemes.size()], "Basic");
}

TEST_F(CHttpSenderTest, AHostileChallengeCannotShapeTheNextHeaderLine) {
    if (RunningUnderWine()) GTEST_SKIP() << "WinHTTP answers Digest challenges itself";
    const struct {
        const char* name;
        std::string challenge;
        bool answered;  // with a Digest line
        bool logged;    // refused by the client, which says so (curl itself refuses a NUL in a head)
    } cases[] = {
        {"quotes and backslashes", R"(WWW-Authenticate: Digest realm="cam\"era\\", nonce="n\"1", qop="auth")", true, false},
        {"a bare CR in the realm", "WWW-Authenticate: Digest realm=\"cam\rX-Injected: 1\", nonce=\"n\", qop=\"auth\"",
         false, true},
        {"a NUL in the nonce", "WWW-Authenticate: Digest realm=\"r\", nonce=\"a\0b\""s, false, false},
    };
    for (const auto& c : cases) {
        CLoopbackHttpServer camera;
        ASSERT_TRUE(camera.Listening());
        camera.SetHandler([&](const SLoopbackRequest&) { return Reply(401, "denied", {c.challenge}); });
        wftest::CRecordingLog log;
        CHttpSender sender(Device(camera.Port()));
        sender.SetLog(&log);
        sender.Get("/GetVer.cgi");
        const auto requests = camera.Requests();
        ASSERT_FALSE(requests.empty()) << c.name;
        bool digestSent = false;
        for (const auto& request : requests) {
            EXPECT_EQ(request.Header("X-Injected"), "") << c.name;
            const std::string authorization = request.Header("Authorization");
            if (authorization.rfind("Digest ", 0) != 0) continue;
            digestSent = true;
            // The camera reads back exactly the realm and nonce it sent.
            EXPECT_NE(authorization.find(R"(realm="cam\"era\\")"), std::string::npos) << authorization;
            EXPECT_NE(authorization.find(R"(nonce="n\"1")"), std::string::npos) << authorization;
        }
        EXPECT_EQ(digestSent, c.answered) << c.name;
        EXPECT_EQ(log.Count("Web::CHttpSender::Send: Refused the Digest challenge of 127.0.0.1:" +
                            std::to_string(camera.Port()) + ": it carries a control character"),
                  c.logged ? requests.size() : 0u)
            << c.name;
        for (const auto& line : log.Lines()) EXPECT_EQ(line.level, 3) << line.text;
    }
}

TEST_F(CHttpSenderTest, AHeadThatNeverEndsFailsAfterTheResponseTimeOut) {
    if (RunningUnderWine()) GTEST_SKIP() << "WinHTTP bounds a head by its own size limit, not by this time-out";
    m_camera.Enqueue([] {
        SLoopbackReply reply = Reply(200);
        reply.mode = EReplyMode::EndlessHead;
        return reply;
    }());
    CHttpSender sender(Device(m_camera.Port(), kUser, 1000));
    // The head keeps coming; only its time-out as a whole can end the wait
    // (the deadline is far beyond that, not a measurement).
    auto send = std::async(std::launch::async, [&] { return sender.Get("/GetVer.cgi"); });
    const bool ended = send.wait_for(30s) == std::future_status::ready;
    if (!ended) sender.AbortRead();  // lets the test end either way
    ASSERT_TRUE(ended) << "the head kept the sender waiting";
    EXPECT_FALSE(send.get());
}

TEST_F(CHttpSenderTest, AHeadIsTakenUpToSixtyFourKibibytesAndRefusedBeyond) {
    if (RunningUnderWine()) GTEST_SKIP() << "WinHTTP bounds a head by its own size limit";
    // Many 1 KiB header lines, sent at once: only the size of the whole head
    // can refuse them, never the time-out.
    const std::string filler(1000, 'x');
    for (const int lines : {56, 72}) {
        std::vector<std::string> headers;
        for (int i = 0; i < lines; ++i) headers.push_back("X-Filler-" + std::to_string(i) + ": " + filler);
        m_camera.Enqueue(Reply(200, "Model=HLC_79M\r\n", headers));
        CHttpSender sender(Device(m_camera.Port(), kUser, 20000));
        const auto start = std::chrono::steady_clock::now();
        const bool taken = sender.Get("/GetCameraType.cgi");
        EXPECT_EQ(taken, lines * 1000 < 64 * 1024) << lines << " lines";
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << lines << " lines";
    }
}

TEST_F(CHttpSenderTest, ReadChunkDeliversALongChunkedBodyInPiecesOfAtMostChunkSize) {
    std::string body;
    for (int i = 0; i < 200000; ++i) body += static_cast<char>('a' + i % 26);
    SLoopbackReply chunked = Reply(200, body);
    chunked.mode = EReplyMode::Chunked;
    chunked.chunkBytes = 7000;
    m_camera.Enqueue(chunked);

    CHttpSender sender(Device(m_camera.Port()));
    sender.SetChunkSize(1024);
    ASSERT_TRUE(sender.Get("/GetStream.cgi?Video=0"));
    std::string received;
    std::vector<uint8_t> chunk;
    while (sender.ReadChunk(chunk) > 0) {
        ASSERT_LE(chunk.size(), 1024u);
        received += Text(chunk);
    }
    EXPECT_EQ(received, body);
}

TEST_F(CHttpSenderTest, ReadChunkPullsAnEndlessStreamWithoutLosingOrHoardingBytes) {
    SLoopbackReply endless = Reply(200);
    endless.mode = EReplyMode::Endless;
    m_camera.Enqueue(endless);
    CHttpSender sender(Device(m_camera.Port()));
    sender.SetChunkSize(4096);
    ASSERT_TRUE(sender.Get("/GetStream.cgi?Video=0"));

    uint64_t position = 0;
    std::vector<uint8_t> chunk;
    for (int read = 0; read < 500; ++read) {
        ASSERT_GT(sender.ReadChunk(chunk), 0u);
        ASSERT_LE(chunk.size(), 4096u);
        for (uint8_t byte : chunk) ASSERT_EQ(byte, CLoopbackHttpServer::EndlessByteAt(position++));
    }
    // A reader that held the whole stream would have let the camera write
    // far beyond what was read; socket buffers allow a few MiB at most.
    EXPECT_LT(m_camera.EndlessBytesSent(), position + 32u * 1024u * 1024u);
}

TEST_F(CHttpSenderTest, AbortReadFromAnotherThreadEndsABlockedRead) {
    if (RunningUnderWine()) GTEST_SKIP() << "Wine's WinHTTP does not cancel a blocked read when its handle is closed";
    SLoopbackReply silent = Reply(200);
    silent.mode = EReplyMode::HeadThenHold;
    m_camera.Enqueue(silent);
    CHttpSender sender(Device(m_camera.Port(), kUser, 60000));
    ASSERT_TRUE(sender.Get("/GetStream.cgi?Video=0"));

    const auto start = std::chrono::steady_clock::now();
    std::size_t read = 1;
    std::thread reader([&] {
        std::vector<uint8_t> chunk;
        read = sender.ReadChunk(chunk);
    });
    sender.AbortRead();
    reader.join();
    EXPECT_EQ(read, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);

    // The abort holds until the owner lifts it, then the sender works again.
    std::vector<uint8_t> data;
    EXPECT_FALSE(sender.GetData(data, "/GetVer.cgi"));
    sender.ResetAbort();
    m_camera.Enqueue(Reply(200, "after"));
    EXPECT_TRUE(sender.GetData(data, "/GetVer.cgi"));
}

TEST_F(CHttpSenderTest, AnAbortBeforeTheRequestEndsItToo) {
    // An abort that lands while no request is open (between two requests,
    // or while one is replaced) must not be lost: the next one fails at once.
    SLoopbackReply silent = Reply(200);
    silent.mode = EReplyMode::Hold;
    m_camera.Enqueue(silent);
    CHttpSender sender(Device(m_camera.Port(), kUser, 60000));
    sender.AbortRead();
    EXPECT_FALSE(sender.Get("/SetMultimedia.cgi?CH=0"));
    std::vector<uint8_t> chunk;
    EXPECT_EQ(sender.ReadChunk(chunk), 0u);
    EXPECT_TRUE(m_camera.Requests().empty());
}

TEST_F(CHttpSenderTest, ReadChunkGivesUpAfterTheReceiveTimeOut) {
    SLoopbackReply silent = Reply(200);
    silent.mode = EReplyMode::HeadThenHold;
    m_camera.Enqueue(silent);
    CHttpSender sender(Device(m_camera.Port(), kUser, 300));
    ASSERT_TRUE(sender.Get("/GetStream.cgi?Video=0"));
    std::vector<uint8_t> chunk;
    EXPECT_EQ(sender.ReadChunk(chunk), 0u);
}

TEST_F(CHttpSenderTest, SendFailsWithoutAnAnswer) {
    struct SCase {
        const char* name;
        EReplyMode mode;
    };
    const SCase cases[] = {{"connection closed without a reply", EReplyMode::Close},
                           {"no reply within the time-out", EReplyMode::Hold}};
    for (const auto& c : cases) {
        SLoopbackReply reply = Reply(200);
        reply.mode = c.mode;
        m_camera.Enqueue(reply);
        CHttpSender sender(Device(m_camera.Port(), kUser, 500));
        EXPECT_FALSE(sender.Get("/GetVer.cgi")) << c.name;
        EXPECT_EQ(sender.StatusCode(), 0u) << c.name;
        std::vector<uint8_t> chunk;
        EXPECT_EQ(sender.ReadChunk(chunk), 0u) << c.name;  // a failed send leaves no request open
    }
}

TEST_F(CHttpSenderTest, SendFailsWhenNothingListens) {
    CHttpSender sender(Device(RefusingPort()));
    EXPECT_FALSE(sender.Get("/GetVer.cgi"));
    EXPECT_EQ(sender.StatusCode(), 0u);
    std::vector<uint8_t> data;
    EXPECT_FALSE(sender.GetData(data, "/GetVer.cgi"));
    EXPECT_TRUE(data.empty());
}

TEST_F(CHttpSenderTest, AnswersARedirectToTheCallerWhenRedirectsAreOff) {
    m_camera.Enqueue(Reply(302, "", {"Location: /elsewhere"}));
    CHttpSender sender(Device(m_camera.Port()));
    ASSERT_TRUE(sender.Get("/GetVer.cgi"));
    EXPECT_EQ(sender.StatusCode(), 302u);
    EXPECT_EQ(m_camera.Requests().size(), 1u);
}

TEST_F(CHttpSenderTest, SendsTheRequestsVerbHeadersBodyAndQueryAsGiven) {
    m_camera.SetHandler([](const SLoopbackRequest&) { return Reply(200, "ok"); });
    CHttpSender sender(Device(m_camera.Port()));
    HttpRequest request("POST", "/SetPTZ.cgi?CH=1&Cmd=Left");
    request.Headers = {"X-Camera: one", "X-Camera: two"};
    request.Body = {'a', 'b', 'c'};
    ASSERT_TRUE(sender.Send(request));
    const auto requests = m_camera.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].target, "/SetPTZ.cgi?CH=1&Cmd=Left");
    EXPECT_EQ(requests[0].Header("X-Camera"), "two");  // a later line replaces an earlier one
    EXPECT_EQ(requests[0].body, "abc");
}

TEST_F(CHttpSenderTest, RefusesARequestWithoutVerbOrPath) {
    CHttpSender sender(Device(m_camera.Port()));
    EXPECT_FALSE(sender.Send(HttpRequest("", "/a")));
    EXPECT_FALSE(sender.Send(HttpRequest("GET", "")));
    EXPECT_TRUE(m_camera.Requests().empty());
}

TEST(HttpRequestTest, TurnsEachAuthSchemeValueIntoItsScheme) {
    struct SCase {
        int32_t value;
        uint32_t scheme;
    };
    const SCase cases[] = {{0, kHttpAuthBasic},     {1, kHttpAuthNtlm},      {2, kHttpAuthPassport},
                           {3, kHttpAuthDigest},    {4, kHttpAuthNegotiate}, {7, kHttpAuthNegotiate},
                           {8, kHttpAuthBasic}};
    for (const auto& c : cases) EXPECT_EQ(Web::AuthSchemeKind(c.value), c.scheme) << c.value;
    const HttpRequest request("GET", "/GetVer.cgi");
    EXPECT_EQ(request.Flags, 5);
    EXPECT_EQ(request.AuthScheme, 0);
    EXPECT_EQ(request.Secure, 0);
}

}  // namespace
