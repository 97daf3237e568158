// Typed numbers and the readout texts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "borealis/editor/readouts.h"

namespace {

TEST(ParseNumber, ReadsWhatUsersType) {
    EXPECT_DOUBLE_EQ(parseNumber("12"), 12.0);
    EXPECT_DOUBLE_EQ(parseNumber("12ms"), 12.0);
    EXPECT_DOUBLE_EQ(parseNumber("-3.25"), -3.25);
    EXPECT_DOUBLE_EQ(parseNumber("1,5"), 1.5);
    EXPECT_DOUBLE_EQ(parseNumber("1.05"), 1.05);
    EXPECT_DOUBLE_EQ(parseNumber("2k2"), 2200.0);
    EXPECT_DOUBLE_EQ(parseNumber("2k05"), 2050.0);
    EXPECT_DOUBLE_EQ(parseNumber("1k"), 1000.0);
    EXPECT_DOUBLE_EQ(parseNumber(".5"), 0.0);
    EXPECT_DOUBLE_EQ(parseNumber("abc"), 0.0);
    EXPECT_DOUBLE_EQ(parseNumber(""), 0.0);
    EXPECT_DOUBLE_EQ(parseNumber(nullptr), 0.0);
    EXPECT_DOUBLE_EQ(parseNumber("-"), 0.0);
    // Absurdly long input stays a number the range limit can handle.
    EXPECT_FALSE(std::isnan(parseNumber(std::string(400, '9').c_str())));
}

TEST(ParseNumber, OnlyTextThatStartsWithANumberCounts) {
    for (const char* number : {"0", "12ms", "-3", "2k2", "1,5", "-0.5dB"}) EXPECT_TRUE(isTypedNumber(number)) << number;
    for (const char* word : {"", "-", "abc", " 12", "oo", "k2", "-x", ".5"}) EXPECT_FALSE(isTypedNumber(word)) << word;
    EXPECT_FALSE(isTypedNumber(nullptr));
}

TEST(ReadoutText, RoundsAndWritesUnits) {
    char t[32];
    auto text = [&](ReadoutText kind, float v) {
        readoutText(kind, v, t);
        return std::string(t);
    };
    EXPECT_EQ(text(ReadoutText::Ratio, 1.2f), "1.20 : 1");
    EXPECT_EQ(text(ReadoutText::Ratio, 12.0f), "12.00 : 1");
    EXPECT_EQ(text(ReadoutText::Ratio, 64.0f), "oo : 1");
    EXPECT_EQ(text(ReadoutText::Attack, 0.01f), "0.010ms");
    EXPECT_EQ(text(ReadoutText::Attack, 3.162f), "3.16ms");
    EXPECT_EQ(text(ReadoutText::Attack, 99.99f), "100.0ms");
    EXPECT_EQ(text(ReadoutText::Attack, 500.0f), "500ms");
    EXPECT_EQ(text(ReadoutText::Release, 999.6f), "1000ms");
    EXPECT_EQ(text(ReadoutText::Release, 1995.0f), "2.00s");
    EXPECT_EQ(text(ReadoutText::Decibel, -3.256f), "-3.26dB");
    EXPECT_EQ(text(ReadoutText::Decibel, -0.001f), "0.00dB");
    EXPECT_EQ(text(ReadoutText::Decibel, 6.0f), "6.00dB");
    EXPECT_EQ(text(ReadoutText::Kilohertz, 4000.0f), "4.0kHz");
    EXPECT_EQ(text(ReadoutText::Hertz, 99.6f), "100Hz");
    EXPECT_EQ(text(ReadoutText::Tilt, -20.0f), "20L");
    EXPECT_EQ(text(ReadoutText::Tilt, 0.4f), "C");
    EXPECT_EQ(text(ReadoutText::Tilt, 50.0f), "50R");
}

TEST(ReadoutConversion, StaysInsideTheParameterRange) {
    EXPECT_FLOAT_EQ(readoutToNormalised(ReadoutConversion::RatioSteps, 0.5), 0.0f);
    EXPECT_FLOAT_EQ(readoutToNormalised(ReadoutConversion::RatioSteps, 12.0), 0.96f);
    EXPECT_FLOAT_EQ(readoutToNormalised(ReadoutConversion::LowLog, 0.0), 0.0f);  // log of 0
    EXPECT_FLOAT_EQ(readoutToNormalised(ReadoutConversion::Output18, 12.0), 1.0f);
    EXPECT_NEAR(readoutToNormalised(ReadoutConversion::ReleaseLog33, 33.34), 0.0f, 1e-4f);
}

}  // namespace
