#pragma once
// The level of the analytic signal in single precision: for squared magnitudes v, v / sqrt(v)
// through the integer inverse-square-root estimate and two Newton steps. Four values at once;
// a caller with fewer leaves the other lanes to any finite value.
#include "borealis/dsp/simd.h"

namespace orv::dsp {

ORV_SIMD_INLINE simd::Floats fastMagnitudes(simd::Floats v) noexcept {
    using simd::Floats;
    Floats y = simd::floatsOfBits(simd::Words::splat(0x5f3759df) - simd::shiftRightSigned<1>(simd::bitsOf(v)));
    const Floats half = Floats::splat(0.5f), threeHalves = Floats::splat(1.5f);
    y = y * (threeHalves - half * v * y * y);
    y = y * (threeHalves - half * v * y * y);
    return y * v;
}

}  // namespace orv::dsp
