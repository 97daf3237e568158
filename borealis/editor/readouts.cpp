#include "borealis/editor/readouts.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "borealis/format_fixed.h"

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Number (cut to `decimals` after adding the rounding the caller chose) followed by `unit`.
void numberWithUnit(double value, int decimals, const char* unit, char* text) {
    char number[16] = {};
    formatFixed(value, decimals, number);
    std::snprintf(text, 32, "%s%s", number, unit);
}

void decibelText(float v, char* text) {
    const double rounded = v < -0.0025f ? v - 0.005 : v + 0.005;
    numberWithUnit(rounded, 2, "dB", text);
}

}  // namespace

double parseNumber(const char* text) {
    if (!text) return 0.0;
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) ++p;
    else if (!isDigit(*p)) return 0.0;
    double whole = 0.0;
    for (; isDigit(*p); ++p) whole = whole * 10.0 + (*p - '0');
    double fraction = 0.0;
    bool thousands = false;
    if (*p == '.' || *p == ',' || *p == 'k') {
        thousands = *p == 'k';
        ++p;
        double scale = 0.1;
        for (; isDigit(*p); ++p) {
            fraction += (*p - '0') * scale;
            scale *= 0.1;
        }
    }
    double value = whole + fraction;
    if (thousands) value *= 1000.0;
    return negative ? -value : value;
}

bool isTypedNumber(const char* text) {
    if (!text) return false;
    if (*text == '-') ++text;
    return isDigit(*text);
}

void readoutText(ReadoutText kind, float v, char* text) {
    switch (kind) {
        case ReadoutText::Ratio:
            if (v > kRatioInfinityLimit)
                std::snprintf(text, 32, "oo : 1");
            else
                numberWithUnit(v + 0.005, 2, " : 1", text);
            return;
        case ReadoutText::Attack:
            if (v < 1.0f) numberWithUnit(v + 0.0005, 3, "ms", text);
            else if (v < 10.0f) numberWithUnit(v + 0.005, 2, "ms", text);
            else if (v < 100.0f) numberWithUnit(v + 0.05, 1, "ms", text);
            else numberWithUnit(v + 0.5, 0, "ms", text);
            return;
        case ReadoutText::Release:
            if (v < 1000.0f) numberWithUnit(v + 0.5, 0, "ms", text);
            else numberWithUnit(v / 1000.0 + 0.005, 2, "s", text);
            return;
        case ReadoutText::Decibel: decibelText(v, text); return;
        case ReadoutText::Hertz: numberWithUnit(v + 0.5, 0, "Hz", text); return;
        case ReadoutText::Kilohertz: numberWithUnit(v / 1000.0 + 0.05, 1, "kHz", text); return;
        case ReadoutText::Percent: numberWithUnit(v + 0.5, 0, "%", text); return;
        case ReadoutText::Tilt:
            if (v < -0.5f) numberWithUnit(0.5 - v, 0, "L", text);
            else if (v > 0.5f) numberWithUnit(v + 0.5, 0, "R", text);
            else std::snprintf(text, 32, "C");
            return;
    }
    text[0] = 0;
}

namespace {

// Typed ratio to the normalised value of the nearest step of the ratio table.
float ratioSteps(double t) {
    struct Step {
        double above;
        float value;
    };
    static const Step steps[] = {
        {14, 1.0f},     {10, 0.96f},    {7, 0.91f},     {5, 0.86f},     {3.6, 0.81f},   {2.95, 0.76f},
        {2.5, 0.71f},   {2.1, 0.66f},   {1.75, 0.61f},  {1.5, 0.56f},   {1.34, 0.51f},  {1.24, 0.46f},
        {1.14, 0.41f},  {1.04, 0.36f},  {0.94, 0.31f},  {0.87, 0.26f},  {0.795, 0.21f}, {0.739, 0.16f},
        {0.66, 0.11f},  {0.549, 0.06f},
    };
    for (const Step& s : steps)
        if (t > s.above) return s.value;
    return 0.0f;
}

double convert(ReadoutConversion kind, double t) {
    switch (kind) {
        case ReadoutConversion::RatioSteps: return ratioSteps(t);
        case ReadoutConversion::AttackLog: return std::log10(100.0 * t) / std::log10(100000.0);
        case ReadoutConversion::ReleaseLog: return std::log10(t / 100.0) / std::log10(100.0);
        // 0.03 in single precision: t * 0.03f is t / 33.33, the knob's lower end.
        case ReadoutConversion::ReleaseLog33: return std::log10(static_cast<double>(0.03f) * t) / 2.0;
        case ReadoutConversion::Threshold: return (6.0 - t) / 36.0;
        case ReadoutConversion::Makeup: return (t + 12.0) / 36.0;
        case ReadoutConversion::Output24: return t / 24.0 + 0.5;
        case ReadoutConversion::Output18: return (t + 12.0) / 18.0;
        case ReadoutConversion::LowLog: return std::log10(t / 25.0) / std::log10(16.0);
        case ReadoutConversion::HighLog: return std::log10(t) / std::log10(16.0);
        case ReadoutConversion::Percent: return t / 100.0;
        case ReadoutConversion::Tilt: return t / 100.0 + 0.5;
    }
    return 0.0;
}

}  // namespace

float readoutToNormalised(ReadoutConversion kind, double t) {
    const double x = convert(kind, t);
    if (!(x > 0.0)) return 0.0f;  // also NaN from a logarithm of 0
    return x > 1.0 ? 1.0f : static_cast<float>(x);
}
