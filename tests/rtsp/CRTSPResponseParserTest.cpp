#include "rtsp/CRTSPResponseParser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using talvex::CRTSPResponseParser;

std::string Response(const std::string& headers, const std::string& body = {}) {
    std::string text = "RTSP/1.0 200 OK\r\nCSeq: 3\r\n" + headers;
    if (!body.empty())
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return text + "\r\n" + body;
}

struct SHeaderCase {
    const char* name;
    std::string response;
    bool accepted;
    std::string sessionId;
    uint32_t sessionTimeout;  // starts at 60 for every case
    std::string contentBase;
};

TEST(CRTSPResponseParserTest, StatusLineAndHeaders) {
    const SHeaderCase cases[] = {
        {"404 refused", "RTSP/1.0 404 Not Found\r\nCSeq: 3\r\n\r\n", false, "", 60, ""},
        {"empty first line", "\r\nCSeq: 3\r\n\r\n", false, "", 60, ""},
        {"status without number", "RTSP/1.0 OK\r\n\r\n", false, "", 60, ""},
        {"cseq without space", "RTSP/1.0 200 OK\r\ncseq:7\r\n\r\n", true, "", 60, ""},
        {"cseq without value", "RTSP/1.0 200 OK\r\nCSeq:\r\n\r\n", false, "", 60, ""},
        {"no empty line, no body", "RTSP/1.0 200 OK\r\nCSeq: 3\r\n", true, "", 60, ""},
        {"session timeout 0 means 30", Response("Session: 4F2A;timeout=0\r\n"), true, "4F2A", 30, ""},
        {"session timeout", Response("Session: 4F2A;timeout=90\r\n"), true, "4F2A", 90, ""},
        {"session alone keeps timeout", Response("Session: 4F2A\r\n"), true, "4F2A", 60, ""},
        {"session without space", Response("Session:4F2A\r\n"), false, "", 60, ""},
        {"session huge timeout", Response("Session: 7;timeout=99999999999\r\n"), true, "7", 30, ""},
        {"content-base absolute", Response("Content-Base: rtsp://cam/live/\r\n"), true, "", 60, "rtsp://cam/live/"},
        {"content-base relative ignored", Response("Content-Base: live/\r\n"), true, "", 60, ""},
        {"content-base lower case fails", Response("content-base: rtsp://cam/\r\n"), false, "", 60, ""},
        {"content-type without value", Response("Content-Type:\r\n"), false, "", 60, ""},
        {"ignored headers", Response("Date: x\r\nServer: y\r\nRange: npt=0-\r\nRTP-Info: url=z\r\nX-Other\r\n"), true,
         "", 60, ""},
        {"header without value", Response("Transport\r\n"), true, "", 60, ""},
        {"content-length malformed", "RTSP/1.0 200 OK\r\nContent-Length: 12x\r\n\r\n", false, "", 60, ""},
        {"content-length negative", "RTSP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n", false, "", 60, ""},
        {"content-length beyond limit", "RTSP/1.0 200 OK\r\nContent-Length: 65537\r\n\r\n", false, "", 60, ""},
        {"content-length overflow", "RTSP/1.0 200 OK\r\nContent-Length: 18446744073709551617\r\n\r\n", false, "",
         60, ""},
        {"body without head end", "RTSP/1.0 200 OK\r\nContent-Length: 5\r\n", false, "", 60, ""},
    };
    for (const SHeaderCase& c : cases) {
        CRTSPResponseParser parser;
        parser.SessionTimeout = 60;
        EXPECT_EQ(parser.Parse(c.response, talvex::RTSP_SETUP), c.accepted) << c.name;
        if (c.accepted) {
            EXPECT_EQ(parser.SessionId, c.sessionId) << c.name;
            EXPECT_EQ(parser.SessionTimeout, c.sessionTimeout) << c.name;
            EXPECT_EQ(parser.ContentBase, c.contentBase) << c.name;
        }
    }
}

