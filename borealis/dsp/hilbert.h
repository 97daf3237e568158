#pragma once
// The Hilbert transformer of the detector: an antisymmetric FIR with coefficients 2/((2k+1)pi)
// at the odd offsets 1, 3, ..., 2N-1 on each side of its centre. Together with the key sample
// at the centre it gives the analytic signal whose magnitude is the key's envelope.
#include "borealis/dsp/simd.h"

#include <cstdint>

namespace orv::dsp {

class HilbertTable {
public:
    // Half length limit: 2.5 ms at 384 kHz, the highest rate the side-chain runs at.
    static constexpr int kMaxHalfLength = 960;
    // Pairs the history keeps beyond the 2N-1 on either side of the centres it is asked for.
    static constexpr int kTapPadding = 14;
    // How many neighbouring centres transformStereoRun takes side by side at most per pass.
    static constexpr int kMaxCentresPerPass = 24;

    HilbertTable() { build(44100.0, false); }

    // N = trunc(rate * (1 + smooth) * 0.5 / 400): 1.25 ms, or 2.5 ms with Smooth on.
    void build(double sideChainRate, bool smooth);
    // The table for a half length of its own (limited to 1 .. kMaxHalfLength).
    void buildHalfLength(int n);

    int halfLength() const { return n_; }
    const double* coefficients() const { return c_; }

    // The transforms of `count` neighbouring centres of an interleaved (left, right) history,
    // `first` the oldest centre, into out[2i] (left) and out[2i + 1] (right) for centre i: for
    // each channel the sum over taps k = 0 .. N-1, in that order, of c[k] times the difference
    // of the samples 2k + 1 pairs after and before the centre, each product fused into its sum
    // on the wide path. Each value is computed the same way however many centres a call takes
    // (the last centres of a call as the last lanes of a register whose others are the centres
    // before them, which the history must hold), so results never depend on where a block ends.
    template <class A>
    void transformStereoRun(const double* first, int count, double* out) const {
        transformRun<A, 2>(first, count, out);
    }
    // The same over a history of C channels side by side (C = 1: one channel's history, the
    // taps 2k + 1 samples after and before each centre; C = 2: as transformStereoRun).
    template <class A, int C>
    void transformRun(const double* first, int count, double* out) const;

private:
    // kAligned: whether the history's frames lie on 16-byte boundaries (pairs only).
    template <class D, int C, int G, bool kAligned>
    ORV_SIMD_INLINE void transformGroup(const double* first, double* out) const;
    // Passes of G registers while they fit, then of fewer (12, 8, 4, 2, 1) for the rest.
    template <class D, int C, int G, bool kAligned>
    ORV_SIMD_INLINE void transformPasses(const double* first, int count, double* out, int& done) const;
    template <class A, int C, bool kAligned>
    void transformAll(const double* first, int count, double* out) const;

    int n_ = 1;
    double c_[kMaxHalfLength] = {};
    // Every coefficient four times, so that a register of any width loads it in every lane.
    alignas(32) double quads_[4 * kMaxHalfLength] = {};
};

// G registers of neighbouring centres side by side, each register holding kLanes / C centres,
// all sharing each coefficient load.
template <class D, int C, int G, bool kAligned>
ORV_SIMD_INLINE void HilbertTable::transformGroup(const double* first, double* out) const {
    const double* newer = first + C;
    const double* older = first - C;
    D acc[G];
    #pragma GCC unroll 16
    for (int g = 0; g < G; ++g) acc[g] = D::zero();
    for (int k = 0; k < n_; ++k) {
        const D c = D::loadAligned(quads_ + 4 * k);
        const double* pn = simd::opaque(newer + 2 * C * k);
        const double* po = simd::opaque(older - 2 * C * k);
        #pragma GCC unroll 16
        for (int g = 0; g < G; ++g) {
            const int at = g * D::kLanes;
            const D newerSamples = kAligned ? D::loadPairAligned(pn + at) : D::load(pn + at);
            const D olderSamples = kAligned ? D::loadPairAligned(po + at) : D::load(po + at);
            acc[g] = mulAddDifference(c, newerSamples, olderSamples, acc[g]);
        }
    }
    #pragma GCC unroll 16
    for (int g = 0; g < G; ++g) acc[g].store(out + g * D::kLanes);
}

template <class D, int C, int G, bool kAligned>
ORV_SIMD_INLINE void HilbertTable::transformPasses(const double* first, int count, double* out, int& done) const {
    constexpr int kCentres = G * D::kLanes / C;
    for (; done + kCentres <= count; done += kCentres)
        transformGroup<D, C, G, kAligned>(first + C * done, out + C * done);
    if constexpr (G > 1) transformPasses<D, C, G == 12 ? 8 : G / 2, kAligned>(first, count, out, done);
}

template <class A, int C>
inline void HilbertTable::transformRun(const double* first, int count, double* out) const {
    if (C == 2 && (reinterpret_cast<std::uintptr_t>(first) & 15) == 0)
        transformAll<A, C, true>(first, count, out);
    else
        transformAll<A, C, false>(first, count, out);
}

template <class A, int C, bool kAligned>
inline void HilbertTable::transformAll(const double* first, int count, double* out) const {
    using D = simd::Doubles<A, A::kNaturalLanes>;
    constexpr int kCentres = D::kLanes / C;  // centres per register
    constexpr int kGroup = A::kNaturalLanes == 4 ? 12 : 8;  // registers per pass at most
    static_assert(C != 2 || kGroup * kCentres <= kMaxCentresPerPass, "a pass fits the side-chain's group");
    int i = 0;
    transformPasses<D, C, kGroup, kAligned>(first, count, out, i);
    if (i < count) {
        // The last centres as the last lanes of a register whose others are the centres before
        // them (every lane sums its own centre's taps in the same order).
        const int start = count - kCentres;
        double lanes[D::kLanes];
        transformGroup<D, C, 1, false>(first + C * start, lanes);
        for (int j = i; j < count; ++j)
            for (int c = 0; c < C; ++c) out[C * j + c] = lanes[C * (j - start) + c];
    }
}

}  // namespace orv::dsp
