#include "base/DigestAuthorization.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace talvex;

TEST(DigestAuthorizationTest, AnswersTheRfc2617ExampleChallenge) {
    const auto challenge = ParseDigestChallenge(
        "realm=\"testrealm@host.com\", qop=\"auth,auth-int\", nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", "
        "opaque=\"5ccc069c403ebaf9f0171e9517f40e41\"");
    ASSERT_TRUE(challenge.has_value());
    EXPECT_TRUE(challenge->qopAuth);
    const std::string header =
        BuildDigestAuthorization(*challenge, "Mufasa", "Circle Of Life", "GET", "/dir/index.html", 1, "0a4f113b");
    EXPECT_NE(header.find("response=\"6629fae49393a05397450978507c4ef1\""), std::string::npos) << header;
    EXPECT_NE(header.find("nc=00000001"), std::string::npos);
    EXPECT_NE(header.find("opaque=\"5ccc069c403ebaf9f0171e9517f40e41\""), std::string::npos);
}

TEST(DigestAuthorizationTest, ParsesOrRefusesEachChallenge) {
    struct SCase {
        const char* name;
        const char* parameters;
        bool accepted;
    };
    const SCase cases[] = {
        {"minimal", "nonce=abc", true},
        {"md5-sess", "realm=\"r\", nonce=\"n\", algorithm=MD5-sess", true},
        {"no nonce", "realm=\"r\", qop=\"auth\"", false},
        {"sha-256 cannot be computed", "realm=\"r\", nonce=\"n\", algorithm=SHA-256", false},
        {"unterminated quote", "realm=\"r, nonce=\"n", false},
        {"empty", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDigestChallenge(c.parameters).has_value(), c.accepted) << c.name;
}

TEST(DigestAuthorizationTest, FallsBackToTheFormWithoutQopWhenTheServerOffersNone) {
    const auto challenge = ParseDigestChallenge("realm=\"r\", nonce=\"n\", stale=TRUE");
    ASSERT_TRUE(challenge.has_value());
    EXPECT_TRUE(challenge->stale);
    const std::string header = BuildDigestAuthorization(*challenge, "u", "p", "GET", "/x", 1, "c");
    EXPECT_EQ(header.find("qop="), std::string::npos);
    EXPECT_EQ(header.find("nc="), std::string::npos);
}

}  // namespace
