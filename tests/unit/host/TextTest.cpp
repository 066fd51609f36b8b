#include "host/Text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string fixed2(double value, char separator = '.') {
    char text[400];
    host::FormatFixed2(value, separator, text, sizeof text);
    return text;
}

} // namespace

TEST(Text, FixedTwoDecimals) {
    EXPECT_EQ(fixed2(0.5f), "0.50");
    EXPECT_EQ(fixed2(1.0f), "1.00");
    EXPECT_EQ(fixed2(0.0f), "0.00");
    EXPECT_EQ(fixed2(0.07f), "0.07");
    EXPECT_EQ(fixed2(0.66f), "0.66");
    EXPECT_EQ(fixed2(0.125f), "0.13") << "an exact half rounds away from zero";
    EXPECT_EQ(fixed2(-0.125f), "-0.13");
    EXPECT_EQ(fixed2(0.005f), "0.00") << "the float nearest 0.005 lies below it";
    EXPECT_EQ(fixed2(9.999f), "10.00") << "carry into the integer part";
    EXPECT_EQ(fixed2(99.995f), "100.00") << "float 99.995 lies above the half";
    EXPECT_EQ(fixed2(-0.001f), "0.00") << "no negative zero";
    EXPECT_EQ(fixed2(-0.0f), "0.00");
    EXPECT_EQ(fixed2(1234.5f), "1234.50");
    EXPECT_EQ(fixed2(1.0e-40f), "0.00");
    EXPECT_EQ(fixed2(16777216.0f), "16777216.00");
    EXPECT_EQ(fixed2(0.5f, ','), "0,50") << "the system's separator";
    EXPECT_EQ(fixed2(3.0e38f).size(), 42u) << "39 integer digits, separator, two decimals";
}

TEST(Text, FixedTwoDecimalsOfDoublesRoundTheExactValue) {
    EXPECT_EQ(fixed2(0.0349999992), "0.03") << "not rounded through the nearest float (above 0.035)";
    EXPECT_EQ(fixed2(1999.995), "1999.99") << "the double lies just below the half";
    EXPECT_EQ(fixed2(0.375), "0.38") << "an exact half of a double goes away from zero";
    EXPECT_EQ(fixed2(-1.0e-300), "0.00");
    EXPECT_EQ(fixed2(1.0e300).size(), 304u) << "301 integer digits, separator, two decimals";
}

TEST(Text, WritesStayWithinTheBuffer) {
    char text[8];
    std::memset(text, 0x5A, sizeof text);
    host::FormatFixed2(123456.0f, '.', text, 6);
    EXPECT_STREQ(text, "12345");
    EXPECT_EQ(text[6], 0x5A);
    host::CopyText(text, "undefined", 4);
    EXPECT_STREQ(text, "und");
    host::CopyText(nullptr, "x", 4);
    host::CopyText(text, "x", 0);
    EXPECT_STREQ(text, "und");
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(host::BoundedLength(unterminated, 4), 4u);
    EXPECT_EQ(host::BoundedLength("ab", 4), 2u);
    EXPECT_EQ(host::BoundedLength(nullptr, 4), 0u);
}
