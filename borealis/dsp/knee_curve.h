#pragma once
// The static curve of the compressors: level (1.0 = at the threshold) in, curve value out.
// Hard knee: unchanged up to the threshold, level^slope above it. Soft knee: unchanged up to
// 0.5 (6 dB below the threshold), level^slope from 1.5 (about 3.5 dB above it), and in between
// a Catmull-Rom segment through four points, two on the straight line and two on the
// compressed curve, which meets both parts without a step.
#include <cmath>

#include "borealis/dsp/simd.h"

namespace orv::dsp {

// The four Catmull-Rom control points of the soft knee.
struct KneePoints {
    double p0, p1, p2, p3;
};

// The points for a curve exponent `slope` (1 / ratio): (-0.5, 0.5) on the straight line,
// 1.5^slope and 2.5^slope on the compressed curve.
inline KneePoints kneePointsForSlope(double slope) noexcept {
    return KneePoints{-0.5, 0.5, std::pow(1.5, slope), std::pow(2.5, slope)};
}

inline double hardKneeCurve(double level, double slope) noexcept {
    return level > 1.0 ? std::pow(level, slope) : level;
}

inline double softKneeCurve(double level, double slope, const KneePoints& p) noexcept {
    if (level <= 0.5) return level;
    if (level >= 1.5) return std::pow(level, slope);
    const double t = level - 0.5;
    return p.p1 + (0.5 * p.p2 - 0.5 * p.p0) * t + (p.p0 - 2.5 * p.p1 + 2 * p.p2 - 0.5 * p.p3) * (t * t) +
           (1.5 * p.p1 - 0.5 * p.p0 - 1.5 * p.p2 + 0.5 * p.p3) * (t * t * t);
}

inline double kneeCurve(double level, double slope, const KneePoints& p, bool soft) noexcept {
    return soft ? softKneeCurve(level, slope, p) : hardKneeCurve(level, slope);
}

// The gain factor that moves `level` onto the curve; the 1e-6 keeps silence finite.
inline double kneeGain(double level, double slope, const KneePoints& p, bool soft) noexcept {
    return kneeCurve(level, slope, p, soft) / (level + 1e-6);
}

// kneeGain of two levels side by side, lane for lane the same value. While both lanes lie on
// the straight part the curve is the level itself, with no call (a NaN stays a NaN in the hard
// knee and takes the curve's own path in the soft one).
template <class A>
inline simd::Doubles<A, 2> kneeGainPair(simd::Doubles<A, 2> level, double slope, const KneePoints& p,
                                        bool soft) noexcept {
    using Pair = simd::Doubles<A, 2>;
    Pair curve = level;
    const Pair straight = Pair::splat(soft ? 0.5 : 1.0);
    const int straightLanes = laneBits(soft ? lessEqual(level, straight) : notGreater(level, straight));
    if (straightLanes != 3)
        curve = Pair::of(kneeCurve(level.lane0(), slope, p, soft), kneeCurve(level.lane1(), slope, p, soft));
    return curve / (level + Pair::splat(1e-6));
}

}  // namespace orv::dsp
