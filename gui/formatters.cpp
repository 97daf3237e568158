#include "gui/formatters.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "borealis/format_fixed.h"

namespace {

constexpr std::size_t kTextSize = 32;

// The value cut to an int, kept inside the int range so that the conversion is defined.
int truncatedInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(value);
}

}  // namespace

void formatTime(float value, char* text) {
    if (!text) return;
    const double v = value;
    if (!(v >= 0.0001)) {  // also NaN
        std::snprintf(text, kTextSize, "0ms");
        return;
    }
    char number[12];
    const char* unit = "ms";
    if (v < 1)
        formatFixed(v, 3, number);
    else if (v < 10)
        formatFixed(v, 2, number);
    else if (v < 100)
        formatFixed(v, 1, number);
    else if (v < 1000)
        formatFixed(v, 0, number);
    else {
        formatFixed(v / 1000, 3, number);
        unit = "s";
    }
    std::snprintf(text, kTextSize, "%s%s", number, unit);
}

void formatDbfs(float value, char* text) {
    if (!text) return;
    if (!(value > 1e-8f) || std::isinf(value)) {
        std::snprintf(text, kTextSize, "-oo dBFS");
        return;
    }
    double a = 6.0 * std::log10(static_cast<double>(value)) / std::log10(2.0);
    // The quotient of two logarithms can land a hair short of a whole tenth (-5.9999999 for a
    // level of 0.5); a nudge away from zero, far below the float input's own precision, lets
    // exact tenths read as such while the cut still applies to real fractions.
    a += a < 0 ? -1e-9 : 1e-9;
    const int whole = truncatedInt(a);
    const int tenth = truncatedInt(std::fabs(a - whole) * 10.0) % 10;
    if (a >= 0 || a <= -1)
        std::snprintf(text, kTextSize, "%d.%ddBFS", whole, tenth);
    else
        std::snprintf(text, kTextSize, "-%d.%ddBFS", 0, tenth);
}

void formatSamples(float value, char* text) {
    if (!text) return;
    if (value >= 1)
        std::snprintf(text, kTextSize, "%dsmps", truncatedInt(value));
    else
        std::snprintf(text, kTextSize, "0smps");
}

void formatInteger(float value, char* text) {
    if (!text) return;
    std::snprintf(text, kTextSize, "%d", truncatedInt(value));
}
