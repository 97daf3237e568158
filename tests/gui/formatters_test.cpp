// The editors' value-to-text functions on the values their displays show.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "gui/formatters.h"

namespace {

std::string run(void (*format)(float, char*), float v) {
    char text[256] = "garbage";
    format(v, text);
    return text;
}

TEST(Formatters, DbfsAtSixDbPerDoublingCutToOneDecimal) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::pair<float, const char*> cases[] = {
        {0.5f, "-6.0dBFS"}, {0.25f, "-12.0dBFS"}, {1.0f, "0.0dBFS"},  {2.0f, "6.0dBFS"},
        {0.9f, "-0.9dBFS"}, {0.8f, "-1.9dBFS"},   {1e-8f, "-oo dBFS"}, {-1.0f, "-oo dBFS"}, {nan, "-oo dBFS"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(run(formatDbfs, v), text) << v;
}

TEST(Formatters, TimeLosesDecimalsAsItGrowsAndTurnsToSecondsAtOneThousand) {
    const std::pair<float, const char*> cases[] = {
        {0.00005f, "0ms"}, {0.5f, "0.500ms"}, {3.14159f, "3.14ms"}, {37.66f, "37.6ms"},
        {999.9f, "999ms"}, {1000.0f, "1.000s"}, {1500.0f, "1.500s"}, {std::nanf(""), "0ms"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(run(formatTime, v), text) << v;
}

TEST(Formatters, SamplesAndIntegersAreCutAndStayDefinedBeyondTheIntRange) {
    EXPECT_EQ(run(formatSamples, 0.5f), "0smps");
    EXPECT_EQ(run(formatSamples, 1660.9f), "1660smps");
    EXPECT_EQ(run(formatInteger, 2.9f), "2");
    EXPECT_EQ(run(formatInteger, -2.9f), "-2");
    EXPECT_EQ(run(formatInteger, 1e20f), "2147483647");
    EXPECT_EQ(run(formatSamples, std::numeric_limits<float>::infinity()), "2147483647smps");
}

}  // namespace
