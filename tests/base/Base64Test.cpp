#include "base/Base64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace talvex;

struct SBase64Case {
    const char* text;
    const char* encoded;
};

// RFC 4648 section 10.
const SBase64Case kRfc4648Vectors[] = {
    {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
};

TEST(Base64Test, EncodesAndDecodesTheRfc4648Vectors) {
    for (const auto& c : kRfc4648Vectors) {
        EXPECT_EQ(Base64Encode(std::string(c.text)), c.encoded) << c.text;
        const auto decoded = Base64Decode(c.encoded);
        ASSERT_TRUE(decoded.has_value()) << c.encoded;
        EXPECT_EQ(std::string(decoded->begin(), decoded->end()), c.text);
    }
}

TEST(Base64Test, UsesTheStandardAlphabetForTheLastTwoSymbols) {
    const uint8_t bytes[] = {0xfb, 0xff, 0xbf};
    EXPECT_EQ(Base64Encode(bytes, sizeof bytes), "+/+/");
}

TEST(Base64Test, DecodesUnpaddedTextAndRefusesMalformedText) {
    struct SCase {
        const char* name;
        const char* text;
        bool accepted;
    };
    const SCase cases[] = {
        {"unpadded two-byte tail", "Zm8", true},
        {"unpadded one-byte tail", "Zg", true},
        {"one leftover character", "Zm9vY", false},
        {"character outside the alphabet", "Zm9v!A==", false},
        {"padding in the middle", "Zg==Zm8=", false},
        {"three padding characters", "Z===", false},
        {"padding that does not fill a group", "Zm8==", false},
        {"url-safe alphabet", "-_-_", false},
    };
    for (const auto& c : cases) EXPECT_EQ(Base64Decode(c.text).has_value(), c.accepted) << c.name;
}

TEST(Base64Test, EncodesBasicCredentialsUpToSeventyTwoBytesOnOneLine) {
    std::string encoded = "unchanged";
    ASSERT_TRUE(EncodeBasicCredentials("Aladdin", "open sesame", encoded));
    EXPECT_EQ(encoded, "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");

    const std::string user(35, 'u');
    const std::string password72(36, 'p');  // 35 + ":" + 36 = 72 bytes
    ASSERT_TRUE(EncodeBasicCredentials(user, password72, encoded));
    EXPECT_EQ(encoded.size(), 96u);
    EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);

    encoded = "unchanged";
    EXPECT_FALSE(EncodeBasicCredentials(user, password72 + "p", encoded));
    EXPECT_EQ(encoded, "unchanged");
}

}  // namespace
