#pragma once
// The hold rule of both engines' gain meters, on any lane layout (simd.h): a meter value takes
// over the hold when it rises above unity and above the hold, or falls below the hold while
// above the floor of 0.01. A NaN never takes it: every comparison with one fails.
#include "borealis/dsp/simd.h"

namespace orv {

template <class D>
ORV_SIMD_INLINE D gainHoldTakes(D value, D held) {
    const D unity = D::splat(1.0), floor = D::splat(0.01);
    // "Above unity and above the hold" is "above the larger of both": max gives its second
    // operand, the hold, when either is a NaN, and nothing is above a NaN.
    return greater(value, max(unity, held)) | (less(value, held) & greater(value, floor));
}

// The same rule for one value.
inline bool gainHoldTakes(double value, double held) {
    using One = simd::Doubles<simd::Sse2, 1>;
    return gainHoldTakes(One{value}, One{held}).v != 0.0;  // a mask's set bits read as a NaN, never 0
}

}  // namespace orv
