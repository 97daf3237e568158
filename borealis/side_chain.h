#pragma once
// The side-chain of Orv Borealis: per channel a balance gain, a low and a high shelving filter
// and a link filter that blends the channel's key with the common key in one frequency band;
// then the Hilbert detector that measures the level of the linked key relative to the threshold.
#include "borealis/borealis_settings.h"
#include "borealis/dsp/biquad.h"
#include "borealis/dsp/detector_scale.h"
#include "borealis/dsp/fast_magnitude.h"
#include "borealis/dsp/mirrored_ring.h"
#include "borealis/dsp/simd.h"
#include "borealis/dsp/hilbert.h"

#include <cstring>

namespace borealis {

// Result of one side-chain sample: the detector values and the filtered key (after balance and
// shelving, before the link), the latter delayed so that it stays aligned with the main signal.
struct SideChainOutput {
    double detectorL, detectorR;
    double monitorL, monitorR;
};

// How the detector takes the magnitude of the analytic signal: in single precision with the
// fast approximation (fast_magnitude.h), or as a double-precision square root.
enum class Magnitude { Fast, Exact };

class SideChain {
public:
    // Holds the key history the transformer reads: the centre plus 2N - 1 newer and older
    // samples at the largest N.
    static constexpr int kHistorySize = 4096;
    static constexpr int kMonitorSize = 1024;
    // The link filter boosts its band by 12 dB (4x): its output is scaled back before the
    // channels' common part, their sum weighted by kCommonWeight, is formed.
    static constexpr double kLinkFilterScale = 0.25;
    static constexpr double kCommonWeight = 0.7071;
    // How many samples the transformer takes at once.
    static constexpr int kGroup = orv::dsp::HilbertTable::kMaxCentresPerPass;
    // Above this side-chain rate the lowest shelves' poles lie so close to 1 that the glide's
    // own jitter around the design moves the key by more than 1e-7 of its peak; there the
    // shelves keep gliding, so the result stays that of the gliding form.
    static constexpr double kMaxSettledRate = 100000.0;

    SideChain();

    // Rate of the six filters; the Hilbert table is rebuilt separately (rebuild).
    void setRate(double rate);
    void setLowShelf(double frequency, bool boost);
    void setHighShelf(double frequency, bool boost);
    void setLinkFilters(bool highCut, bool lowCut);
    // Rebuilds the Hilbert table for the rate the transformer runs at, and clears the histories.
    void rebuild(double sideChainRate, bool smooth);
    // Where the transformer is centred and how far the monitor key is delayed.
    void setGeometry(int centre, int monitorDelay) {
        centre_ = centre;
        monitorDelay_ = monitorDelay;
    }
    void clearHistories();
    // Filter histories cleared, coefficients kept (gliding ones jump to their targets).
    void resetFilters();

    int halfLength() const { return hilbert_.halfLength(); }

    // Settled shelves stop gliding (the default). Off, they always glide: the reference the
    // shortcut is measured against.
    void setSkipSettledGlide(bool on) { skipSettledGlide_ = on; }
    // Whether the low and high shelf ran without the glide in the last sample processed.
    bool lowShelfSettled() const { return lowMode_.settled; }
    bool highShelfSettled() const { return highMode_.settled; }

    // `count` side-chain samples in order, kL and kR already carrying the denormal noise: the
    // filters over the whole block, then the transformer over groups of kGroup samples, the
    // level taken as M says. A: the instruction set of the code path (simd.h).
    template <Magnitude M, class A>
    void processBlock(const double* kL, const double* kR, int count, const BorealisSettings& s,
                      SideChainOutput* out);

private:
    // After the filters, into the histories: eL, eR the shelved key, fL, fR the link filter's
    // output; returns the delayed monitor key in out.monitorL / monitorR.
    inline void pushFiltered(double eL, double eR, double fL, double fR, const BorealisSettings& s,
                             SideChainOutput& out);

    // The two shelves over `count` (left, right) pairs in place. A shelf whose glide has
    // arrived at its design runs in the plain form (no glide, no noise generator) until the
    // design changes; arrival is checked only every kSettleCheck side-chain samples, so the
    // choice never depends on how blocks are cut.
    template <class A>
    void runShelvesPairs(double* pairs, int count);
    static constexpr unsigned kSettleCheck = 64;

