#pragma once
// The chunk feeds of Kestrel's meters, on the code path of instruction set A: both channels
// side by side in the lanes of a pair, per lane the operations of the single-frame feeds in the
// same order. The VU ballistics filters run first over the chunk, then the followers and holds
// frame by frame. No product is fused on either path (the VU filters run the baseline's
// arithmetic), so the meters show the same values on both. A hold age only ever returns to 0 inside a chunk, so it is cleared once after
// the chunk when any frame of it moved the hold.
#include "borealis/meter_holds.h"
#include "kestrel/kestrel_meters.h"

#include <cmath>

namespace kestrel {

namespace meter_chunks {
// One step of a gain meter's PPM towards the meter value g: the return coefficient while the
// value moves back towards unity (the reduction shrinks, or under expansion the rise), the
// integration coefficient otherwise.
template <bool kExpansion, class Pair>
ORV_SIMD_INLINE Pair gainPpmStep(Pair ppm, Pair g, Pair cInt, Pair cRet, Pair noise) {
    const Pair returning = kExpansion ? lessEqual(g, ppm) : lessEqual(ppm, g);
    return ppm + ((g - ppm) * select(returning, cRet, cInt) + noise);
}

// The holds of a gain meter's four followers over a chunk, in the lanes VU left, VU right,
// PPM left, PPM right, and which of them any frame moved.
template <class A>
struct GainHolds {
    using Quad = simd::Doubles<A, 4>;
    Quad held, moved;
    ORV_SIMD_INLINE void take(simd::Doubles<A, 2> vu, simd::Doubles<A, 2> ppm) {
        const Quad value = Quad::join(vu, ppm);
        const Quad takes = orv::gainHoldTakes(value, held);
        held = select(takes, value, held);
        moved = moved | takes;
    }
};
}  // namespace meter_chunks

template <class A>
void Meters::storeChunkEnd(simd::Doubles<A, 2> vu, simd::Doubles<A, 2> ppm, simd::Doubles<A, 2> vuHold,
                           simd::Doubles<A, 2> ppmHold, int vuBits, int ppmBits) {
    double v[2], p[2], vh[2], ph[2];
    vu.store(v), ppm.store(p), vuHold.store(vh), ppmHold.store(ph);
    for (int c = 0; c < 2; ++c) {
        Channel& ch = ch_[c];
        ch.vu = v[c];
        ch.ppm = p[c];
        ch.vuHold = vh[c];
        ch.ppmHold = ph[c];
        if (vuBits & (1 << c)) ch.vuHoldAge = 0;
        if (ppmBits & (1 << c)) ch.ppmHoldAge = 0;
    }
}

// Processing runs the VU through the ballistics low-pass, power off through the one-pole
// follower whose noise changes sign every frame.
template <class A, bool kPowerOff>
double Meters::levelChunk(const double* left, const double* right, const double* noise, int noiseStride, int n) {
    using Pair = simd::Doubles<A, 2>;
    if (n <= 0) return *noise;
    const double k = kLevelScale * referenceInverse_;
    const Pair cInt = Pair::splat(cInt_), cRet = Pair::splat(cRet_), cVu = Pair::splat(cVu_), scale = Pair::splat(k);
    const int overLimit = overLimit_;
    Pair vu = Pair::of(ch_[0].vu, ch_[1].vu), ppm = Pair::of(ch_[0].ppm, ch_[1].ppm);
    Pair vuHold = Pair::of(ch_[0].vuHold, ch_[1].vuHold), ppmHold = Pair::of(ch_[0].ppmHold, ch_[1].ppmHold);
    Pair vuMoved = Pair::zero(), ppmMoved = Pair::zero();
    int over[2] = {ch_[0].overCount, ch_[1].overCount};
    Pair nz = Pair::splat(*noise);
    alignas(16) double vuIn[2 * kMaxChunk];
    for (int start = 0; start < n; start += kMaxChunk) {
        const int m = n - start < kMaxChunk ? n - start : kMaxChunk;
        const double* l = left + start;
        const double* r = right + start;
        if (!kPowerOff) {
            for (int i = 0; i < m; ++i) (abs(Pair::of(l[i], r[i])) * scale).store(vuIn + 2 * i);
            vu_.processPlainPairs<simd::Sse2>(vuIn, m);
        }
        for (int i = 0; i < m; ++i) {
            const Pair a = abs(Pair::of(l[i], r[i]));
            nz = kPowerOff ? negate(nz) : Pair::splat(noise[(start + i) * noiseStride]);
            vu = kPowerOff ? vu + ((a * scale - vu) * cVu + nz) : Pair::load(vuIn + 2 * i);
            const Pair c = select(lessEqual(a, ppm), cRet, cInt);
            ppm = ppm + ((a - ppm) * c + nz);
            for (int ch = 0; ch < 2; ++ch) {
                if (std::fabs(ch ? r[i] : l[i]) >= 1.0)
                    ++over[ch];
                else if (over[ch] < overLimit)
                    over[ch] = 0;  // a count that reached the limit waits for the latch
            }
            ppmMoved = ppmMoved | greater(ppm, ppmHold);
            ppmHold = max(ppm, ppmHold);
            vuMoved = vuMoved | greater(vu, vuHold);
            vuHold = max(vu, vuHold);
        }
    }
    storeChunkEnd<A>(vu, ppm, vuHold, ppmHold, laneBits(vuMoved), laneBits(ppmMoved));
    ch_[0].overCount = over[0];
    ch_[1].overCount = over[1];
    return nz.lane0();
}

// A deeper reduction lowers a hold at once; a rise above unity raises it.
template <class A, bool kExpansion>
void Meters::gainChunk(const double* left, const double* right, const double* noise, int n) {
    using Pair = simd::Doubles<A, 2>;
    using Quad = simd::Doubles<A, 4>;
    if (n <= 0) return;
    const Pair cInt = Pair::splat(cInt_), cRet = Pair::splat(cRet_);
    Pair vu = Pair::zero(), ppm = Pair::of(ch_[0].ppm, ch_[1].ppm);
    meter_chunks::GainHolds<A> holds{Quad::of(ch_[0].vuHold, ch_[1].vuHold, ch_[0].ppmHold, ch_[1].ppmHold),
                                     Quad::zero()};
    alignas(16) double vuOut[2 * kMaxChunk];
    for (int start = 0; start < n; start += kMaxChunk) {
        const int m = n - start < kMaxChunk ? n - start : kMaxChunk;
        const double* l = left + start;
        const double* r = right + start;
        for (int i = 0; i < m; ++i) Pair::of(l[i], r[i]).store(vuOut + 2 * i);
        vu_.processPlainPairs<simd::Sse2>(vuOut, m);
        for (int i = 0; i < m; ++i) {
            ppm = meter_chunks::gainPpmStep<kExpansion>(ppm, Pair::of(l[i], r[i]), cInt, cRet,
                                                        Pair::splat(noise[start + i]));
            vu = Pair::load(vuOut + 2 * i);
            holds.take(vu, ppm);
        }
    }
    const int bits = laneBits(holds.moved);
    storeChunkEnd<A>(vu, ppm, holds.held.low(), holds.held.high(), bits & 3, bits >> 2);
}

// Both channels return towards unity; the holds as in gainChunk.
template <class A, bool kExpansion>
double Meters::unityChunk(double noise, int n) {
    using Pair = simd::Doubles<A, 2>;
    using Quad = simd::Doubles<A, 4>;
    if (n <= 0) return noise;
    const Pair cInt = Pair::splat(cInt_), cRet = Pair::splat(cRet_), cVu = Pair::splat(cVu_);
    const Pair unity = Pair::splat(1.0);
    Pair vu = Pair::of(ch_[0].vu, ch_[1].vu), ppm = Pair::of(ch_[0].ppm, ch_[1].ppm);
    meter_chunks::GainHolds<A> holds{Quad::of(ch_[0].vuHold, ch_[1].vuHold, ch_[0].ppmHold, ch_[1].ppmHold),
                                     Quad::zero()};
    Pair nz = Pair::splat(noise);
    for (int i = 0; i < n; ++i) {
        nz = negate(nz);
        vu = vu + ((unity - vu) * cVu + nz);
        ppm = meter_chunks::gainPpmStep<kExpansion>(ppm, unity, cInt, cRet, nz);
        holds.take(vu, ppm);
    }
    const int bits = laneBits(holds.moved);
    storeChunkEnd<A>(vu, ppm, holds.held.low(), holds.held.high(), bits & 3, bits >> 2);
    ch_[0].overCount = ch_[1].overCount = 0;
    return nz.lane0();
}

template <class A>
void Meters::feedLevelChunk(const double* left, const double* right, const double* noise, int noiseStride, int n) {
    levelChunk<A, false>(left, right, noise, noiseStride, n);
}

template <class A>
double Meters::feedLevelPowerOffChunk(const double* left, const double* right, double noise, int n) {
    return levelChunk<A, true>(left, right, &noise, 0, n);
}

template <class A>
void Meters::feedGainChunk(const double* left, const double* right, const double* noise, int n) {
    expansion_ ? gainChunk<A, true>(left, right, noise, n) : gainChunk<A, false>(left, right, noise, n);
}

template <class A>
double Meters::feedUnityPowerOffChunk(double noise, int n) {
    return expansion_ ? unityChunk<A, true>(noise, n) : unityChunk<A, false>(noise, n);
}

}  // namespace kestrel
