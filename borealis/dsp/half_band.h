#pragma once
// The half-band kernels of the 2x resampler and the folded sum that applies them.
//
// A kernel is symmetric with 255 taps, stored as its 128 half-taps h[0..127] (h[0] is the
// centre, h[i] the taps at +-i). Only the centre and the odd taps are non-zero, so a filter
// output needs only the 64 odd taps, applied to pairs of samples mirrored about the centre.
#include <array>

#include "borealis/dsp/simd.h"

namespace orv::dsp {

constexpr int kHalfBandHalfTaps = 128;
constexpr int kHalfBandOddTaps = 64;
// Samples before the newest one that a folded sum reaches back.
constexpr int kHalfBandReach = 128;

using HalfBandKernel = std::array<double, kHalfBandHalfTaps>;

// Interpolator of the upsampler (Blackman window). Centre 1; the odd taps sum to 1/2, so the
// interpolated samples carry a constant signal at exactly the gain of the original ones.
HalfBandKernel makeUpsamplerKernel() noexcept;
// Anti-alias filter of the downsampler (Hann window). Centre 1/2; unit gain at DC.
HalfBandKernel makeDownsamplerKernel() noexcept;

// The odd taps h[1], h[3], ..., h[127] of a kernel, in that order.
struct HalfBandTaps {
    double v[kHalfBandOddTaps];
};
HalfBandTaps oddTaps(const HalfBandKernel& kernel) noexcept;

// The folded sums of the resampler, written once for every instruction set. For i = 0 .. count-1:
//   out[i] = sum over j = 0 .. 63, in that order, of odd[j] * (x[i + 64 + j] + x[i + 63 - j])
// that is, the odd taps applied about the point halfway between x[i + 63] and x[i + 64], each
// tap taken with mulAddSum (simd.h). x must hold count + 127 values. Every output
// is summed the same way however many outputs a call takes, so the result does not depend on
// how a stream is cut into blocks. G registers of outputs run side by side, sharing each tap.
template <class D, int G>
ORV_SIMD_INLINE void foldedHalfBandGroup(const double* x, const HalfBandTaps& taps, double* out) noexcept {
    const double* ahead = x + 64;
    const double* behind = x + 63;
    D acc[G];
    #pragma GCC unroll 16
    for (int g = 0; g < G; ++g) acc[g] = D::zero();
    for (int j = 0; j < kHalfBandOddTaps; ++j) {
        const D c = D::splat(taps.v[j]);
        #pragma GCC unroll 16
        for (int g = 0; g < G; ++g) {
            const int at = g * D::kLanes;
            acc[g] = mulAddSum(c, D::load(ahead + j + at), D::load(behind - j + at), acc[g]);
        }
    }
    #pragma GCC unroll 16
    for (int g = 0; g < G; ++g) acc[g].store(out + g * D::kLanes);
}

// Passes of G registers while they fit, then of half as many for the rest.
template <class D, int G>
ORV_SIMD_INLINE void foldedHalfBandPasses(const double* x, const HalfBandTaps& taps, double* out, int count,
                                          int& done) noexcept {
    constexpr int kPass = G * D::kLanes;
    for (; done + kPass <= count; done += kPass) foldedHalfBandGroup<D, G>(x + done, taps, out + done);
    if constexpr (G > 1) foldedHalfBandPasses<D, G / 2>(x, taps, out, count, done);
}

template <class A>
inline void foldedHalfBandSums(const double* x, const HalfBandTaps& taps, double* out, int count) noexcept {
    using D = simd::Doubles<A, A::kNaturalLanes>;
    constexpr int kGroup = A::kNaturalLanes == 4 ? 8 : 4;  // registers per pass at most
    int i = 0;
    foldedHalfBandPasses<D, kGroup>(x, taps, out, count, i);
    for (; i < count; ++i) foldedHalfBandGroup<simd::Doubles<A, 1>, 1>(x + i, taps, out + i);
}

}  // namespace orv::dsp
