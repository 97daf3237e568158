// The editors' value-to-text functions, on the values the displays show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "gui/formatters.h"

namespace {

using Formatter = void (*)(float, char*);

std::string run(Formatter f, float v) {
    char text[256];
    std::memset(text, '#', sizeof text);
    f(v, text);
    return text;
}

TEST(FormatDbfs, SixDbPerDoublingWithOneCutDecimal) {
    EXPECT_EQ(run(formatDbfs, 0.5f), "-6.0dBFS");
    EXPECT_EQ(run(formatDbfs, 0.25f), "-12.0dBFS");
    EXPECT_EQ(run(formatDbfs, 1.0f), "0.0dBFS");
    EXPECT_EQ(run(formatDbfs, 2.0f), "6.0dBFS");
    EXPECT_EQ(run(formatDbfs, 0.9f), "-0.9dBFS");   // the minus sign shows above -1 dB
    EXPECT_EQ(run(formatDbfs, 0.99f), "-0.0dBFS");
    EXPECT_EQ(run(formatDbfs, 0.8f), "-1.9dBFS");   // -1.93: cut, not rounded
    EXPECT_EQ(run(formatDbfs, 1e-8f), "-oo dBFS");
    EXPECT_EQ(run(formatDbfs, 0.0f), "-oo dBFS");
    EXPECT_EQ(run(formatDbfs, -1.0f), "-oo dBFS");
    EXPECT_EQ(run(formatDbfs, std::nanf("")), "-oo dBFS");
}

TEST(FormatTime, DecimalsShrinkAsTheTimeGrowsAndSecondsFromOneThousand) {
    EXPECT_EQ(run(formatTime, 0.00005f), "0ms");
    EXPECT_EQ(run(formatTime, 0.0f), "0ms");
    EXPECT_EQ(run(formatTime, 0.5f), "0.500ms");
    EXPECT_EQ(run(formatTime, 0.0123f), "0.012ms");
    EXPECT_EQ(run(formatTime, 3.14159f), "3.14ms");
    EXPECT_EQ(run(formatTime, 12.04f), "12.0ms");
    EXPECT_EQ(run(formatTime, 37.66f), "37.6ms");    // cut, not rounded
    EXPECT_EQ(run(formatTime, 999.9f), "999ms");
    EXPECT_EQ(run(formatTime, 1000.0f), "1.000s");
    EXPECT_EQ(run(formatTime, 1500.0f), "1.500s");
    EXPECT_EQ(run(formatTime, 37.6190f), "37.6ms");  // a latency of 1660 samples at 44.1 kHz
    EXPECT_EQ(run(formatTime, std::nanf("")), "0ms");
}

TEST(FormatSamplesAndInteger, CutToWholeNumbers) {
    EXPECT_EQ(run(formatSamples, 0.5f), "0smps");
    EXPECT_EQ(run(formatSamples, -3.0f), "0smps");
    EXPECT_EQ(run(formatSamples, 1660.9f), "1660smps");
    EXPECT_EQ(run(formatInteger, 2.9f), "2");
    EXPECT_EQ(run(formatInteger, -2.9f), "-2");
    EXPECT_EQ(run(formatInteger, 0.0f), "0");
    // Values no int can hold still give a defined text.
    EXPECT_EQ(run(formatInteger, 1e20f), "2147483647");
    EXPECT_EQ(run(formatSamples, std::numeric_limits<float>::infinity()), "2147483647smps");
}

}  // namespace
