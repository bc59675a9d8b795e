#include "CHttpAuthenticator.h"

#include <gtest/gtest.h>

#include <map>

namespace camsim {
namespace {

using EVerdict = CHttpAuthenticator::EVerdict;

std::string Between(const std::string& text, const std::string& before, const std::string& after) {
    const auto start = text.find(before);
    if (start == std::string::npos) return {};
    const auto from = start + before.size();
    return text.substr(from, text.find(after, from) - from);
}

struct SDigestFixture {
    std::int64_t now = 1000;
    CHttpAuthenticator auth{EAuthMode::Digest, "admin", "secret", "IP Camera", [this] { return now; }};

    // What a client that read the challenge sends (qop=auth when cnonce is given).
    std::string Answer(const std::string& method, const std::string& uri, const std::string& password = "secret",
                       const std::string& cnonce = "0a4f113b") {
        const std::string challenge = auth.Challenge();
        const std::string nonce = Between(challenge, "nonce=\"", "\"");
        const std::string ha1 = Md5Hex("admin:IP Camera:" + password);
        const std::string ha2 = Md5Hex(method + ":" + uri);
        std::string header = "Digest username=\"admin\", realm=\"IP Camera\", nonce=\"" + nonce + "\", uri=\"" + uri + "\"";
        if (cnonce.empty())
            return header + ", response=\"" + Md5Hex(ha1 + ":" + nonce + ":" + ha2) + "\"";
        return header + ", qop=auth, nc=00000001, cnonce=\"" + cnonce + "\", response=\"" +
               Md5Hex(ha1 + ":" + nonce + ":00000001:" + cnonce + ":auth:" + ha2) + "\"";
    }
};

TEST(CHttpAuthenticatorTest, Md5MatchesTheRfc1321TestSuite) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(CHttpAuthenticatorTest, DigestAcceptsTheRightPasswordWithAndWithoutQop) {
    SDigestFixture f;
    EXPECT_EQ(f.auth.Check("GET", "/GetVer.cgi", f.Answer("GET", "/GetVer.cgi")).verdict, EVerdict::Allowed);
    EXPECT_EQ(f.auth.Check("GET", "/GetVer.cgi", f.Answer("GET", "/GetVer.cgi", "secret", "")).verdict,
              EVerdict::Allowed);
}

TEST(CHttpAuthenticatorTest, DigestRefusesWrongOrForeignCredentialsWithAChallenge) {
    SDigestFixture f;
    const auto wrong = f.auth.Check("GET", "/GetVer.cgi", f.Answer("GET", "/GetVer.cgi", "guess"));
    EXPECT_EQ(wrong.verdict, EVerdict::Challenge);
    EXPECT_NE(wrong.challenge.find("Digest realm=\"IP Camera\", qop=\"auth\""), std::string::npos);
    EXPECT_EQ(f.auth.Check("GET", "/GetVer.cgi", "").verdict, EVerdict::Challenge);
    EXPECT_EQ(f.auth.Check("GET", "/GetVer.cgi", "Basic YWRtaW46c2VjcmV0").verdict, EVerdict::Challenge);
    std::string forged = f.Answer("GET", "/GetVer.cgi");
    forged.replace(forged.find("nonce=\"") + 7, 4, "9999");
    EXPECT_EQ(f.auth.Check("GET", "/GetVer.cgi", forged).verdict, EVerdict::Challenge);
}

TEST(CHttpAuthenticatorTest, DigestRejectsMalformedHeadersAndReplaysOnOtherPages) {
    SDigestFixture f;
    EXPECT_EQ(f.auth.Check("GET", "/GetMAC.cgi", f.Answer("GET", "/GetVer.cgi")).verdict, EVerdict::BadRequest);
    EXPECT_EQ(f.auth.Check("GET", "/x", "Digest username=\"admin").verdict, EVerdict::BadRequest);
    EXPECT_EQ(f.auth.Check("GET", "/x", "Digest garbage").verdict, EVerdict::BadRequest);
    EXPECT_EQ(f.auth.Check("GET", "/x", "Digest username=admin, uri=/x").verdict, EVerdict::BadRequest);
}

TEST(CHttpAuthenticatorTest, DigestAnswersAnOldNonceAsStaleNotAsAWrongPassword) {
    SDigestFixture f;
    const std::string answer = f.Answer("GET", "/GetVer.cgi");
    f.now += CHttpAuthenticator::kNonceLifetimeSec + 1;
    const auto result = f.auth.Check("GET", "/GetVer.cgi", answer);
    EXPECT_EQ(result.verdict, EVerdict::Challenge);
    EXPECT_NE(result.challenge.find("stale=true"), std::string::npos);
}

TEST(CHttpAuthenticatorTest, BasicChecksUserAndPassword) {
    CHttpAuthenticator auth(EAuthMode::Basic, "admin", "secret", "IP Camera");
    EXPECT_EQ(auth.Check("GET", "/", "Basic YWRtaW46c2VjcmV0").verdict, EVerdict::Allowed);  // admin:secret
    EXPECT_EQ(auth.Check("GET", "/", "basic YWRtaW46c2VjcmV0").verdict, EVerdict::Allowed);
    const auto wrong = auth.Check("GET", "/", "Basic YWRtaW46Z3Vlc3M=");  // admin:guess
    EXPECT_EQ(wrong.verdict, EVerdict::Challenge);
    EXPECT_EQ(wrong.challenge, "Basic realm=\"IP Camera\"");
    EXPECT_EQ(auth.Check("GET", "/", "Basic !!!not base64").verdict, EVerdict::Challenge);
    EXPECT_EQ(CHttpAuthenticator(EAuthMode::None, "", "", "r").Check("GET", "/", "").verdict, EVerdict::Allowed);
}

}  // namespace
}  // namespace camsim
