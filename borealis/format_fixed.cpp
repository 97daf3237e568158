#include "borealis/format_fixed.h"

#include <cmath>

void formatFixed(double value, int decimals, char* text) {
    if (!text) return;
    text[0] = 0;
    const float narrowed = static_cast<float>(value);
    if (!std::isfinite(narrowed)) return;

    const bool negative = narrowed < 0.0f;
    double v = negative ? -static_cast<double>(narrowed) : static_cast<double>(narrowed);
    if (v > (negative ? 9999999.0 : 99999999.0)) return;
    // A 32-bit float holds 12.04 as 12.0399999...; a nudge far below the float's own precision
    // lets such values read as written while the cut still applies to real fractions
    // (0.8399999 stays 0.83, an attack of 0.01 ms still shows 0.00).
    v *= 1.0 + 1e-8;

    int count = negative ? 1 : 0;
    double integer = std::floor(v);
    double fraction = v - integer;

    char intDigits[10];
    int numInt = 0;
    do {
        intDigits[numInt++] = static_cast<char>('0' + static_cast<int>(std::fmod(integer, 10.0)));
        integer = std::floor(integer / 10.0);
    } while (integer > 0.0 && count + numInt + 1 < 8);
    count += numInt + 1;  // digits and the point

    int pos = 0;
    if (negative) text[pos++] = '-';
    for (int i = numInt - 1; i >= 0; --i) text[pos++] = intDigits[i];
    const int pointPos = pos;
    text[pos++] = '.';

    const int numFrac = 8 - count;
    char fracDigits[8];
    double scaled = std::floor(fraction * std::pow(10.0, numFrac));
    for (int i = 0; i < numFrac; ++i) {
        fracDigits[i] = static_cast<char>('0' + static_cast<int>(std::fmod(scaled, 10.0)));
        scaled = std::floor(scaled / 10.0);
    }
    for (int i = numFrac - 1; i >= 0; --i) text[pos++] = fracDigits[i];
    text[pos] = 0;

    if (decimals <= 0 || numFrac == 0) {
        text[pointPos] = 0;
    } else if (decimals < numFrac) {
        text[pointPos + 1 + decimals] = 0;
    }
}
