#include "base/FormatString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using talvex::FormatString;

TEST(FormatStringTest, FormatsWithPrintfRules) {
    EXPECT_EQ(FormatString("%s:%u", "10.0.0.5", 80u), "10.0.0.5:80");
    EXPECT_EQ(FormatString("/SetGPIO.cgi?Out%dSTA=%d", 2, 1), "/SetGPIO.cgi?Out2STA=1");
    EXPECT_EQ(FormatString("%02x%%", 10), "0a%");
    EXPECT_EQ(FormatString("%s", ""), "");
}

TEST(FormatStringTest, ReturnsTextsOfAnyLengthWhole) {
    const std::string longText(100000, 'z');
    EXPECT_EQ(FormatString("<%s>", longText.c_str()), "<" + longText + ">");
}

}  // namespace