    // Both channels of each filter always share their settings.
    orv::dsp::BiquadPair lowShelf_;
    orv::dsp::BiquadPair highShelf_;
    orv::dsp::BiquadPair linkFilter_;
    orv::dsp::HilbertTable hilbert_;
    // Its margin covers the wide Hilbert form's padded taps.
    orv::dsp::MirroredPairRing<kHistorySize, (orv::dsp::HilbertTable::kTapPadding + 3) & ~1> history_;
    orv::dsp::MirroredPairRing<kMonitorSize> monitor_;
    int centre_ = 1;
    int monitorDelay_ = 0;
    orv::dsp::GlideSettling lowMode_, highMode_;
    unsigned shelfClock_ = 0;  // side-chain samples since the filters were restarted
    bool skipSettledGlide_ = true;
    bool glideSkippable_ = true;  // the side-chain rate allows it
};

// Detector values of `count` samples of both channels: a holds the key at each centre and h its
// transform, (left, right) pairs side by side. Two samples at a time in four lanes, lane for
// lane: the magnitude (a double-precision square root, or the fast single-precision magnitude),
// scaled to 1.0 at the threshold and 0.005 in silence.
template <Magnitude M, class A>
inline void detectorValues(const double* a, const double* h, double thresholdFactor, SideChainOutput* out,
                           int count) {
    using Pair = orv::simd::Doubles<A, 2>;
    using orv::simd::Floats;
    auto magnitudes = [](Pair s0, Pair s1, Pair& m0, Pair& m1) {
        if constexpr (M == Magnitude::Exact) {
            m0 = sqrt(s0);
            m1 = sqrt(s1);
        } else {
            const Floats magnitude = orv::dsp::fastMagnitudes(orv::simd::toFloats(s0, s1));
            m0 = orv::simd::lowDoubles<A>(magnitude);
            m1 = orv::simd::highDoubles<A>(magnitude);
        }
    };
    using namespace orv::dsp;
    const Pair rootTwo = Pair::splat(kDetectorRootTwo), level = Pair::splat(kDetectorLevel);
    const Pair trim = Pair::splat(kDetectorTrim), factor = Pair::splat(thresholdFactor);
    const Pair floor = Pair::splat(kDetectorFloor);
    auto value = [&](Pair m) { return m * rootTwo * level * trim * factor + floor; };
    for (int i = 0; i < count; i += 2) {
        // A lone last sample goes through the lanes of both.
        const int second = i + 1 < count ? i + 1 : i;
        const Pair a0 = Pair::load(a + 2 * i), a1 = Pair::load(a + 2 * second);
        const Pair h0 = Pair::load(h + 2 * i), h1 = Pair::load(h + 2 * second);
        Pair m0, m1;
        magnitudes(a0 * a0 + h0 * h0, a1 * a1 + h1 * h1, m0, m1);
        value(m0).scatter(&out[i].detectorL, &out[i].detectorR);
        value(m1).scatter(&out[second].detectorL, &out[second].detectorR);
    }
}

inline void SideChain::pushFiltered(double eL, double eR, double fL, double fR, const BorealisSettings& s,
                                     SideChainOutput& out) {
    fL *= kLinkFilterScale;
    fR *= kLinkFilterScale;
    const double common = kCommonWeight * (fL + fR);
    history_.push(eL + s.link * (common - fL), eR + s.link * (common - fR));
    monitor_.push(eL, eR);
    out.monitorL = monitor_.ago(monitorDelay_, 0);
    out.monitorR = monitor_.ago(monitorDelay_, 1);
}

template <class A>
void SideChain::runShelvesPairs(double* pairs, int count) {
    for (int done = 0; done < count;) {
        const unsigned phase = shelfClock_ & (kSettleCheck - 1);
        const bool plainAllowed = skipSettledGlide_ && glideSkippable_;
        lowMode_.update(lowShelf_, phase == 0, plainAllowed);
        highMode_.update(highShelf_, phase == 0, plainAllowed);
        const int left = static_cast<int>(kSettleCheck - phase);
        const int part = count - done < left ? count - done : left;
        double* const p = pairs + 2 * done;
        if (lowMode_.settled && highMode_.settled) {
            // Both shelves settled: the high one runs a frame behind the low one in one pass.
            orv::dsp::BiquadPair::processPlainPairsChain<A>(lowShelf_, highShelf_, p, part);
        } else {
            if (lowMode_.settled)
                lowShelf_.processPlainPairs<A>(p, part);
            else
                lowShelf_.processSmoothedPairs<A>(p, part);
            if (highMode_.settled)
                highShelf_.processPlainPairs<A>(p, part);
            else
                highShelf_.processSmoothedPairs<A>(p, part);
        }
        shelfClock_ += static_cast<unsigned>(part);
        done += part;
    }
}

template <Magnitude M, class A>
void SideChain::processBlock(const double* kL, const double* kR, int count, const BorealisSettings& s,
                             SideChainOutput* out) {
    const int n = hilbert_.halfLength();
    const int span = centre_ + 2 * n;  // from the oldest tap to the newest sample
    // A group of samples goes into the history, then the transforms of all their centres are
    // computed at once. Each centre lies centre_ pairs behind its own sample, so the group's
    // centres are neighbours; the group is as long as the ring lets them all be read.
    const int group = span + kGroup - 1 <= kHistorySize ? kGroup : 2;
    constexpr int kPart = 128;
    for (int start = 0; start < count; start += kPart) {
        const int part = count - start < kPart ? count - start : kPart;
        // The filters over the whole part first, each with its state in registers, on
        // (left, right) pairs stored side by side: e the shelved key, f the link filter's output.
        alignas(32) double e[2 * kPart], f[2 * kPart];
        const double tiltLeft = s.tiltLeft, tiltRight = s.tiltRight;
        for (int i = 0; i < part; ++i) {
            e[2 * i] = kL[start + i] * tiltLeft;
            e[2 * i + 1] = kR[start + i] * tiltRight;
        }
        runShelvesPairs<A>(e, part);
        std::memcpy(f, e, sizeof(double) * 2 * static_cast<std::size_t>(part));
        linkFilter_.processPlainPairs<A>(f, part);

        SideChainOutput* o = out + start;
        for (int g = 0; g < part; g += group) {
            const int taken = part - g < group ? part - g : group;
            for (int i = g; i < g + taken; ++i) pushFiltered(e[2 * i], e[2 * i + 1], f[2 * i], f[2 * i + 1], s, o[i]);
            const double* first = history_.newest(span + taken - 1) + 2 * (2 * n - 1);
            alignas(32) double h[2 * kGroup];
            hilbert_.transformStereoRun<A>(first, taken, h);
            detectorValues<M, A>(first, h, s.thresholdFactor, o + g, taken);
        }
    }
}

}  // namespace borealis
