#include "base/Md5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using talvex::Md5Hex;

struct SDigestCase {
    const char* input;
    const char* digest;
};

// The test suite of RFC 1321, appendix A.5.
const SDigestCase kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5Test, MatchesEveryDigestOfTheRfc1321Suite) {
    for (const auto& c : kRfc1321Suite) EXPECT_EQ(Md5Hex(c.input), c.digest) << '"' << c.input << '"';
}

TEST(Md5Test, GivesTheSameDigestWhateverTheUpdateSplit) {
    // Lengths around the 56- and 64-byte block edges exercise the padding paths.
    for (std::size_t length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 200u}) {
        const std::string text(length, 'x');
        const std::string whole = Md5Hex(text);
        for (std::size_t split = 0; split <= length; split += 7) {
            talvex::CMd5 md5;
            md5.Update(std::string_view(text).substr(0, split));
            md5.Update(std::string_view(text).substr(split));
            const talvex::Md5Digest digest = md5.Finish();
            std::string hex;
            for (uint8_t byte : digest) {
                static const char kDigits[] = "0123456789abcdef";
                hex += kDigits[byte >> 4];
                hex += kDigits[byte & 15];
            }
            EXPECT_EQ(hex, whole) << "length " << length << " split " << split;
        }
    }
}

TEST(Md5Test, HexDigestIsAlwaysThirtyTwoLowercaseHexCharacters) {
    for (const std::string& text : {std::string(), std::string("\0\xff\x80", 3), std::string(1000, '\xfe')}) {
        const std::string hex = Md5Hex(text);
        ASSERT_EQ(hex.size(), 32u);
        EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos) << hex;
    }
}

}  // namespace
