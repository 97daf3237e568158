#pragma once
// The values the editor's meters show, computed inside the audio loop: per channel a VU and a
// PPM follower with their held extremes and hold ages, and an over indicator. Written by the
// audio thread, read (and holds released or cleared) by the editor's timer without a lock; each
// value is a single double or integer.
#include "borealis/borealis_settings.h"
#include "borealis/dsp/simd.h"
#include "borealis/meter_ballistics.h"
#include "borealis/meter_channels.h"
#include "borealis/meter_holds.h"

namespace borealis {

using orv::MeterSource;

class MeterFeeds : public orv::MeterChannels {
public:
    // Coefficients and source for the next block.
    void beginBlock(const BorealisSettings& s, double hostRate);

    // Pre (delayed input) or Post (output) level, one sample of both channels.
    void feedLevel(double left, double right, double noise);
    // GainRed: `count` samples of the meter value m per channel (1.0 = no gain change). The VU
    // and PPM followers of both channels run in the four lanes of one pass with the same
    // operations as the level meters' followers; a deeper reduction lowers a hold at once, a
    // rise above unity raises it. The same values on either code path (no product is fused).
    // A: the instruction set of the code path (simd.h).
    template <class A>
    void feedGainChunk(const double* left, const double* right, const double* noise, int count);
    // The meter value of a gain factor: the gain scaled by the mix, times the limiter gain.
    // (limiterGain is 1 when the limiter is off).
    static double gainMeterValue(double gain, double mix, double limiterGain) {
        const double g = 0.98 * gain;
        return (((g < 0.0 ? -g : g) - 1.0) * mix + 1.0) * limiterGain;
    }

private:
    template <class A, bool kExpansion>
    void gainChunk(const double* left, const double* right, const double* noise, int count);
    void level(Channel& c, double x, double noise);

    orv::MeterBallistics ballistics_;
    double cVu_ = 0, cInt_ = 1, cRet_ = 0;
    double referenceInverse_ = 1.0;
    int overLimit_ = 3;
    bool expansion_ = false;
};

template <class A>
inline void MeterFeeds::feedGainChunk(const double* left, const double* right, const double* noise, int count) {
    if (expansion_)
        gainChunk<A, true>(left, right, noise, count);
    else
        gainChunk<A, false>(left, right, noise, count);
}

template <class A, bool kExpansion>
void MeterFeeds::gainChunk(const double* left, const double* right, const double* noise, int count) {
    using Quad = orv::simd::Doubles<A, 4>;
    using Pair = orv::simd::Doubles<A, 2>;
    if (count <= 0) return;
    // Lanes: VU left, VU right, PPM left, PPM right. The VU lanes take cVu either way; the PPM
    // lanes take the return or the integration coefficient as gain() chooses.
    const Quad cApproach = Quad::of(cVu_, cVu_, cInt_, cInt_);
    const Quad cReturn = Quad::of(cVu_, cVu_, cRet_, cRet_);
    Quad x = Quad::of(ch_[0].vu, ch_[1].vu, ch_[0].ppm, ch_[1].ppm);
    Quad held = Quad::of(ch_[0].vuHold, ch_[1].vuHold, ch_[0].ppmHold, ch_[1].ppmHold);
    Quad taken = Quad::zero();
    for (int i = 0; i < count; ++i) {
        const Quad m = orv::simd::twice(Pair::of(left[i], right[i]));
        const Quad returning = kExpansion ? lessEqual(m, x) : lessEqual(x, m);
        const Quad c = select(returning, cReturn, cApproach);
        x = x + ((m - x) * c + Quad::splat(noise[i]));
        const Quad take = orv::gainHoldTakes(x, held);
        held = select(take, x, held);
        taken = taken | take;
    }
    const int heldBits = laneBits(taken);
    double v[4], h[4];
    x.store(v);
    held.store(h);
    for (int c = 0; c < 2; ++c) {
        ch_[c].vu = v[c];
        ch_[c].ppm = v[2 + c];
        ch_[c].vuHold = h[c];
        ch_[c].ppmHold = h[2 + c];
        if (heldBits & (1 << c)) ch_[c].vuHoldAge = 0;
        if (heldBits & (4 << c)) ch_[c].ppmHoldAge = 0;
    }
}

}  // namespace borealis