TEST(CRTSPResponseParserTest, RecordPersistsAcrossResponsesUntilReset) {
    CRTSPResponseParser parser;
    ASSERT_TRUE(parser.Parse(Response("Session: AB;timeout=40\r\nContent-Type: application/sdp\r\n"), talvex::RTSP_SETUP));
    ASSERT_TRUE(parser.Parse("RTSP/1.0 200 OK\r\nCSeq: 9\r\n\r\n", talvex::RTSP_PLAY));
    EXPECT_EQ(parser.CSeq, 9u);
    EXPECT_EQ(parser.SessionId, "AB");
    EXPECT_EQ(parser.SessionTimeout, 40u);
    EXPECT_EQ(parser.ContentType, "application/sdp");
    parser.Reset();
    EXPECT_EQ(parser.SessionId, "");
    EXPECT_EQ(parser.CSeq, 0u);
}

TEST(CRTSPResponseParserTest, WwwAuthenticateForms) {
    struct SCase {
        const char* header;
        bool accepted;
        uint32_t scheme;
        std::string realm;
        std::string nonce;
    };
    const SCase cases[] = {
        {"WWW-Authenticate: Basic realm=\"cam\"", true, 1, "cam", ""},
        {"WWW-Authenticate: Digest realm=\"cam\", nonce=\"abc\"", true, 2, "cam", "abc"},
        {"WWW-Authenticate: Digest realm=\"cam\", nonce=\"abc\", qop=\"auth\"", true, 2, "cam", "abc"},
        {"WWW-Authenticate: Digest realm=\"cam\"", false, 2, "cam", ""},
        {"WWW-Authenticate: Bearer x", false, 0, "", ""},
        {"WWW-Authenticate: Digest", false, 0, "", ""},
        {"WWW-Authenticate:Digest realm=\"a\", nonce=\"b\"", false, 0, "", ""},
        {"www-authenticate: Digest realm=\"a\", nonce=\"b\"", false, 0, "", ""},
    };
    for (const SCase& c : cases) {
        CRTSPResponseParser parser;
        const std::string text = "RTSP/1.0 401 Unauthorized\r\nCSeq: 1\r\n" + std::string(c.header) + "\r\n\r\n";
        EXPECT_EQ(parser.Parse(text, talvex::RTSP_DESCRIBE), c.accepted) << c.header;
        EXPECT_EQ(parser.AuthScheme, c.scheme) << c.header;
        if (c.accepted) {
            EXPECT_EQ(parser.Realm, c.realm) << c.header;
            EXPECT_EQ(parser.Nonce, c.nonce) << c.header;
        }
    }
    // Several challenges: the last one decides.
    CRTSPResponseParser parser;
    ASSERT_TRUE(parser.Parse("RTSP/1.0 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"r\", nonce=\"n\"\r\n"
                             "WWW-Authenticate: Basic realm=\"r\"\r\n\r\n",
                             talvex::RTSP_DESCRIBE));
    EXPECT_EQ(parser.AuthScheme, 1u);
}

constexpr char kSps[] = "Z0IAKeKQFAe2AtwEBAaQeJEV";
constexpr char kPps[] = "aM48gA==";

