#include "base/DigestAuthorization.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace talvex;
using namespace std::string_literals;

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

// The quoted value of name in an Authorization line, read the way a camera
// reads it: a backslash takes the next character as it is.
std::string QuotedValueOf(const std::string& line, const std::string& name) {
    const std::size_t start = line.find(" " + name + "=\"");
    if (start == std::string::npos) return "<absent>";
    std::string value;
    for (std::size_t pos = start + name.size() + 3; pos < line.size(); ++pos) {
        if (line[pos] == '"') return value;
        if (line[pos] == '\\' && pos + 1 < line.size()) ++pos;
        value.push_back(line[pos]);
    }
    return "<unterminated>";
}

TEST(DigestAuthorizationTest, HostileChallengesAreQuotedBackOrRefused) {
    const std::string longest(kMaxDigestValueBytes, 'n');
    struct SCase {
        const char* name;
        std::string parameters;
        EDigestRefusal refusal;
        std::string realm, nonce, opaque;  // as the camera reads them back
    };
    const SCase cases[] = {
        {"quote in the realm", R"(realm="a\"b", nonce="n")", EDigestRefusal::None, "a\"b", "n", "<absent>"},
        {"backslash at the end of the nonce", R"(realm="r", nonce="n\\")", EDigestRefusal::None, "r", "n\\", "<absent>"},
        {"header text smuggled into the opaque", R"(nonce="n", opaque="x\", evil=\"1")", EDigestRefusal::None, "",
         "n", "x\", evil=\"1"},
        {"the longest value taken", "nonce=\"" + longest + "\"", EDigestRefusal::None, "", longest, "<absent>"},
        {"a value one byte longer", "nonce=\"" + longest + "n\"", EDigestRefusal::OverlongValue, "", "", ""},
        {"bare CR in the realm", "realm=\"a\rInjected: 1\", nonce=\"n\"", EDigestRefusal::ControlCharacter, "", "", ""},
        {"LF in the nonce", "nonce=\"n\nX: y\"", EDigestRefusal::ControlCharacter, "", "", ""},
        {"NUL in the opaque", "nonce=\"n\", opaque=\"a\0b\""s, EDigestRefusal::ControlCharacter, "",
         "", ""},
        {"DEL in the realm", "realm=\"a\x7F\", nonce=\"n\"", EDigestRefusal::ControlCharacter, "", "", ""},
        {"a tab is whitespace", "realm=\"r\",\tnonce=\"n\"", EDigestRefusal::None, "r", "n", "<absent>"},
        {"empty nonce", R"(realm="r", nonce="")", EDigestRefusal::NoNonce, "", "", ""},
        {"unterminated quote", R"(nonce="n", realm="r)", EDigestRefusal::Malformed, "", "", ""},
        {"algorithm that is no token", R"(nonce="n", algorithm="MD5, x=\"y")", EDigestRefusal::UnknownAlgorithm, "", "",
         ""},
    };
    for (const auto& c : cases) {
        EDigestRefusal refusal = EDigestRefusal::Malformed;
        const auto challenge = ParseDigestChallenge(c.parameters, &refusal);
        EXPECT_EQ(refusal, c.refusal) << c.name;
        ASSERT_EQ(challenge.has_value(), c.refusal == EDigestRefusal::None) << c.name;
        if (!challenge) continue;
        const std::string line = BuildDigestAuthorization(*challenge, "us\"er", "p", "GET", "/x", 1, "c");
        EXPECT_FALSE(HasControlCharacter(line)) << c.name;
        EXPECT_EQ(QuotedValueOf(line, "realm"), c.realm) << c.name;
        EXPECT_EQ(QuotedValueOf(line, "nonce"), c.nonce) << c.name;
        EXPECT_EQ(QuotedValueOf(line, "opaque"), c.opaque) << c.name;
        EXPECT_EQ(QuotedValueOf(line, "username"), "us\"er") << c.name;
    }
}

TEST(DigestAuthorizationTest, SendsOnlyTheAlgorithmTokensItComputes) {
    const struct {
        const char* offered;
        const char* sent;  // nullptr: the challenge is refused
    } cases[] = {{"MD5", "algorithm=MD5"}, {"md5", "algorithm=MD5"}, {"\"MD5-sess\"", "algorithm=MD5-sess"},
                 {"SHA-256", nullptr}, {"MD5 x", nullptr}};
    for (const auto& c : cases) {
        const auto challenge = ParseDigestChallenge(std::string("nonce=\"n\", algorithm=") + c.offered);
        ASSERT_EQ(challenge.has_value(), c.sent != nullptr) << c.offered;
        if (!challenge) continue;
        const std::string line = BuildDigestAuthorization(*challenge, "u", "p", "GET", "/x", 1, "c");
        EXPECT_EQ(line.substr(line.rfind(", ") + 2), c.sent) << c.offered;
    }
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
