// Conversions between control-port values and the plug-ins' normalised parameter values.
#include "lv2/port_table.h"

#include <algorithm>
#include <cmath>

namespace orv::lv2 {

namespace {

float clamp01(double x) {
    if (!(x > 0.0)) return 0.0f;  // NaN included
    if (x >= 1.0) return 1.0f;
    return static_cast<float>(x);
}

}  // namespace

int ratioStep(float x) {
    const int i = static_cast<int>(20.0f * x);
    return i < 0 ? 0 : i > 20 ? 20 : i;
}

int meterSourceChoice(float x) { return x < 0.33f ? 0 : x < 0.66f ? 1 : 2; }

int threeWayChoice(float x) {
    const int i = static_cast<int>(2.0f * x + 0.5f);
    return i < 0 ? 0 : i > 2 ? 2 : i;
}

float unitValue(const ParameterPort& p, float x) {
    switch (p.kind) {
        case PortKind::Toggle: return x >= 0.5f ? 1.0f : 0.0f;
        case PortKind::Linear: return static_cast<float>(p.a + p.b * static_cast<double>(x));
        case PortKind::Power: return static_cast<float>(p.a * std::pow(p.b, static_cast<double>(x)));
        case PortKind::Choice: return static_cast<float>(p.choiceOf(x));
    }
    return 0.0f;
}

float unitMinimum(const ParameterPort& p) { return std::min(unitValue(p, 0.0f), unitValue(p, 1.0f)); }
float unitMaximum(const ParameterPort& p) { return std::max(unitValue(p, 0.0f), unitValue(p, 1.0f)); }

float normalisedValue(const ParameterPort& p, float unit) {
    const float lo = unitMinimum(p), hi = unitMaximum(p);
    // NaN and the infinities end up at an end of the range like any value outside it.
    double u = std::isnan(unit) ? lo : std::clamp(unit, lo, hi);
    switch (p.kind) {
        case PortKind::Toggle: return u >= 0.5 ? 1.0f : 0.0f;
        case PortKind::Linear: return clamp01((u - p.a) / p.b);
        case PortKind::Power: return clamp01(std::log(u / p.a) / std::log(p.b));
        case PortKind::Choice: {
            const int last = p.choices - 1;
            const int k = static_cast<int>(std::lround(u));
            // The step's own normalised value, nudged up where single-precision arithmetic
            // would place it just below the step.
            float x = clamp01(static_cast<double>(k) / last);
            while (x < 1.0f && p.choiceOf(x) < k) x = std::nextafter(x, 2.0f);
            return x;
        }
    }
    return 0.0f;
}

}  // namespace orv::lv2