TEST(CRTSPResponseParserTest, SessionDescriptionForms) {
    struct SCase {
        const char* name;
        std::string sdp;
        bool accepted;
        std::string videoControl;
        bool parameterSets;
        std::size_t configBytes;
    };
    const std::string sets = std::string("sprop-parameter-sets=") + kSps + "," + kPps;
    const SCase cases[] = {
        {"no fmtp", "v=0\r\nm=video 0 RTP/AVP 96\r\na=control:trackID=1\r\n", true, "trackID=1", false, 0},
        {"fmtp without parameter sets",
         "m=video 0 RTP/AVP 96\r\na=fmtp:96 packetization-mode=1;profile-level-id=42001f\r\na=control:v\r\n", true,
         "v", false, 0},
        {"parameter sets after others", "m=video 0 RTP/AVP 96\r\na=fmtp:96 packetization-mode=1; " + sets + "\r\n",
         true, "", true, 0},
        {"parameter sets first on the line", "m=video 0 RTP/AVP 96\r\na=fmtp:96 " + sets + ";packetization-mode=1\r\n",
         true, "", true, 0},
        {"mpeg-4 config", "m=video 0 RTP/AVP 96\na=fmtp:96 profile-level-id=1;config=000001B0F5\na=control:t", true,
         "t", false, 5},
        {"one parameter set only", "m=video 0 RTP/AVP 96\r\na=fmtp:96 sprop-parameter-sets=" + std::string(kSps),
         false, "", false, 0},
        {"parameter set too long", "m=video 0 RTP/AVP 96\r\na=fmtp:96 sprop-parameter-sets=" +
                                       std::string(344, 'A') + "," + kPps, false, "", false, 0},
        {"fmtp before any media", "v=0\r\na=fmtp:96 config=00\r\nm=video 0 RTP/AVP 96\r\n", false, "", false, 0},
        {"fmtp under audio ignored", "m=audio 0 RTP/AVP 0\r\na=fmtp:0 nonsense\r\nm=video 0 RTP/AVP 96\r\na=control:x",
         true, "x", false, 0},
        {"empty media line", "m=\r\n", false, "", false, 0},
        {"control without value", "m=video 0 RTP/AVP 96\r\na=control:\r\n", false, "", false, 0},
        {"session-level control", "a=control:*\r\nm=video 0 RTP/AVP 96\r\n", true, "", false, 0},
        {"no body", "", true, "", false, 0},
    };
    for (const SCase& c : cases) {
        CRTSPResponseParser parser;
        EXPECT_EQ(parser.Parse(Response("Content-Type: application/sdp\r\n", c.sdp), talvex::RTSP_DESCRIBE),
                  c.accepted)
            << c.name;
        if (!c.accepted)
            continue;
        EXPECT_EQ(parser.VideoControl, c.videoControl) << c.name;
        EXPECT_EQ(!parser.CodecParameters.Sps.empty() && !parser.CodecParameters.Pps.empty(), c.parameterSets)
            << c.name;
        EXPECT_EQ(parser.CodecParameters.Config.size(), c.configBytes) << c.name;
    }
}

TEST(CRTSPResponseParserTest, MediaSectionsKeepTheirOwnFields) {
    CRTSPResponseParser parser;
    const std::string sdp = "v=0\r\nm=video 0 RTP/AVP 96\r\na=control:trackID=1\r\nm=audio 0 RTP/AVP 8\r\n"
                            "a=control:trackID=2\r\nm=application 0 RTP/AVP 107\r\na=control:trackID=3";
    ASSERT_TRUE(parser.Parse(Response("", sdp), talvex::RTSP_DESCRIBE));
    EXPECT_EQ(parser.VideoTransport, "RTP/AVP");
    EXPECT_EQ(parser.AudioControl, "trackID=2");
    EXPECT_EQ(parser.DataControl, "trackID=3");
    // Only DESCRIBE reads the body as SDP.
    CRTSPResponseParser other;
    ASSERT_TRUE(other.Parse(Response("", sdp), talvex::RTSP_SETUP));
    EXPECT_EQ(other.VideoControl, "");
}

TEST(CRTSPResponseParserTest, DecodeBase64) {
    struct SCase {
        std::string text;
        std::size_t capacity;
        bool accepted;
        std::size_t total;
    };
    const SCase cases[] = {
        {"", 4, true, 0},       {"aM48gA==", 8, true, 4}, {"aM4 8g\r\nA", 8, true, 4},
        {"aM48gA==", 3, false, 4}, {std::string(344, 'A'), 256, false, 258}, {"QQ", 1, true, 1},
    };
    for (const SCase& c : cases) {
        std::vector<uint8_t> out(c.capacity + 1, 0xEE);
        std::size_t size = c.capacity;
        EXPECT_EQ(CRTSPResponseParser::DecodeBase64(c.text.data(), c.text.size(), out.data(), &size), c.accepted)
            << c.text;
        EXPECT_EQ(size, c.total) << c.text;
        EXPECT_EQ(out[c.capacity], 0xEE) << "wrote past the capacity: " << c.text;
    }
    std::vector<uint8_t> out(4);
    std::size_t size = out.size();
    CRTSPResponseParser::DecodeBase64("aM48gA==", 8, out.data(), &size);
    EXPECT_EQ(out, (std::vector<uint8_t>{0x68, 0xCE, 0x3C, 0x80}));
    EXPECT_FALSE(CRTSPResponseParser::DecodeBase64(nullptr, 0, out.data(), &size));
}

}  // namespace
