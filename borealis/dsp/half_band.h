#pragma once
// The half-band kernels of the 2x resampler and the folded sum that applies them.
//
// A kernel is symmetric with 255 taps, stored as its 128 half-taps h[0..127] (h[0] is the
// centre, h[i] the taps at +-i). Only the centre and the odd taps are non-zero, so a filter
// output needs only the 64 odd taps, applied to pairs of samples mirrored about the centre.
#include <array>
#include <cstdint>

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

// The odd taps h[1], h[3], ..., h[127] of a kernel, in that order, each stored four times so
// that a register of any width loads a tap in every lane.
struct alignas(32) HalfBandTaps {
    double v[4 * kHalfBandOddTaps];
    double tap(int j) const noexcept { return v[4 * j]; }
};
HalfBandTaps oddTaps(const HalfBandKernel& kernel) noexcept;

// The folded sums of the resampler, written once for every instruction set. For i = 0 .. count-1:
//   out[i] = sum over j = 0 .. 63, in that order, of odd[j] * (x[i + 64 + j] + x[i + 63 - j])
// that is, the odd taps applied about the point halfway between x[i + 63] and x[i + 64], each
// tap taken with mulAddSum (simd.h). x must hold count + 127 values. Every output
// is summed the same way however many outputs a call takes, so the result does not depend on
// how a stream is cut into blocks. G registers of outputs run side by side, sharing each tap.
// kAheadAligned: whether x + 64 is 16-byte aligned. The two samples of a tap lie an odd number
// of values apart, so exactly one of them is; for even taps the ahead samples when kAheadAligned
// holds, for odd taps the behind ones (a register holds an even number of outputs, so every
// register of a pass shares the parity).
template <class D, int G, bool kAheadAligned>
ORV_SIMD_INLINE void foldedHalfBandGroup(const double* x, const HalfBandTaps& taps, double* out) noexcept {
    const double* ahead = x + 64;
    const double* behind = x + 63;
    auto sample = [](const double* p, bool aligned) { return aligned ? D::loadPairAligned(p) : D::load(p); };
    D acc[G];
#pragma GCC unroll 16
    for (int g = 0; g < G; ++g) acc[g] = D::zero();
    for (int j = 0; j < kHalfBandOddTaps; j += 2) {
        const D even = D::loadAligned(taps.v + 4 * j), odd = D::loadAligned(taps.v + 4 * j + 4);
        // Plain loads from memory at every tap (see simd::opaque).
        const double* a = simd::opaque(ahead + j);
        const double* b = simd::opaque(behind - j);
#pragma GCC unroll 16
        for (int g = 0; g < G; ++g) {
            const int at = g * D::kLanes;
            acc[g] = mulAddSum(even, sample(a + at, kAheadAligned), sample(b + at, !kAheadAligned), acc[g]);
            acc[g] = mulAddSum(odd, sample(a + 1 + at, !kAheadAligned), sample(b - 1 + at, kAheadAligned), acc[g]);
        }
    }
#pragma GCC unroll 16
    for (int g = 0; g < G; ++g) acc[g].store(out + g * D::kLanes);
}

// Passes of G registers while they fit, then of half as many for the rest.
template <class D, int G, bool kAheadAligned>
ORV_SIMD_INLINE void foldedHalfBandPasses(const double* x, const HalfBandTaps& taps, double* out, int count,
                                          int& done) noexcept {
    constexpr int kPass = G * D::kLanes;
    for (; done + kPass <= count; done += kPass)
        foldedHalfBandGroup<D, G, kAheadAligned>(x + done, taps, out + done);
    if constexpr (G > 1) foldedHalfBandPasses<D, G / 2, kAheadAligned>(x, taps, out, count, done);
}

template <class A, bool kAheadAligned>
inline void foldedHalfBandRun(const double* x, const HalfBandTaps& taps, double* out, int count) noexcept {
    using D = simd::Doubles<A, A::kNaturalLanes>;
    constexpr int kGroup = A::kNaturalLanes == 4 ? 8 : 4;  // registers per pass at most
    int i = 0;
    foldedHalfBandPasses<D, kGroup, kAheadAligned>(x, taps, out, count, i);
    // The last outputs one at a time (a lone output's samples may lie either way).
    for (; i < count; ++i) foldedHalfBandGroup<simd::Doubles<A, 1>, 1, false>(x + i, taps, out + i);
}

template <class A>
inline void foldedHalfBandSums(const double* x, const HalfBandTaps& taps, double* out, int count) noexcept {
    if ((reinterpret_cast<std::uintptr_t>(x + 64) & 15) == 0)
        foldedHalfBandRun<A, true>(x, taps, out, count);
    else
        foldedHalfBandRun<A, false>(x, taps, out, count);
}

}  // namespace orv::dsp
